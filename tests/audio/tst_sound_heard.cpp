// The game's real sound service, heard on a private sound server (PulseAudio,
// or PipeWire when SQUIBBO_SOUND_SERVER says "pipewire"): the
// game's pattern of throws and splats, every sound found in a recording of
// the sink and timed against the call that asked for it.

#include "audiorig.h"
#include "platform_backends.h"
#include "release.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace audiorig;

namespace {

constexpr int kThrows = 56;
constexpr double kLimitMs = 50;  // from the call to the sound at the sink
constexpr double kWhole = 0.9;   // fit of the rest of a sound: no gap, nothing under it

} // namespace

class SoundHeardTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QString why;
        QVERIFY2(m_server.start(&why), qPrintable(why));
        // Before the service exists: it connects where this points.
        qputenv("PULSE_SERVER", m_server.server().toLocal8Bit());

        QVERIFY(m_folder.isValid());
        const QString assets = qEnvironmentVariable("SQUIBBO_SOURCE_DIR") + QStringLiteral("/assets/");
        for (const char *name : {rt::ThrowSound, rt::SplatSound}) {
            const QString file = QLatin1String(name);
            QVERIFY(QFile::copy(assets + file, m_folder.filePath(file)));
            m_waves[file] = readWave(assets + file);
            QVERIFY(!m_waves[file].samples.empty());
        }
        // A wave file cut short in its header.
        QFile broken(m_folder.filePath(brokenFile()));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("RIFF\x24\x10\x00\x00WAVEfmt \x10\x00", 18);
        broken.close();
    }

    void everyPlayIsHeardOnTime()
    {
        // The service lives to the end: a faulty one may hang on its way out,
        // and the figures and the verdict come first.
        std::unique_ptr<rt::SoundService> sound = rt::makePlatformSound(m_folder.path());
        // As the program does once its window shows.
        sound->prepare();
        const std::vector<Play> plays = gamePattern(kThrows, 20240611);
        Clock::duration longestCall{};
        MonitorRecorder recorder;
        QString why;
        QVERIFY2(recorder.start(m_server.server(), m_server.monitorSource(), &why), qPrintable(why));
        QVERIFY2(recorder.waitUntilSettled(std::chrono::seconds(20)),
                 "the recording's timing did not settle within 20 s");
        const auto from = Clock::now();
        const auto called = perform(plays, [&](const QString &name) { sound->play(name); }, &longestCall);
        double longestSoundMs = 0;
        for (const auto &[name, wave] : m_waves)
            longestSoundMs = std::max(longestSoundMs, 1000.0 * double(wave.samples.size()) / wave.rate);
        const auto lastEnds = called.back() + std::chrono::milliseconds(int(longestSoundMs + 2 * kLimitMs));
        QVERIFY2(recorder.waitUntilRecorded(lastEnds, std::chrono::seconds(10)),
                 "the recording did not reach the end of the last sound within 10 s");
        recorder.stop();

        const MonitorRecorder::Result recording = recorder.result(from, m_waves.begin()->second.rate);
        const std::vector<Heard> heard = analyse(recording, plays, called, m_waves);
        const Summary s = summarise(heard, kLimitMs, kWhole);

        for (size_t i = 0; i < heard.size(); ++i) {
            const Heard &h = heard[i];
            const bool good = h.expected ? h.heard && h.delayMs >= -2 && h.delayMs <= kLimitMs
                                               && h.wholeScore >= kWhole
                                         : !h.heard;
            // "late" by more than a second is the next play of the same file
            if (!good)
                qInfo("play %zu (%s): %s, delay %.1f ms, fit %.3f, rest %.3f", i, qPrintable(h.name),
                      h.expected ? (h.heard ? "heard" : "not heard") : (h.heard ? "sounded" : "silent"),
                      h.delayMs, h.score, h.wholeScore);
        }
        qInfo("%s, %d throws: heard %d of %d sounds, %d within %.0f ms, %d whole; median delay %.1f ms, "
              "worst %.1f ms",
              qPrintable(m_server.name()), kThrows, s.heard, s.expected, s.onTime, kLimitMs, s.whole,
              s.medianMs, s.worstMs);
        qInfo("placing error %.2f ms (the sink's clock fell behind by %.1f ms over the run); longest call %.2f ms; "
              "longest pause between reads %.1f ms",
              recording.noiseMs(), recording.driftMs(),
              std::chrono::duration<double, std::milli>(longestCall).count(), recording.longestPauseMs());

        QVERIFY2(recording.overflows == 0, "the recorder fell behind and the server dropped some of the sink's sound");
        // A sound called as the machine stops comes that much later, or is
        // cut at once by the call overdue after it: nothing to blame the
        // game for, and nothing proved either.
        QVERIFY2(recording.longestPauseMs() < 150,
                 "the recorder read nothing for more than 150 ms (the machine stood still): this run proves nothing");
        QVERIFY2(recording.noiseMs() < 5, "the recording cannot be placed on the clock closely enough");
        QCOMPARE(s.heard, s.expected);
        QCOMPARE(s.onTime, s.expected);
        // A sound broken up by a moment's dropout still counts as heard; a
        // busy machine causes a few. A sound that rings on under the next
        // one, or stops early, fails this for most plays.
        QVERIFY2(s.whole * 10 >= s.expected * 9, "more than one sound in ten broken up or overlapped");
        QCOMPARE(s.silentAsAsked, s.silentCalls); // a missing or broken file plays nothing
        // The game's thread never waits for the sound.
        QVERIFY(longestCall < std::chrono::milliseconds(50));
    }

    void cleanupTestCase() { m_server.stop(); }

private:
    PrivateSoundServer m_server{PrivateSoundServer::kindFromEnvironment()};
    QTemporaryDir m_folder;
    std::map<QString, Wave> m_waves;
};

QTEST_GUILESS_MAIN(SoundHeardTest)
#include "tst_sound_heard.moc"
