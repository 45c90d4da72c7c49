// The real platform services: Qt dialogs, a seeded uniform generator, the
// file test and, per platform, sound and program start.

#include "services.h"
#include "platform_backends.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
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
        // The box sets its own size from its text; a wide enough text
        // makes room for the whole title.
        if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")))
            label->setMinimumWidth(widthForTitle(shownTitle, box->font()));
        box->exec();
        delete box;
    }
};

// Keeps an edit field to a name of a number of characters: whatever is
// typed or pasted goes through leftCharacters, so a paste keeps as much of
// its start as fits. QLineEdit's own limit counts UTF-16 units and would cut
// an emoji in half.
class CharacterLimit final : public QValidator {
public:
    CharacterLimit(int limit, QObject *parent) : QValidator(parent), m_limit(limit) {}

    State validate(QString &input, int &pos) const override
    {
        input = leftCharacters(input, m_limit);
        pos = std::min(pos, int(input.size()));
        return Acceptable;
    }

private:
    int m_limit;
};

class DialogInputBox final : public InputBoxService {
public:
    QString ask(QWidget *owner, const QString &prompt, const QString &title,
                int maxLength) override
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
            edit->setValidator(new CharacterLimit(maxLength, edit));
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
        return leftCharacters(typed, maxLength);
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

QString leftCharacters(const QString &text, int count)
{
    // Control characters first: a pasted line break must not count, nor
    // end up in a table that keeps one name a line.
    QString kept;
    kept.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            kept += c;
            kept += text.at(++i);
        } else if (!c.isSurrogate() && c.category() != QChar::Other_Control
                   && c != QChar::LineSeparator && c != QChar::ParagraphSeparator) {
            kept += c;
        }
    }
    // Then whole characters as the player sees them, as the cursor steps
    // over them: a letter with its accents, an emoji with its modifiers.
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, kept);
    for (int n = 0; n < count; ++n) {
        if (characters.toNextBoundary() < 0)
            return kept;
    }
    return kept.left(characters.position());
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
