#pragma once
// The controls that the game's windows are built from, placed in twips:
// labels, buttons, picture boxes, lines and timers. Every control carries
// its design name as objectName and its place in the tab order as the
// dynamic property "TabIndex".

#include "picture.h"

#include <QColor>
#include <QLabel>
#include <QPoint>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace rt {

// A font of the design: the face is always "MS Sans Serif", regular weight.
// Where the platform lacks that face, the substitute registered at program
// start stands in (registerFontSubstitutes).
QFont designFont(double pointSize);

// Where a control sits in its window, in twips: the Left and Top of its
// top-left corner, then its Width and Height.
struct Placement {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// A label or a button as the window's design gives it. Written with
// designated initializers, every number says what it is:
//   {.name = u"Label4"_s, .caption = u"Score:"_s,
//    .at = {.left = 240, .top = 3120, .width = 735, .height = 375},
//    .pointSize = 12, .tabIndex = 6}
struct ControlDesign {
    QString name{};
    QString caption{};
    Placement at{};
    double pointSize = 8.25;
    int tabIndex = 0;
    // Labels only: fill with the window's background colour rather than
    // let what lies behind show through.
    bool opaque = false;
};

// A one-line label, left-aligned from its top-left corner, without a border.
// The text is always shown as plain text.
QLabel *makeLabel(QWidget *parent, const ControlDesign &design);

// A push button; "&" in the caption marks the access key.
QPushButton *makeButton(QWidget *parent, const ControlDesign &design);

// Sets a label's text colour (the "fore colour").
void setForeColor(QLabel *label, const QColor &color);
QColor foreColor(const QLabel *label);

// A picture box: draws its picture unscaled from its top-left corner, with
// no border; on a screen scaled above 1 it shows the picture's finer
// version where it has one, in the same place. Left and Top are kept
// exactly as set, as 32-bit float twips, and reported back unchanged; the
// widget itself sits at the nearest pixel.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    PictureBox(QWidget *parent, const QString &name, const Picture &picture, Placement at,
               int tabIndex);

    float Left() const { return m_left; }
    float Top() const { return m_top; }
    void Move(float left);
    void Move(float left, float top);

    // Setting a new picture keeps the box's size.
    void setPicture(const Picture &picture);
    const Picture &picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void place();

    Picture m_picture;
    float m_left;
    float m_top;
};

// A straight line from one point to another in twips, drawn `widthPx`
// pixels wide.
class LineControl : public QWidget {
    Q_OBJECT
public:
    LineControl(QWidget *parent, const QString &name, QPoint from, QPoint to, const QColor &color,
                int widthPx);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
};

// A millisecond timer. It ticks while it is Enabled and its Interval is
// above zero; setting either one starts the interval anew. Ticks arrive
// on the user-interface thread through the Timer signal.
class Timer : public QObject {
    Q_OBJECT
public:
    Timer(QObject *parent, const QString &name, int interval, bool enabled);

    int Interval() const { return m_interval; }
    bool Enabled() const { return m_enabled; }
    void setInterval(int milliseconds);
    void setEnabled(bool enabled);
    // Whether ticks are being delivered right now.
    bool isRunning() const { return m_timer.isActive(); }

Q_SIGNALS:
    void tick();

private:
    void apply();

    QTimer m_timer;
    int m_interval;
    bool m_enabled;
};

// The game tick asks for 7 ms. Linux lets a sleeping thread wake up to 50
// microseconds late to save power; at 140 ticks a second that lag shows in
// the game's pace. This takes the slack away for the calling thread, the
// user-interface thread at program start. Elsewhere it does nothing.
void tightenTimerSlack();

} // namespace rt
