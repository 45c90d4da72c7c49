#include "form.h"

#include "twips.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace rt {
namespace {

// On Wayland a window's update requests come when the compositor calls for
// the next frame (Qt asks for that call with every picture it hands over).
bool compositorCallsTheFrames()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

FormWindow::FormWindow(const QString &name)
    : QWidget(nullptr)
{
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose);
    m_frameTimer.setSingleShot(true);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_frameTimer, &QTimer::timeout, this, [this] { drawFrame(false); });
}

void FormWindow::setClientSize(int widthTwips, int heightTwips)
{
    setFixedSize(px(widthTwips), px(heightTwips));
}

bool FormWindow::event(QEvent *e)
{
    // Qt asks to draw what has changed; it waits for the next frame.
    if (e->type() == QEvent::UpdateRequest && waitForFrame())
        return true;
    const bool result = QWidget::event(e);
    if (e->type() == QEvent::WindowActivate)
        Q_EMIT activated();
    return result;
}

bool FormWindow::waitForFrame()
{
    QWindow *handle = windowHandle();
    // The frame itself draws, and so does a window that is not made yet.
    if (m_drawing || !handle)
        return false;
    if (m_frameDue)
        return true;
    m_frameDue = true;
    if (compositorCallsTheFrames()) {
        if (m_paced != handle) {
            if (m_paced)
                m_paced->removeEventFilter(this);
            m_paced = handle;
            handle->installEventFilter(this);
        }
        handle->requestUpdate();
        return true;
    }
    // Elsewhere a frame follows the last one by the screen's refresh period.
    const qreal hertz = handle->screen() ? handle->screen()->refreshRate() : 60.0;
    const qint64 periodNs = static_cast<qint64>(1e9 / std::max(hertz, 1.0));
    const qint64 leftNs = m_sinceFrame.isValid() ? periodNs - m_sinceFrame.nsecsElapsed() : 0;
    m_frameTimer.start(static_cast<int>(std::max<qint64>(0, (leftNs + 999'999) / 1'000'000)));
    return true;
}

bool FormWindow::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == m_paced) {
        switch (e->type()) {
        case QEvent::UpdateRequest: {
            // Qt asks for a whole new picture itself when the frame it draws
            // around the window comes or goes, or the scale changes: the
            // window is drawn whole then, as Qt would draw it.
            const bool whole = m_paced->frameMargins() != m_paintedMargins
                || m_paced->devicePixelRatio() != m_paintedRatio;
            drawFrame(whole);
            return true;
        }
        case QEvent::Expose:
        case QEvent::PlatformSurface:
            // The window draws all anew on its way to the screen, or has
            // no surface to draw on: no frame is held back any longer.
            m_frameDue = false;
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, e);
}

void FormWindow::drawFrame(bool whole)
{
    m_frameDue = false;
    m_frameTimer.stop();
    m_sinceFrame.start();
    m_drawing = true;
    if (whole) {
        repaint();
    } else {
        QEvent update(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(this, &update);
    }
    m_drawing = false;
    if (QWindow *handle = windowHandle()) {
        m_paintedMargins = handle->frameMargins();
        m_paintedRatio = handle->devicePixelRatio();
    }
}

void FormWindow::closeEvent(QCloseEvent *e)
{
    QWidget::closeEvent(e);
    if (e->isAccepted())
        Q_EMIT closed();
}

void FormWindow::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    const QSize extra = (size() - minimumSize()).expandedTo(QSize(0, 0));
    const QPoint origin(extra.width() / 2, extra.height() / 2);
    const QPoint shift = origin - m_origin;
    if (shift.isNull())
        return;
    m_origin = origin;
    for (QWidget *control : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (!control->isWindow())
            control->move(control->pos() + shift);
}

void FormWindow::keyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto *focused = qobject_cast<QPushButton *>(focusWidget()); focused && focused->isEnabled()) {
            focused->click();
            return;
        }
        if (m_default && m_default->isEnabled()) {
            m_default->click();
            return;
        }
        break;
    case Qt::Key_Escape:
        if (m_cancel && m_cancel->isEnabled()) {
            m_cancel->click();
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(e);
}

Form::Form(const QString &name, QObject *parent)
    : QObject(parent), m_name(name)
{
    setObjectName(name);
}

Form::~Form()
{
    delete m_window.data();
    delete m_closing.data();
}

void Form::Load()
{
    if (m_window)
        return;
    m_window = new FormWindow(m_name);
    connect(m_window, &FormWindow::activated, this, [this] { Form_Activate(); });
    // Closing the window from its title bar unloads the form, like Unload.
    connect(m_window, &FormWindow::closed, this, [this] {
        m_closing = m_window;
        m_window = nullptr;
    });
    build(m_window);
    if (!m_initialized) {
        m_initialized = true;
        Form_Initialize();
    }
    // Form_Initialize may have given up on the window already.
    if (m_window)
        Form_Load();
}

void Form::Unload()
{
    // close() rather than delete: Unload may be called from a handler of
    // one of the window's own buttons, and closing lets Qt end the program
    // when this was its last window.
    if (m_window)
        m_window->close();
}

void Form::Show()
{
    Load();
    if (!m_window)
        return;
    const bool wasActive = m_window->isVisible() && m_window->isActiveWindow();
    m_window->show();
    // A handler run by show() may have unloaded the window already.
    if (!m_window)
        return;
    m_window->raise();
    m_window->activateWindow();
    // Showing the active window again activates nothing new; its
    // activation hook still runs, as for any other showing.
    if (wasActive)
        Form_Activate();
}

} // namespace rt
