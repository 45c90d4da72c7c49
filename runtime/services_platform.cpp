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
#include <QValidator>

#include <algorithm>
#include <bit>
#include <random>

namespace rt {
namespace {

class DialogMessageBox final : public MessageBoxService {
public:
    void show(const QString &text, const QString &title) override
    {
        QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? appTitle() : title, text,
                        QMessageBox::Ok);
        // A message may quote a damaged file: "<img src=...>" taken as
        // markup would make Qt load whatever file it names.
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
};

// Keeps an edit field to a number of characters. QLineEdit's own limit
// counts UTF-16 units and cuts an emoji in half at the limit; this one cuts
// whole characters only. Whatever goes past the limit, typed or pasted, is
// dropped from the end.
class CharacterLimit final : public QValidator {
public:
    CharacterLimit(int limit, QObject *parent) : QValidator(parent), m_limit(limit) {}

    State validate(QString &input, int &pos) const override
    {
        // The first half of a character typed as two key presses counts as
        // a whole one until its second half follows.
        qsizetype units = 0;
        for (int characters = 0; units < input.size() && characters < m_limit; ++characters) {
            const bool pair = input.at(units).isHighSurrogate() && units + 1 < input.size()
                && input.at(units + 1).isLowSurrogate();
            units += pair ? 2 : 1;
        }
        input.truncate(units);
        pos = std::min(pos, int(units));
        return Acceptable;
    }

private:
    int m_limit;
};

// How wide a dialog must be for the window frame to show its whole title:
// the title as a title bar sets it (a bold face a little larger than the
// dialog's), and room for the frame's icon and buttons beside it.
int widthForTitle(const QString &title, QFont font)
{
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.15);
    constexpr int FrameButtonsAndIcon = 160;
    return QFontMetrics(font).horizontalAdvance(title) + FrameButtonsAndIcon;
}

class DialogInputBox final : public InputBoxService {
public:
    QString ask(const QString &prompt, const QString &title, int maxLength) override
    {
        QInputDialog dialog;
        const QString shownTitle = title.isEmpty() ? appTitle() : title;
        dialog.setWindowTitle(shownTitle);
        dialog.setLabelText(prompt);
        dialog.setInputMode(QInputDialog::TextInput);
        dialog.setTextValue(QString());
        if (auto *label = dialog.findChild<QLabel *>())
            label->setTextFormat(Qt::PlainText);
        if (auto *edit = dialog.findChild<QLineEdit *>()) {
            edit->setValidator(new CharacterLimit(maxLength, edit));
            // The dialog's layout sets its width from what it holds: a
            // field this wide makes room for the whole title.
            const QMargins margins = dialog.layout() ? dialog.layout()->contentsMargins() : QMargins();
            edit->setMinimumWidth(widthForTitle(shownTitle, dialog.font()) - margins.left()
                                  - margins.right());
        }
        if (dialog.exec() != QDialog::Accepted)
            return {};
        return leftCharacters(dialog.textValue(), maxLength);
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
    QString out;
    int characters = 0;
    for (qsizetype i = 0; i < text.size() && characters < count; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if (c.isSurrogate()) {
            // A lone half of a pair is no character at all.
            continue;
        } else {
            out += c;
        }
        ++characters;
    }
    return out;
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
