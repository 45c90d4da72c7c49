#include "accessibility.h"

#include <QAbstractButton>
#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <utility>
#include <vector>

namespace rt {
namespace {

// A list in a window's reading order, and one item of it. Both are plain
// objects beside the window's controls: they exist for the reader only.
class ReaderList : public QObject {
    Q_OBJECT
public:
    ReaderList(QObject *parent, const QString &name) : QObject(parent) { setObjectName(name); }
};

class ReaderItem : public QObject {
    Q_OBJECT
public:
    ReaderItem(ReaderList *list, const QWidgetList &controls) : QObject(list)
    {
        for (QWidget *w : controls)
            m_controls.emplace_back(w);
    }
    QWidget *lead() const { return m_controls.empty() ? nullptr : m_controls.front().data(); }
    QRect rect() const
    {
        QRect r;
        for (const auto &w : m_controls)
            if (w)
                r |= QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
        return r;
    }

private:
    std::vector<QPointer<QWidget>> m_controls;
};

// The reading order of one window: a child object of the window, so it
// goes with it.
class ReadingOrder : public QObject {
    Q_OBJECT
public:
    ReadingOrder(QWidget *window, QAccessible::Role role) : QObject(window), m_role(role)
    {
        setObjectName(QStringLiteral("ReadingOrder"));
    }
    QAccessible::Role role() const { return m_role; }
    // A control, or a ReaderList.
    std::vector<QPointer<QObject>> entries;

    static ReadingOrder *of(const QObject *window)
    {
        return window ? window->findChild<ReadingOrder *>(QString(), Qt::FindDirectChildrenOnly)
                      : nullptr;
    }

private:
    QAccessible::Role m_role;
};

QAccessibleInterface *accessible(QObject *o)
{
    return o ? QAccessible::queryAccessibleInterface(o) : nullptr;
}

template <typename Range>
int indexIn(const Range &objects, const QAccessibleInterface *child)
{
    int i = 0;
    for (const auto &o : objects) {
        if (o && child && o == child->object())
            return i;
        ++i;
    }
    return -1;
}

// A window reads as a frame, a dialog or an alert, its children in reading
// order.
class WindowAccessible final : public QAccessibleWidget {
public:
    WindowAccessible(QWidget *w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

    QAccessible::Role role() const override
    {
        const ReadingOrder *order = ReadingOrder::of(object());
        return order ? order->role() : QAccessibleWidget::role();
    }
    int childCount() const override
    {
        const ReadingOrder *order = ReadingOrder::of(object());
        return order ? int(order->entries.size()) : QAccessibleWidget::childCount();
    }
    QAccessibleInterface *child(int index) const override
    {
        const ReadingOrder *order = ReadingOrder::of(object());
        if (!order)
            return QAccessibleWidget::child(index);
        if (index < 0 || index >= int(order->entries.size()))
            return nullptr;
        return accessible(order->entries[std::size_t(index)]);
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const ReadingOrder *order = ReadingOrder::of(object());
        return order ? indexIn(order->entries, child) : QAccessibleWidget::indexOfChild(child);
    }
};

// What the list and its items share: they have no widget of their own and
// live in the window of the controls they stand for.
class GroupAccessible : public QAccessibleObject {
public:
    using QAccessibleObject::QAccessibleObject;

    QWidget *windowWidget() const
    {
        for (QObject *o = object(); o; o = o->parent())
            if (auto *w = qobject_cast<QWidget *>(o))
                return w->window();
        return nullptr;
    }
    QWindow *window() const override
    {
        QWidget *w = windowWidget();
        return w ? w->windowHandle() : nullptr;
    }
    QAccessibleInterface *focusChild() const override { return nullptr; }
    void setText(QAccessible::Text, const QString &) override {}
};

class ListAccessible final : public GroupAccessible {
public:
    explicit ListAccessible(ReaderList *list) : GroupAccessible(list) {}

    QList<ReaderItem *> items() const
    {
        return object()->findChildren<ReaderItem *>(QString(), Qt::FindDirectChildrenOnly);
    }
    QAccessibleInterface *parent() const override { return accessible(windowWidget()); }
    int childCount() const override { return int(items().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const auto all = items();
        return index >= 0 && index < all.size() ? accessible(all[index]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return indexIn(items(), child);
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? object()->objectName() : QString();
    }
    QRect rect() const override
    {
        QRect r;
        for (const ReaderItem *item : items())
            r |= item->rect();
        return r;
    }
    QAccessible::Role role() const override { return QAccessible::List; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.readOnly = true;
        return s;
    }
};

class ItemAccessible final : public GroupAccessible {
public:
    explicit ItemAccessible(ReaderItem *item) : GroupAccessible(item) {}

    ReaderItem *item() const { return static_cast<ReaderItem *>(object()); }
    QAccessibleInterface *parent() const override { return accessible(object()->parent()); }
    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        QAccessibleInterface *lead = accessible(item()->lead());
        return t == QAccessible::Name && lead ? lead->text(QAccessible::Name) : QString();
    }
    QRect rect() const override { return item()->rect(); }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.readOnly = true;
        QWidget *lead = item()->lead();
        s.invisible = !lead || !lead->isVisible();
        return s;
    }
};

// A button of a dialog's strip of buttons, read as a button of the dialog
// itself: the strip is left out of the dialog's reading order, and the
// button does not point the reader at it as the control it works.
class DialogButtonAccessible final : public QAccessibleWidget {
public:
    explicit DialogButtonAccessible(QAbstractButton *button)
        : QAccessibleWidget(button, QAccessible::Button)
    {
    }

    QAbstractButton *button() const { return static_cast<QAbstractButton *>(object()); }

    QAccessibleInterface *parent() const override
    {
        QWidget *dialog = button()->window();
        const ReadingOrder *order = ReadingOrder::of(dialog);
        return order && indexIn(order->entries, this) >= 0 ? accessible(dialog)
                                                            : QAccessibleWidget::parent();
    }
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !button()->accessibleName().isEmpty())
            return QAccessibleWidget::text(t);
        // The caption without the mark of its access key.
        QString caption = button()->text();
        for (qsizetype i = caption.indexOf(u'&'); i >= 0 && i < caption.size();
             i = caption.indexOf(u'&', i + 1))
            caption.remove(i, 1);
        return caption;
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.pressed = button()->isDown();
        if (auto *push = qobject_cast<QPushButton *>(button()))
            s.defaultButton = push->isDefault();
        return s;
    }
    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &name) override
    {
        if (name != pressAction())
            QAccessibleWidget::doAction(name);
        else if (button()->isEnabled())
            button()->animateClick();
    }
};

#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
// Where Qt has no announcements, news reaches a reader as a notification:
// a widget of no size, never seen, that shows for each piece of news and
// reads as it.
class NewsNotice final : public QWidget {
    Q_OBJECT
public:
    explicit NewsNotice(QWidget *window) : QWidget(window)
    {
        setObjectName(QStringLiteral("ReaderNotice"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFixedSize(0, 0);
        hide();
    }
    void say(const QString &news)
    {
        hide();
        setAccessibleName(news);
        show();
    }
};
#endif

QAccessibleInterface *readerFactory(const QString &className, QObject *object)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
    if (auto *notice = qobject_cast<NewsNotice *>(object))
        return new QAccessibleWidget(notice, QAccessible::Notification);
#endif
    if (className == QLatin1String("rt::FormWindow"))
        return new WindowAccessible(static_cast<QWidget *>(object), QAccessible::Window);
    // A message box reads in the order that the message box service sets.
    if (className == QLatin1String("QMessageBox"))
        return new WindowAccessible(static_cast<QWidget *>(object), QAccessible::AlertMessage);
    if (className == QLatin1String("QPushButton")
        && qobject_cast<QDialogButtonBox *>(static_cast<QWidget *>(object)->parentWidget()))
        return new DialogButtonAccessible(static_cast<QPushButton *>(object));
    if (className == QLatin1String("rt::PictureBox"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Graphic);
    if (auto *list = qobject_cast<ReaderList *>(object))
        return new ListAccessible(list);
    if (auto *item = qobject_cast<ReaderItem *>(object))
        return new ItemAccessible(item);
    return nullptr;
}

// Gives each dialog that is shown its text for the reader, in what its
// text label reads as: Orca 43 says the labels of an alert but not its
// description, Orca 48 a dialog's description in place of its labels and
// once more after them, and both say a field with the label that names it
// (Orca 48 its name as well).
// A message box reads its message, then the text; an input box the text,
// then its question.
class DescriptionFilter final : public QObject {
public:
    DescriptionFilter(const QString &text, QObject *parent) : QObject(parent), m_text(text) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show)
            return false;
        if (auto *box = qobject_cast<QMessageBox *>(watched)) {
            if (auto *message = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")))
                message->setAccessibleName(box->text() + u' ' + m_text);
        } else if (auto *input = qobject_cast<QInputDialog *>(watched)) {
            // The field reads as its label does, so that a reader that
            // says both says it once.
            const QString question = m_text + u' ' + input->labelText();
            if (auto *label = input->findChild<QLabel *>())
                label->setAccessibleName(question);
            if (auto *field = input->findChild<QLineEdit *>())
                field->setAccessibleName(question);
        }
        return false;
    }

private:
    QString m_text;
};

} // namespace

void installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(readerFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void setReadingOrder(QWidget *window, QAccessible::Role role, const QList<ReaderEntry> &entries)
{
    installAccessibility();
    delete ReadingOrder::of(window);
    auto *order = new ReadingOrder(window, role);
    for (const ReaderEntry &entry : entries) {
        if (entry.control) {
            order->entries.emplace_back(entry.control);
            continue;
        }
        auto *list = new ReaderList(order, entry.listName);
        for (const QWidgetList &controls : entry.items)
            new ReaderItem(list, controls);
        order->entries.emplace_back(list);
    }
}

DialogDescription::DialogDescription(const QString &text)
    : m_filter(new DescriptionFilter(text, qApp))
{
    if (qApp)
        qApp->installEventFilter(m_filter);
}

DialogDescription::~DialogDescription()
{
    delete m_filter;
}

ReaderNews::ReaderNews(QWidget *control) : QObject(control), m_control(control)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
    installAccessibility();
    m_notice = new NewsNotice(control->window());
#endif
    // A reader that only passes the control, as windows come and go (the
    // desktop hands the focus back to the main window between the
    // game-over dialogs, say), is not taken to have come back.
    m_stay.setSingleShot(true);
    m_stay.setInterval(500);
    connect(&m_stay, &QTimer::timeout, this, [this] {
        if (readerIsHere() && !m_waiting.isEmpty())
            say(std::exchange(m_waiting, QString()));
    });
    control->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        // The player moves on while the control holds: the reader is
        // elsewhere now.
        if (m_held && now && now != m_control) {
            m_held = false;
            showStandingLater();
        }
    });
}

bool ReaderNews::readerIsHere() const
{
    return m_control->hasFocus() || (m_held && m_control->isActiveWindow());
}

void ReaderNews::setStanding(const QString &text)
{
    m_standing = text;
    // A change that the reader on the control can hear would sound like
    // news: then the text waits until the reader has moved on.
    if (!m_held && !m_control->hasFocus())
        m_control->setAccessibleDescription(text);
}

void ReaderNews::tell(const QString &news)
{
    if (readerIsHere())
        say(news);
    else
        m_waiting = news;
}

void ReaderNews::say(const QString &news)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent announcement(m_control, news);
    QAccessible::updateAccessibility(&announcement);
#else
    static_cast<NewsNotice *>(m_notice.data())->say(news);
#endif
}

void ReaderNews::hold()
{
    // Meanwhile the panel changes, and the reader on the control would
    // hear each change: the description falls silent until the reader
    // moves on.
    m_held = true;
    m_control->setAccessibleDescription(QString());
}

bool ReaderNews::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        m_held = false;
        if (!m_waiting.isEmpty())
            m_stay.start();
    } else if (event->type() == QEvent::FocusOut && !m_held) {
        m_stay.stop();
        showStandingLater();
    }
    return QObject::eventFilter(watched, event);
}

void ReaderNews::showStandingLater()
{
    // Once the reader is on the new focus, and no longer says the
    // control's changes.
    QTimer::singleShot(0, this, [this] {
        if (!m_held && !m_control->hasFocus())
            m_control->setAccessibleDescription(m_standing);
    });
}

} // namespace rt

#include "accessibility.moc"
