#include "fixedwindows.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#if defined(Q_OS_LINUX)
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client-core.h>
#endif

namespace rt {
namespace {

constexpr Qt::WindowStates Enlarged = Qt::WindowMaximized | Qt::WindowFullScreen;

// On Wayland, Qt's own title bar sends the compositor its request to
// maximize before anyone can object, and Qt takes back only what the
// compositor has confirmed. The requests that undo it go out right behind
// it, in the same batch, so the compositor never makes the window big.
void withdrawFromCompositor(QWindow *window, Qt::WindowStates states)
{
#if defined(Q_OS_LINUX)
    if (QGuiApplication::platformName() != QLatin1String("wayland"))
        return;
    auto *native = QGuiApplication::platformNativeInterface();
    auto *toplevel = native ? static_cast<wl_proxy *>(
                                  native->nativeResourceForWindow("xdg_toplevel", window))
                            : nullptr;
    if (!toplevel)
        return;
    // The numbers of xdg_toplevel's requests unset_maximized and
    // unset_fullscreen in the stable xdg-shell protocol.
    constexpr std::uint32_t UnsetMaximized = 10;
    constexpr std::uint32_t UnsetFullscreen = 12;
    const std::uint32_t version = wl_proxy_get_version(toplevel);
    if (states & Qt::WindowMaximized)
        wl_proxy_marshal_flags(toplevel, UnsetMaximized, nullptr, version, 0);
    if (states & Qt::WindowFullScreen)
        wl_proxy_marshal_flags(toplevel, UnsetFullscreen, nullptr, version, 0);
#else
    Q_UNUSED(window);
    Q_UNUSED(states);
#endif
}

void keepNormal(QWindow *window)
{
    const Qt::WindowStates states = window->windowStates();
    if (!(states & Enlarged) || window->minimumSize() != window->maximumSize())
        return;
    withdrawFromCompositor(window, states);
    // Elsewhere Qt asks the window manager to restore the window.
    window->setWindowStates(states & ~Enlarged);
}

class FixedSizeGuard final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::Show && type != QEvent::Resize)
            return false;
        auto *widget = qobject_cast<QWidget *>(watched);
        if (!widget || !widget->isWindow())
            return false;
        if (type == QEvent::Show)
            watch(widget->windowHandle());
        // Some window managers make a window bigger without saying that it
        // is maximized (weston's, for X11 programs): it goes back to its
        // size.
        else if (widget->minimumSize() == widget->maximumSize()
                 && widget->size() != widget->minimumSize())
            widget->resize(widget->minimumSize());
        return false;
    }

private:
    void watch(QWindow *window)
    {
        if (!window || m_watched.contains(window))
            return;
        m_watched.append(window);
        connect(window, &QWindow::windowStateChanged, this, [window] { keepNormal(window); });
        connect(window, &QObject::destroyed, this, [this, window] { m_watched.removeOne(window); });
    }

    QList<QWindow *> m_watched;
};

} // namespace

void keepFixedWindowsAtTheirSize()
{
    qApp->installEventFilter(new FixedSizeGuard(qApp));
}

} // namespace rt
