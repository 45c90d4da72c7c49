#pragma once
// What a screen reader meets in the game's windows. Nothing here changes
// what is drawn: the windows keep their controls where the design puts
// them, and this only tells assistive technology how to read them.

#include <QAccessible>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTimer>
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

// While one of these lives, each message box and input box that opens is
// read with `text`: a screen reader says it with the message, or before
// the question. The dialog itself shows nothing more.
class DialogDescription {
public:
    explicit DialogDescription(const QString &text);
    ~DialogDescription();
    DialogDescription(const DialogDescription &) = delete;
    DialogDescription &operator=(const DialogDescription &) = delete;

private:
    QObject *m_filter;
};

// What a screen reader hears on a control that the player comes back to
// again and again, such as a button pressed for every throw: the news of
// what the last press did, said once, and a standing text, the control's
// description, said whenever the reader comes to the control.
//
// News goes out as an announcement where Qt has them (6.8 on), or else as
// a notification; neither moves the reader's focus. A reader that is on
// the control hears it at once; one that is elsewhere hears it once back on
// the control for a moment. The description never holds news, so coming
// back to the control never repeats it.
class ReaderNews : public QObject {
    Q_OBJECT
public:
    // Belongs to `control`.
    explicit ReaderNews(QWidget *control);

    // What the control reads as, e.g. the score.
    void setStanding(const QString &text);
    void tell(const QString &news);
    // The control lets the focus go for a moment and takes it back, with
    // nothing else taking it meanwhile: the reader stays on the control,
    // and its description falls silent until the reader moves on.
    void hold();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool readerIsHere() const;
    void say(const QString &news);
    void showStandingLater();

    QWidget *m_control;
    QPointer<QWidget> m_notice;
    QTimer m_stay;
    QString m_standing;
    // News for a reader that is elsewhere.
    QString m_waiting;
    bool m_held = false;
};

} // namespace rt
