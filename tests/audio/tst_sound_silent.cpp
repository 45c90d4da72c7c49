// The game's real sound service with no sound server to reach: the game
// plays on, silently, and one line on standard error says why, however
// many sounds it asks for.

#include "platform_backends.h"
#include "release.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

constexpr const char *kChildFlag = "--play-without-server";

// The child: a throw and a splat a few times, a pause past the 5 s after
// which the service tries the server again, and a few more. Prints on
// standard output how long the longest call took, and how late at most a
// thread that sleeps 5 ms at a time woke meanwhile: how long the machine
// itself stood still, which a busy one stretches any call by.
int playWithoutServer()
{
    std::atomic<bool> done = false;
    std::atomic<qint64> stillNs = 0;
    std::thread probe([&] {
        while (!done) {
            QElapsedTimer slept;
            slept.start();
            QThread::msleep(5);
            stillNs = std::max<qint64>(stillNs, slept.nsecsElapsed() - 5'000'000);
        }
    });
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
    done = true;
    probe.join();
    std::printf("%lld %lld\n", static_cast<long long>(longestNs / 1000000), static_cast<long long>(stillNs / 1000000));
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
        const QStringList said = QString::fromLocal8Bit(child.readAllStandardOutput()).split(QLatin1Char(' '));
        QCOMPARE(said.size(), 2);
        const int longestMs = said[0].toInt(), stillMs = said[1].toInt();
        QVERIFY2(longestMs - stillMs < 100, qPrintable(QStringLiteral("a call took %1 ms, and the machine stood "
                                                                      "still for at most %2 ms")
                                                           .arg(longestMs)
                                                           .arg(stillMs)));
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
