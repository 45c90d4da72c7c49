// Sound and program start on Windows: the multimedia library plays the
// wave file, the shell starts the program in a normal, focused window.

#include "platform_backends.h"

#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>

namespace rt {
namespace {

class WinSound final : public SoundService {
public:
    void play(const QString &relativeName) override
    {
        const QByteArray name = relativeName.toLocal8Bit();
        sndPlaySoundA(name.constData(), SND_ASYNC | SND_NODEFAULT);
    }
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

std::unique_ptr<SoundService> makePlatformSound()
{
    return std::make_unique<WinSound>();
}

std::unique_ptr<ProgramStartService> makePlatformProgramStart()
{
    return std::make_unique<ShellProgramStart>();
}

} // namespace rt
