// The game's real sound service with no sound server to reach: the game
// plays on, silently, and one line on standard error says why, however
// many sounds it asks for.

#include "platform_backends.h"
#include "release.h"

#include <QCoreApplication>
#include <QDir>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char *kChildFlag = "--play-without-server";

// The child: a throw and a splat a few times, a pause long enough for the
// service to try the server again, and a few more. Prints on standard
// output how long the longest call took.
int playWithoutServer()
{
    std::unique_ptr<rt::SoundService> sound = rt::makePlatformSound(QDir::currentPath());
    sound->prepare();
    qint64 longestNs = 0;
    const auto play = [&](const char *name) {
        QElapsedTimer call;
        call.start();
        sound->play(QLatin1String(name));
        longestNs = std::max(longestNs, call.nsecsElapsed());
    };
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 5; ++i) {
            play(rt::ThrowSound);
            QThread::msleep(120);
            play(rt::SplatSound);
            QThread::msleep(100);
        }
        if (round == 0)
            QThread::msleep(5500);
    }
    std::printf("%lld\n", static_cast<long long>(longestNs / 1000000));
    return 0;
}

} // namespace

class SoundSilentTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void withoutServerOneLineSaysSoAndTheGameGoesOn()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString assets = qEnvironmentVariable("SQUIBBO_SOURCE_DIR") + QStringLiteral("/assets/");
        for (const char *name : {rt::ThrowSound, rt::SplatSound})
            QVERIFY(QFile::copy(assets + QLatin1String(name), folder.filePath(QLatin1String(name))));

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // A server address where nothing listens, and a home of its own so
        // that no configuration of this machine's user comes into play.
        env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + folder.filePath(QStringLiteral("no-server")));
        env.insert(QStringLiteral("HOME"), folder.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder.path());
        env.remove(QStringLiteral("PIPEWIRE_REMOTE"));
        child.setProcessEnvironment(env);
        child.setWorkingDirectory(folder.path());
        child.start(QCoreApplication::applicationFilePath(), {QLatin1String(kChildFlag)});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);

        const QString errors = QString::fromLocal8Bit(child.readAllStandardError());
        const QStringList lines = errors.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY2(lines.size() == 1, qPrintable(QStringLiteral("standard error:\n") + errors));
        QVERIFY2(lines.first().startsWith(QStringLiteral("Squibbo: no sound server")), qPrintable(errors));
        // No call waits for a server that is not there.
        const int longestMs = QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed().toInt();
        QVERIFY2(longestMs < 100, qPrintable(QStringLiteral("a call took %1 ms").arg(longestMs)));
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], kChildFlag) == 0)
        return playWithoutServer();
    SoundSilentTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sound_silent.moc"
