#pragma once
// What a screen reader meets in the game's windows. Nothing here changes
// what is drawn: the windows keep their controls where the design puts
// them, and this only tells assistive technology how to read them.

#include <QAccessible>
#include <QList>
#include <QString>
#include <QWidget>

namespace rt {

// Lets the windows read as they are set up below, and picture boxes as
// images named by what they show (their accessible name). Called once at
// program start, before the first window is made.
void installAccessibility();

// One entry of a window's reading order: a control, or a list whose items
// are read one by one. An item is a group of controls read as one, by the
// accessible name of the first (the others are hidden), and covers them all.
struct ReaderEntry {
    QWidget *control = nullptr;
    QString listName{};
    QList<QWidgetList> items{};
};

// Sets how `window` reads: its role (a frame or a dialog) and its
// controls in reading order. Controls that are left out are hidden from
// the reader, like a rule that only decorates.
void setReadingOrder(QWidget *window, QAccessible::Role role, const QList<ReaderEntry> &entries);

// While one of these lives, each dialog that opens carries `text` as its
// accessible description (a message box its message, then `text`): a screen
// reader says it along with the dialog. The dialog itself shows nothing more.
class DialogDescription {
public:
    explicit DialogDescription(const QString &text);
    ~DialogDescription();
    DialogDescription(const DialogDescription &) = delete;
    DialogDescription &operator=(const DialogDescription &) = delete;

private:
    QObject *m_filter;
};

} // namespace rt
