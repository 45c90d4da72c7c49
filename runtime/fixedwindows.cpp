#include "fixedwindows.h"

#include <QApplication>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QTimer>
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
// compositor has confirmed. The requests that undo it follow at once; most
// of the time they leave in the same batch and the compositor never makes
// the window big. Returns whether they were sent.
bool withdrawFromCompositor(QWindow *window, Qt::WindowStates states)
{
#if defined(Q_OS_LINUX)
    if (QGuiApplication::platformName() != QLatin1String("wayland"))
        return false;
    auto *native = QGuiApplication::platformNativeInterface();
    auto *toplevel = native ? static_cast<wl_proxy *>(
                                  native->nativeResourceForWindow("xdg_toplevel", window))
                            : nullptr;
    if (!toplevel)
        return false;
    // The numbers of xdg_toplevel's requests unset_maximized and
    // unset_fullscreen in the stable xdg-shell protocol.
    constexpr std::uint32_t UnsetMaximized = 10;
    constexpr std::uint32_t UnsetFullscreen = 12;
    const std::uint32_t version = wl_proxy_get_version(toplevel);
    if (states & Qt::WindowMaximized)
        wl_proxy_marshal_flags(toplevel, UnsetMaximized, nullptr, version, 0);
    if (states & Qt::WindowFullScreen)
        wl_proxy_marshal_flags(toplevel, UnsetFullscreen, nullptr, version, 0);
    return true;
#else
    Q_UNUSED(window);
    Q_UNUSED(states);
    return false;
#endif
}

bool isFixed(const QWidget *widget)
{
    return widget->minimumSize() == widget->maximumSize();
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
            watch(widget);
        else if (!m_settling.contains(widget->windowHandle()))
            fitBack(widget);
        return false;
    }

private:
    // Some window managers make a window bigger without saying that it is
    // maximized (weston's, for X11 programs, and any Wayland compositor
    // while its edge is dragged): it goes back to its size.
    static void fitBack(QWidget *widget)
    {
        if (isFixed(widget) && widget->size() != widget->minimumSize())
            widget->resize(widget->minimumSize());
    }

    void keepNormal(QWidget *widget)
    {
        QWindow *window = widget->windowHandle();
        const Qt::WindowStates states = window->windowStates();
        if (!(states & Enlarged) || !(isFixed(widget) || m_settling.contains(window)))
            return;
        if (withdrawFromCompositor(window, states))
            settle(widget);
        // Elsewhere Qt asks the window manager to restore the window.
        window->setWindowStates(states & ~Enlarged);
    }

    // Now and then the compositor has already made the window big when the
    // withdrawal reaches it. Until it has taken that back, the window must
    // have the size the compositor gave it, or the compositor ends the
    // game; Qt then returns to the window's own size by itself. So for a
    // while the window has no limits (some Qt versions hold a window to its
    // limits even against the compositor), then it is fixed again.
    void settle(QWidget *widget)
    {
        QWindow *window = widget->windowHandle();
        Settling &settling = m_settling[window];
        if (settling.pending++ == 0) {
            settling.size = widget->minimumSize();
            widget->setMinimumSize(0, 0);
            widget->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        }
        const QPointer<QWidget> guarded(widget);
        QTimer::singleShot(SettleTime, this, [this, window, guarded] {
            const auto found = m_settling.find(window);
            if (found == m_settling.end() || --found->pending > 0)
                return;
            const QSize size = found->size;
            m_settling.erase(found);
            if (guarded)
                guarded->setFixedSize(size);
        });
    }

    void watch(QWidget *widget)
    {
        QWindow *window = widget->windowHandle();
        if (!window || m_watched.contains(window))
            return;
        m_watched.insert(window);
        const QPointer<QWidget> guarded(widget);
        connect(window, &QWindow::windowStateChanged, this, [this, guarded] {
            if (guarded)
                keepNormal(guarded);
        });
        connect(window, &QObject::destroyed, this, [this, window] {
            m_watched.remove(window);
            m_settling.remove(window);
        });
    }

    static constexpr int SettleTime = 1000; // ms
    QSet<QWindow *> m_watched;
    struct Settling {
        int pending = 0; // withdrawals not yet settled
        QSize size;      // the window's own size
    };
    QHash<QWindow *, Settling> m_settling;
};

} // namespace

void keepFixedWindowsAtTheirSize()
{
    qApp->installEventFilter(new FixedSizeGuard(qApp));
}

} // namespace rt
