#include "accessibility.h"

#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>

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

// A window reads as a frame or a dialog, its children in reading order.
class WindowAccessible final : public QAccessibleWidget {
public:
    explicit WindowAccessible(QWidget *w) : QAccessibleWidget(w, QAccessible::Window) {}

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

QAccessibleInterface *readerFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("rt::FormWindow"))
        return new WindowAccessible(static_cast<QWidget *>(object));
    if (className == QLatin1String("rt::PictureBox"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Graphic);
    if (auto *list = qobject_cast<ReaderList *>(object))
        return new ListAccessible(list);
    if (auto *item = qobject_cast<ReaderItem *>(object))
        return new ItemAccessible(item);
    return nullptr;
}

// Sets the description of each dialog that is shown. Orca says it after the
// dialog's title, before the control that has the focus. Newer Orcas say it
// instead of the dialog's own text, so a message box's description starts
// with its message.
class DescriptionFilter final : public QObject {
public:
    DescriptionFilter(const QString &text, QObject *parent) : QObject(parent), m_text(text) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show)
            return false;
        if (auto *box = qobject_cast<QMessageBox *>(watched))
            box->setAccessibleDescription(box->text() + u' ' + m_text);
        else if (auto *dialog = qobject_cast<QDialog *>(watched); dialog && dialog->isWindow())
            dialog->setAccessibleDescription(m_text);
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

} // namespace rt

#include "accessibility.moc"
