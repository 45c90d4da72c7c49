#include "fixedwindows.h"

#include <QApplication>
#include <QHash>
#include <QLoggingCategory>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace rt {
namespace {

// QT_LOGGING_RULES="squibbo.fixedwindows.debug=true" shows what the guard
// sees and does.
Q_LOGGING_CATEGORY(lcFixed, "squibbo.fixedwindows", QtWarningMsg)

constexpr Qt::WindowStates Enlarged = Qt::WindowMaximized | Qt::WindowFullScreen;

bool isFixed(const QWidget *widget)
{
    return widget->minimumSize() == widget->maximumSize();
}

// How a fixed-size window is kept at its size, by Qt's public means alone:
//
// - When the window is about to be maximized or made full screen (Qt's own
//   title bar on Wayland asks the compositor itself, and the compositor may
//   decide on its own), its upper limit is lifted, so that it takes whatever
//   size the compositor confirms: a Wayland compositor ends a program whose
//   maximized window keeps another size. Its lower limit stays, so it is
//   never smaller than its content.
// - Then it asks for the normal state. Qt sends that request once the
//   compositor has confirmed the larger state (until then there is nothing
//   to undo, and the confirmation that follows is answered the same way).
// - Once the platform reports the normal state again, the limit returns and
//   the window is back at its own size. A compositor answers every request
//   for a state with a report, even one it refuses.
// - A window made larger with no state at all (some X11 window managers do
//   that) is simply resized back.
//
// Meanwhile a FormWindow shows its content at its own size in the middle of
// the larger window; a message box lays itself out over the larger window.
class FixedSizeGuard final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Show:
            if (auto *widget = qobject_cast<QWidget *>(watched); widget && widget->isWindow())
                watch(widget);
            break;
        case QEvent::WindowStateChange:
            // Reported by the platform, not asked for by the program.
            if (auto *window = qobject_cast<QWindow *>(watched); window && event->spontaneous())
                reported(window);
            break;
        case QEvent::Resize:
            if (auto *widget = qobject_cast<QWidget *>(watched); widget && widget->isWindow())
                fitBack(widget);
            break;
        default:
            break;
        }
        return false;
    }

private:
    struct Watched {
        QPointer<QWidget> widget;
        bool lifted = false; // its upper limit is lifted for a larger state
    };

    void watch(QWidget *widget)
    {
        QWindow *window = widget->windowHandle();
        if (!window || m_watched.contains(window))
            return;
        m_watched.insert(window, {widget, false});
        connect(window, &QWindow::windowStateChanged, this,
                [this, window](Qt::WindowState state) { stateChanged(window, state); });
        connect(window, &QObject::destroyed, this, [this, window] { m_watched.remove(window); });
    }

    // Any change of state, asked for or reported; runs before the platform
    // applies a size that comes with it.
    void stateChanged(QWindow *window, Qt::WindowState state)
    {
        const auto found = m_watched.find(window);
        if (found == m_watched.end() || !found->widget || !(state & Enlarged))
            return;
        QWidget *widget = found->widget;
        if (!found->lifted && !isFixed(widget))
            return;
        if (!found->lifted) {
            qCDebug(lcFixed) << widget->objectName() << "goes" << state << "- limit lifted";
            found->lifted = true;
            window->setMaximumSize(QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        }
        // After the platform has done with the change in hand.
        QMetaObject::invokeMethod(
            this,
            [window = QPointer<QWindow>(window)] {
                if (!window || !(window->windowStates() & Enlarged))
                    return;
                qCDebug(lcFixed) << "asking for the normal state of" << window;
                window->setWindowStates(window->windowStates() & ~Enlarged);
            },
            Qt::QueuedConnection);
    }

    void reported(QWindow *window)
    {
        const auto found = m_watched.find(window);
        if (found == m_watched.end() || !found->widget || !found->lifted
            || (window->windowStates() & Enlarged))
            return;
        QWidget *widget = found->widget;
        qCDebug(lcFixed) << widget->objectName() << "is normal again at" << widget->size();
        found->lifted = false;
        // Back to the widget's own limits; a larger window shrinks to them.
        window->setMaximumSize(widget->maximumSize());
        fitBack(widget);
    }

    void fitBack(QWidget *widget)
    {
        const auto found = m_watched.constFind(widget->windowHandle());
        if (found != m_watched.cend() && found->lifted)
            return;
        const QWindow *window = widget->windowHandle();
        if (isFixed(widget) && widget->size() != widget->minimumSize() && window
            && !(window->windowStates() & Enlarged)) {
            qCDebug(lcFixed) << widget->objectName() << "resized to" << widget->size()
                             << "- back to its own size";
            widget->resize(widget->minimumSize());
        }
    }

    QHash<QWindow *, Watched> m_watched;
};

} // namespace

void keepFixedWindowsAtTheirSize()
{
    qApp->installEventFilter(new FixedSizeGuard(qApp));
}

} // namespace rt
