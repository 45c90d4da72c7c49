// Sound and program start on Linux and other non-Windows platforms.

#include "platform_backends.h"

#include <QDir>
#include <QFileInfo>
#include <map>
#include <QProcess>
#include <QSoundEffect>
#include <QUrl>

#include <memory>

namespace rt {
namespace {

// Plays wave files through Qt Multimedia. Effects are loaded on first use
// and kept, so a throw does not wait for the file to be decoded again.
// Without a sound server nothing plays and nothing fails.
class SoundEffects final : public SoundService {
public:
    void play(const QString &relativeName) override
    {
        const QString path = QDir::current().absoluteFilePath(relativeName);
        if (!QFileInfo(path).isFile())
            return;
        auto &effect = m_effects[path];
        if (!effect) {
            effect = std::make_unique<QSoundEffect>();
            effect->setSource(QUrl::fromLocalFile(path));
        }
        effect->stop();
        effect->play();
    }

private:
    std::map<QString, std::unique_ptr<QSoundEffect>> m_effects;
};

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

std::unique_ptr<SoundService> makePlatformSound()
{
    return std::make_unique<SoundEffects>();
}

std::unique_ptr<ProgramStartService> makePlatformProgramStart()
{
    return std::make_unique<DetachedProgramStart>();
}

} // namespace rt
