#pragma once
// The controls that the game's windows are built from, placed in twips:
// labels, buttons, picture boxes, lines and timers. Every control carries
// its design name as objectName and its place in the tab order as the
// dynamic property "TabIndex".

#include <QColor>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace rt {

// A font of the design: the face is always "MS Sans Serif", regular weight;
// main.cpp registers a substitute for platforms that lack it.
QFont designFont(double pointSize);

// A one-line label, left-aligned from its top-left corner, without a border.
// Labels are transparent unless `opaque` (then they fill with the window's
// background colour). The text is always shown as plain text.
QLabel *makeLabel(QWidget *parent, const QString &name, const QString &caption,
                  int left, int top, int width, int height, double pointSize,
                  int tabIndex, bool opaque = false);

// A push button; "&" in the caption marks the access key.
QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption,
                        int left, int top, int width, int height, double pointSize,
                        int tabIndex);

// Sets a label's text colour (the "fore colour").
void setForeColor(QLabel *label, const QColor &color);
QColor foreColor(const QLabel *label);

// A picture box: draws its picture unscaled from its top-left corner, with
// no border. Left and Top are kept exactly as set, as 32-bit float twips,
// and reported back unchanged; the widget itself sits at the nearest pixel.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    PictureBox(QWidget *parent, const QString &name, const QPixmap &picture,
               float left, float top, int width, int height, int tabIndex);

    float Left() const { return m_left; }
    float Top() const { return m_top; }
    void Move(float left);
    void Move(float left, float top);

    // Setting a new picture keeps the box's size.
    void setPicture(const QPixmap &picture);
    const QPixmap &picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void place();

    QPixmap m_picture;
    float m_left;
    float m_top;
};

// A straight line between two points in twips, drawn `widthPx` pixels wide.
class LineControl : public QWidget {
    Q_OBJECT
public:
    LineControl(QWidget *parent, const QString &name, int x1, int y1, int x2, int y2,
                const QColor &color, int widthPx);

    const QColor &color() const { return m_color; }

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

} // namespace rt
