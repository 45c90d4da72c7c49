#include "controls.h"

#include "form.h"
#include "twips.h"

#include <QPainter>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace rt {

QFont designFont(double pointSize)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    return font;
}

static void placeControl(QWidget *w, const ControlDesign &design)
{
    w->setObjectName(design.name);
    w->setGeometry(twipsRect(design.at.left, design.at.top, design.at.width, design.at.height));
    w->setProperty("TabIndex", design.tabIndex);
    w->setFont(designFont(design.pointSize));
}

QLabel *makeLabel(QWidget *parent, const ControlDesign &design)
{
    auto *label = new QLabel(design.caption, parent);
    placeControl(label, design);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(false);
    label->setAutoFillBackground(design.opaque);
    return label;
}

QPushButton *makeButton(QWidget *parent, const ControlDesign &design)
{
    auto *button = new QPushButton(design.caption, parent);
    placeControl(button, design);
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

PictureBox::PictureBox(QWidget *parent, const QString &name, const Picture &picture, Placement at,
                       int tabIndex)
    : QWidget(parent), m_picture(picture), m_left(static_cast<float>(at.left)),
      m_top(static_cast<float>(at.top))
{
    setObjectName(name);
    setProperty("TabIndex", tabIndex);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(px(at.width), px(at.height));
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

void PictureBox::setPicture(const Picture &picture)
{
    m_picture = picture;
    update();
}

void PictureBox::place()
{
    const auto *form = qobject_cast<const FormWindow *>(parentWidget());
    move(QPoint(px(m_left), px(m_top)) + (form ? form->origin() : QPoint()));
}

void PictureBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // Where the picture does not reach, a light grey that suits the
    // pictures' own grey backgrounds.
    painter.fillRect(rect(), QColor(192, 192, 192));
    // The picture covers its own size in device-independent pixels at any
    // scale. Where its resolution is not the screen's (the finer version
    // at a scale of 1.5, the plain one where there is no finer), it is
    // resampled smoothly rather than in uneven blocks.
    const qreal ratio = devicePixelRatioF();
    const QPixmap &shown = m_picture.forRatio(ratio);
    if (shown.devicePixelRatio() != ratio)
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(0, 0, shown);
}

LineControl::LineControl(QWidget *parent, const QString &name, QPoint from, QPoint to,
                         const QColor &color, int widthPx)
    : QWidget(parent), m_color(color)
{
    setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const int left = px(std::min(from.x(), to.x()));
    const int top = px(std::min(from.y(), to.y()));
    const int right = px(std::max(from.x(), to.x()));
    const int bottom = px(std::max(from.y(), to.y()));
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

void tightenTimerSlack()
{
#ifdef __linux__
    prctl(PR_SET_TIMERSLACK, 1UL);
#endif
}

} // namespace rt
