#include "controls.h"

#include "fonts.h"
#include "twips.h"

#include <QPainter>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace rt {

QFont designFont(double pointSize)
{
    static const bool substituted = [] {
        registerFontSubstitutes();
        return true;
    }();
    Q_UNUSED(substituted);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    return font;
}

static void placeControl(QWidget *w, const QString &name, int left, int top, int width,
                         int height, int tabIndex)
{
    w->setObjectName(name);
    w->setGeometry(twipsRect(left, top, width, height));
    w->setProperty("TabIndex", tabIndex);
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &caption, int left,
                  int top, int width, int height, double pointSize, int tabIndex, bool opaque)
{
    auto *label = new QLabel(caption, parent);
    placeControl(label, name, left, top, width, height, tabIndex);
    label->setFont(designFont(pointSize));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(false);
    label->setAutoFillBackground(opaque);
    return label;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption, int left,
                        int top, int width, int height, double pointSize, int tabIndex)
{
    auto *button = new QPushButton(caption, parent);
    placeControl(button, name, left, top, width, height, tabIndex);
    button->setFont(designFont(pointSize));
    button->setAutoDefault(false);
    return button;
}

void setForeColor(QLabel *label, const QColor &color)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, color);
    label->setPalette(pal);
}

QColor foreColor(const QLabel *label)
{
    return label->palette().color(QPalette::WindowText);
}

PictureBox::PictureBox(QWidget *parent, const QString &name, const QPixmap &picture, float left,
                       float top, int width, int height, int tabIndex)
    : QWidget(parent), m_picture(picture), m_left(left), m_top(top)
{
    setObjectName(name);
    setProperty("TabIndex", tabIndex);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(px(width), px(height));
    place();
}

void PictureBox::Move(float left)
{
    m_left = left;
    place();
}

void PictureBox::Move(float left, float top)
{
    m_left = left;
    m_top = top;
    place();
}

void PictureBox::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    update();
}

void PictureBox::place()
{
    move(px(m_left), px(m_top));
}

void PictureBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // Where the picture does not reach, a light grey that suits the
    // pictures' own grey backgrounds.
    painter.fillRect(rect(), QColor(192, 192, 192));
    painter.drawPixmap(0, 0, m_picture);
}

LineControl::LineControl(QWidget *parent, const QString &name, int x1, int y1, int x2, int y2,
                         const QColor &color, int widthPx)
    : QWidget(parent), m_color(color)
{
    setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const int left = px(std::min(x1, x2));
    const int top = px(std::min(y1, y2));
    const int right = px(std::max(x1, x2));
    const int bottom = px(std::max(y1, y2));
    setGeometry(left, top, std::max(right - left, widthPx), std::max(bottom - top, widthPx));
}

void LineControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_color);
}

Timer::Timer(QObject *parent, const QString &name, int interval, bool enabled)
    : QObject(parent), m_interval(interval), m_enabled(enabled)
{
    setObjectName(name);
    // The game tick asks for 7 ms: a coarse timer would stretch that.
    m_timer.setTimerType(Qt::PreciseTimer);
#ifdef __linux__
    // Linux lets a sleeping thread wake up to 50 microseconds late to save
    // power; at 140 ticks a second that lag shows in the game's pace.
    static const bool tightened = prctl(PR_SET_TIMERSLACK, 1UL) == 0;
    Q_UNUSED(tightened);
#endif
    connect(&m_timer, &QTimer::timeout, this, &Timer::tick);
    apply();
}

void Timer::setInterval(int milliseconds)
{
    m_interval = milliseconds;
    apply();
}

void Timer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    apply();
}

void Timer::apply()
{
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}

} // namespace rt
