#include "form.h"

#include "twips.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QResizeEvent>

namespace rt {

FormWindow::FormWindow(const QString &name)
    : QWidget(nullptr)
{
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose);
}

void FormWindow::setClientSize(int widthTwips, int heightTwips)
{
    setFixedSize(px(widthTwips), px(heightTwips));
}

bool FormWindow::event(QEvent *e)
{
    const bool result = QWidget::event(e);
    if (e->type() == QEvent::WindowActivate)
        Q_EMIT activated();
    return result;
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
