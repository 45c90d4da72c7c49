// The real platform services: Qt dialogs, a seeded uniform generator, the
// file test and, per platform, sound and program start.

#include "services.h"
#include "accessibility.h"
#include "platform_backends.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QTextBoundaryFinder>
#include <QValidator>

#include <algorithm>
#include <bit>
#include <random>

namespace rt {
namespace {

// How wide a dialog must be for a title bar to show its whole title: the
// title as a title bar sets it (a bold face a little larger than the
// dialog's), and room for the frame's icon and buttons beside it. Qt draws
// that title bar itself on Wayland, and cuts a title that does not fit.
int widthForTitle(const QString &title, QFont font)
{
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.15);
    constexpr int FrameButtonsAndIcon = 160;
    return QFontMetrics(font).horizontalAdvance(title) + FrameButtonsAndIcon;
}

// A dialog over the window it speaks for, so that the desktop places it
// there and keeps it in front of it. The owner may close while the dialog
// is open (the player can close the main window from its title bar); it
// then takes the dialog with it, and the pointer knows.
template <typename Dialog>
QPointer<Dialog> makeDialog(QWidget *owner)
{
    return new Dialog(owner ? owner->window() : nullptr);
}

class DialogMessageBox final : public MessageBoxService {
public:
    void show(QWidget *owner, const QString &text, const QString &title) override
    {
        QPointer<QMessageBox> box = makeDialog<QMessageBox>(owner);
        const QString shownTitle = title.isEmpty() ? appTitle() : title;
        box->setWindowTitle(shownTitle);
        // A message may quote a damaged file: "<img src=...>" taken as
        // markup would make Qt load whatever file it names.
        box->setTextFormat(Qt::PlainText);
        box->setText(text);
        box->setStandardButtons(QMessageBox::Ok);
        if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
            // The box sets its own size from its text; a wide enough text
            // makes room for the whole title.
            label->setMinimumWidth(widthForTitle(shownTitle, box->font()));
            // A screen reader reads the message and OK; the empty place of
            // an icon and the strip that holds the button are left out.
            setReadingOrder(box, QAccessible::AlertMessage,
                            {{label}, {box->button(QMessageBox::Ok)}});
        }
        box->exec();
        delete box;
    }
};

bool setsDirection(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

// Drops what a name may not hold: control characters (a pasted line break
// must not count, nor end up in a table that keeps one name a line), the
// controls that set the direction of the text around them, and a lone half
// of a UTF-16 pair. A cursor position `pos`, when given, stays before the
// same character.
QString keptOfName(const QString &text, int *pos = nullptr)
{
    QString kept;
    kept.reserve(text.size());
    const qsizetype cursor = pos ? *pos : 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            kept += c;
            kept += text.at(++i);
        } else if (!c.isSurrogate() && c.category() != QChar::Other_Control
                   && c != QChar::LineSeparator && c != QChar::ParagraphSeparator
                   && !setsDirection(c)) {
            kept += c;
        } else if (pos && i < cursor) {
            --*pos;
        }
    }
    return kept;
}

// The size of `text` in UTF-8; it holds no lone half of a pair.
qsizetype utf8Size(QStringView text)
{
    qsizetype bytes = 0;
    for (const QChar c : text)
        bytes += c.unicode() < 0x80 ? 1 : c.unicode() < 0x800 || c.isSurrogate() ? 2 : 3;
    return bytes;
}

// Keeps an edit field to a name within a limit, by the one rule of
// leftCharacters. A keystroke that would take the name past the limit is
// refused and what is there stays, as in a field at its length limit; of a
// paste, as much of its start as fits goes in where it was put. (The
// field's own limit counts UTF-16 units, and would cut an emoji in half.)
class NameLimit final : public QValidator {
public:
    NameLimit(int characters, int utf8Bytes, QObject *parent)
        : QValidator(parent), m_characters(characters), m_utf8Bytes(utf8Bytes)
    {
    }

    State validate(QString &input, int &pos) const override
    {
        const QString text = keptOfName(input, &pos);
        if (fits(text)) {
            input = m_shown = text;
            return Acceptable;
        }
        // The change put in what lies between the start and the end that
        // it kept of the text before it: the text after the cursor is
        // such an end.
        const QString &before = m_shown;
        const qsizetype shorter = std::min(before.size(), text.size());
        qsizetype tail = text.size() - pos;
        if (tail > shorter || !before.endsWith(QStringView(text).right(tail))) {
            tail = 0;
            while (tail < shorter
                   && text.at(text.size() - 1 - tail) == before.at(before.size() - 1 - tail))
                ++tail;
        }
        qsizetype head = 0;
        while (head < shorter - tail && text.at(head) == before.at(head))
            ++head;
        const QString put = text.mid(head, text.size() - tail - head);

        QString kept = text.left(head) + text.right(tail);
        if (!fits(kept))
            return Invalid;
        qsizetype keptPut = 0;
        QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, put);
        for (qsizetype end = characters.toNextBoundary(); end > 0;
             end = characters.toNextBoundary()) {
            QString longer = text.left(head) + put.left(end) + text.right(tail);
            if (!fits(longer))
                break;
            kept = std::move(longer);
            keptPut = end;
        }
        if (kept == before)
            return Invalid;
        input = m_shown = kept;
        pos = int(head + keptPut);
        return Acceptable;
    }

private:
    bool fits(const QString &text) const
    {
        return leftCharacters(text, m_characters, m_utf8Bytes).size() == text.size();
    }

    int m_characters;
    int m_utf8Bytes;
    // What the field shows, as last accepted.
    mutable QString m_shown;
};

class DialogInputBox final : public InputBoxService {
public:
    QString ask(QWidget *owner, const QString &prompt, const QString &title, int maxLength,
                int maxUtf8Bytes) override
    {
        QPointer<QInputDialog> dialog = makeDialog<QInputDialog>(owner);
        const QString shownTitle = title.isEmpty() ? appTitle() : title;
        dialog->setWindowTitle(shownTitle);
        dialog->setLabelText(prompt);
        dialog->setInputMode(QInputDialog::TextInput);
        dialog->setTextValue(QString());
        if (auto *label = dialog->findChild<QLabel *>())
            label->setTextFormat(Qt::PlainText);
        if (auto *edit = dialog->findChild<QLineEdit *>()) {
            edit->setValidator(new NameLimit(maxLength, maxUtf8Bytes, edit));
            // The dialog's layout sets its width from what it holds: a
            // field this wide makes room for the whole title.
            const QMargins margins =
                dialog->layout() ? dialog->layout()->contentsMargins() : QMargins();
            edit->setMinimumWidth(widthForTitle(shownTitle, dialog->font()) - margins.left()
                                  - margins.right());
        }
        const bool accepted = dialog->exec() == QDialog::Accepted;
        const QString typed = accepted && dialog ? dialog->textValue() : QString();
        delete dialog;
        return leftCharacters(typed, maxLength, maxUtf8Bytes);
    }
};

class TimeSeededRandom final : public RandomService {
public:
    void randomize(double seed) override
    {
        // Every bit of the seed, its fraction included, goes into the state.
        m_engine.seed(std::bit_cast<std::uint64_t>(seed));
    }
    float next() override
    {
        // 24 random bits give every float of [0, 1) on a 2^-24 grid.
        return static_cast<float>(m_engine() >> 40) * 0x1.0p-24f;
    }

private:
    std::mt19937_64 m_engine{0x5eedULL};
};

class QtFileTest final : public FileTestService {
public:
    bool isNormalFile(const QString &path) override
    {
        const QFileInfo info(path);
        return info.exists() && info.isFile() && !info.isHidden();
    }
};

} // namespace

QString withoutDirectionControls(QString text)
{
    text.removeIf(setsDirection);
    return text;
}

QString leftCharacters(const QString &text, int count, int maxUtf8Bytes)
{
    const QString kept = keptOfName(text);
    // Whole characters as the player sees them, as the cursor steps over
    // them: a letter with its accents, an emoji with its modifiers.
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, kept);
    qsizetype end = 0;
    qsizetype bytes = 0;
    for (int n = 0; n < count; ++n) {
        const qsizetype next = characters.toNextBoundary();
        if (next < 0)
            break;
        bytes += utf8Size(QStringView(kept).mid(end, next - end));
        if (bytes > maxUtf8Bytes)
            break;
        end = next;
    }
    return kept.left(end);
}

std::unique_ptr<MessageBoxService> makeDialogMessageBox()
{
    return std::make_unique<DialogMessageBox>();
}

std::unique_ptr<InputBoxService> makeDialogInputBox()
{
    return std::make_unique<DialogInputBox>();
}

Services Services::platform(const QString &folder)
{
    Services s;
    s.folder = folder;
    s.sound = makePlatformSound(folder);
    s.messageBox = makeDialogMessageBox();
    s.inputBox = makeDialogInputBox();
    s.random = std::make_unique<TimeSeededRandom>();
    s.fileTest = std::make_unique<QtFileTest>();
    s.programStart = makePlatformProgramStart();
    return s;
}

} // namespace rt
