// Sound and program start on Windows: the multimedia library plays the
// wave file, the shell starts the program in a normal, focused window.

#include "platform_backends.h"

#include <QDir>

#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>

namespace rt {
namespace {

// sndPlaySoundA plays one sound at a time: a new one stops the one playing.
class WinSound final : public SoundService {
public:
    explicit WinSound(const QString &folder) : m_folder(folder) {}

    void play(const QString &relativeName) override
    {
        // The call takes a path in the system's ANSI code page. The game
        // folder lies in the player's profile, whose name may hold letters
        // that the code page lacks; the program makes the game folder its
        // working folder, so the bare name then finds the file all the same.
        const QString path = QDir::toNativeSeparators(m_folder.absoluteFilePath(relativeName));
        QByteArray name = path.toLocal8Bit();
        if (QString::fromLocal8Bit(name) != path)
            name = relativeName.toLocal8Bit();
        sndPlaySoundA(name.constData(), SND_ASYNC | SND_NODEFAULT);
    }

private:
    const QDir m_folder;
};

class ShellProgramStart final : public ProgramStartService {
public:
    bool start(const QString &path) override
    {
        if (path.isEmpty())
            return false;
        const QByteArray file = path.toLocal8Bit();
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteA(nullptr, "open", file.constData(), nullptr, nullptr, SW_SHOWNORMAL));
        // ShellExecute reports success with a value above 32.
        return result > 32;
    }
};

} // namespace

std::unique_ptr<SoundService> makePlatformSound(const QString &folder)
{
    return std::make_unique<WinSound>(folder);
}

std::unique_ptr<ProgramStartService> makePlatformProgramStart()
{
    return std::make_unique<ShellProgramStart>();
}

} // namespace rt
