#pragma once
// A window of the game. The Form object lives for the whole run; its
// window and controls exist only while it is loaded. Load builds them from
// the design, Unload (or closing the window) destroys them again, while the
// object and its fields stay. Show opens the window modeless and without an
// owner, or brings it to the front when it is open already.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QPushButton;
class QWindow;

namespace rt {

// The top-level widget of a loaded form. It draws what changed at most once
// per frame of its screen, however often its controls change: on Wayland
// when the compositor calls for the next frame, elsewhere no more often
// than the screen refreshes. Each frame shows the controls as they are by
// then.
class FormWindow : public QWidget {
    Q_OBJECT
public:
    explicit FormWindow(const QString &name);

    // A fixed client area in twips; the user cannot resize it.
    void setClientSize(int widthTwips, int heightTwips);
    // Where the client area's top-left corner is in the window: (0, 0), or,
    // while a window manager holds the window larger than its fixed size,
    // the corner that shows the client area whole in its middle. The
    // controls are placed from there.
    QPoint origin() const { return m_origin; }

    // Enter presses the focused button, or else the default button; Esc
    // presses the cancel button.
    void setDefaultButton(QPushButton *button) { m_default = button; }
    void setCancelButton(QPushButton *button) { m_cancel = button; }

Q_SIGNALS:
    void activated();
    void closed();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Holds back the drawing Qt asks for until the next frame; false where
    // it draws at once.
    bool waitForFrame();
    // Draws what has changed, or the whole window.
    void drawFrame(bool whole);

    // The platform window whose update requests bring the frames.
    QPointer<QWindow> m_paced;
    QTimer m_frameTimer;
    QElapsedTimer m_sinceFrame;
    QMargins m_paintedMargins;
    qreal m_paintedRatio = 0;
    bool m_frameDue = false;
    bool m_drawing = false;
    QPoint m_origin;
    QPointer<QPushButton> m_default;
    QPointer<QPushButton> m_cancel;
};

class Form : public QObject {
    Q_OBJECT
public:
    Form(const QString &name, QObject *parent);
    ~Form() override;

    // Builds the window and its controls and runs Form_Load. Loading a
    // loaded form does nothing.
    void Load();
    // Destroys the window and its controls; the object stays.
    void Unload();
    // Loads if needed, then opens the window or brings it to the front.
    void Show();

    bool isLoaded() const { return !m_window.isNull(); }
    bool isVisible() const { return m_window && m_window->isVisible(); }
    FormWindow *window() const { return m_window; }

protected:
    // Creates the controls on a fresh window.
    virtual void build(FormWindow *window) = 0;
    // Runs once in the object's life, on its first load, after the
    // controls have been built and before Form_Load.
    virtual void Form_Initialize() {}
    // Runs at every load, before the window first appears.
    virtual void Form_Load() {}
    // Runs every time the window becomes the active window.
    virtual void Form_Activate() {}

private:
    QString m_name;
    QPointer<FormWindow> m_window;
    // A window that has been closed but that Qt has not deleted yet.
    QPointer<FormWindow> m_closing;
    bool m_initialized = false;
};

} // namespace rt
