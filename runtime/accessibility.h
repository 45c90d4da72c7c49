#pragma once
// What a screen reader meets in the game's windows. Nothing here changes
// what is drawn: the windows keep their controls where the design puts
// them, and this only tells assistive technology how to read them.

#include <QAccessible>
#include <QList>
#include <QPointer>
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

// Whether the focus moved by the player's own hand (a key or the mouse),
// rather than passed on as windows come and go.
bool movedByPlayer(Qt::FocusReason reason);

// What a screen reader hears on a control that the player comes back to
// again and again, such as a button pressed for every throw: the news of
// what the last press did, said once, and a standing text said whenever
// the reader comes to the control.
//
// News is said at once when the reader is on the control: as an
// announcement where Qt has them (6.8 on), or else as a notification.
// Neither moves the reader's focus. A reader that is elsewhere hears the
// news as the control's description when it next comes to the control.
// Once the player has had the news there and moves on, the standing text
// takes its place again, so that coming back never repeats it.
class ReaderNews : public QObject {
    Q_OBJECT
public:
    // Belongs to `control`.
    explicit ReaderNews(QWidget *control);

    // What the control reads as whenever there is no news, e.g. the score.
    void setStanding(const QString &text);
    void tell(const QString &news);
    // The control lets the focus go for a moment and takes it back, with
    // nothing else taking it meanwhile: the reader stays on the control,
    // and its description falls silent until the news comes.
    void hold();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool readerIsHere() const;
    void showStandingLater();

    QWidget *m_control;
    QPointer<QWidget> m_notice;
    QString m_standing;
    // The description holds news the reader has not heard yet.
    bool m_unheard = false;
    bool m_held = false;
};

} // namespace rt
