// Program start on Linux and other non-Windows platforms; the sound is in
// sound_sdl.cpp.

#include "platform_backends.h"

#include <QProcess>

#include <memory>

namespace rt {
namespace {

class DetachedProgramStart final : public ProgramStartService {
public:
    bool start(const QString &path) override
    {
        if (path.isEmpty())
            return false;
        return QProcess::startDetached(path, {});
    }
};

} // namespace

std::unique_ptr<ProgramStartService> makePlatformProgramStart()
{
    return std::make_unique<DetachedProgramStart>();
}

} // namespace rt
