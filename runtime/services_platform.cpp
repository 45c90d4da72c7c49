// The real platform services: Qt dialogs, a seeded uniform generator, the
// file test and, per platform, sound and program start.

#include "services.h"
#include "platform_backends.h"

#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

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
        box.exec();
    }
};

class DialogInputBox final : public InputBoxService {
public:
    QString ask(const QString &prompt, const QString &title, int maxLength) override
    {
        QInputDialog dialog;
        dialog.setWindowTitle(title.isEmpty() ? appTitle() : title);
        dialog.setLabelText(prompt);
        dialog.setInputMode(QInputDialog::TextInput);
        dialog.setTextValue(QString());
        if (auto *edit = dialog.findChild<QLineEdit *>())
            edit->setMaxLength(maxLength);
        if (dialog.exec() != QDialog::Accepted)
            return {};
        return dialog.textValue().left(maxLength);
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

Services Services::platform()
{
    Services s;
    s.sound = makePlatformSound();
    s.messageBox = std::make_unique<DialogMessageBox>();
    s.inputBox = std::make_unique<DialogInputBox>();
    s.random = std::make_unique<TimeSeededRandom>();
    s.fileTest = std::make_unique<QtFileTest>();
    s.programStart = makePlatformProgramStart();
    return s;
}

} // namespace rt
