// The listening test's analysis on a recording made up here, whose sounds
// stand at known delays after their calls: it must time each of them, fail
// a sound that is late, lost or broken up, and prove nothing where such a
// sound fell while the sink's clock or the recorder stood still.

#include "audiorig.h"
#include "release.h"

#include <QTest>

using namespace audiorig;
using std::chrono::milliseconds;

class SoundVerdictTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void verdictOnAKnownRecording_data();
    void verdictOnAKnownRecording();
};

void SoundVerdictTest::verdictOnAKnownRecording_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("said");

    QTest::newRow("every sound in time") << "" << int(Verdict::Proven) << "";
    QTest::newRow("one 80 ms late") << "late" << int(Verdict::Failed) << "play 2 (fling2.wav) 80.";
    QTest::newRow("one lost") << "lost" << int(Verdict::Failed) << "play 2 (fling2.wav) not heard";
    QTest::newRow("one broken up") << "broken" << int(Verdict::Failed) << "play 2 (fling2.wav) broken up";
    QTest::newRow("one broken up while the recorder read nothing")
        << "broken, recorder still" << int(Verdict::NotProven) << "stood still around play 4 (fling2.wav) broken up";
    QTest::newRow("one a second late while the sink's clock stood still")
        << "late, sink still" << int(Verdict::NotProven) << "stood still around play 6 (fling2.wav) 10";
}

void SoundVerdictTest::verdictOnAKnownRecording()
{
    QFETCH(QString, fault);
    QFETCH(int, outcome);
    QFETCH(QString, said);

    const QString throwSound = QLatin1String(rt::ThrowSound), splat = QLatin1String(rt::SplatSound);
    std::map<QString, Wave> waves;
    for (const QString &name : {throwSound, splat})
        waves[name] = readWave(qEnvironmentVariable("SQUIBBO_SOURCE_DIR") + QStringLiteral("/assets/") + name);
    const int rate = waves[throwSound].rate;
    QVERIFY(rate > 0 && waves[splat].rate == rate);
    const auto index = [&](double ms) { return qsizetype(ms * rate / 1000); };
    const auto at = [](double ms) { return Clock::time_point(std::chrono::microseconds(qint64(ms * 1000))); };

    // Each splat cuts its throw short, the other throws play whole.
    const std::vector<std::pair<QString, double>> called = {{throwSound, 100}, {splat, 220}, {throwSound, 1000},
                                                            {missingFile(), 1700}, {throwSound, 2000},
                                                            {splat, 2120}, {throwSound, 2900}};
    std::vector<double> delayMs = {18, 22, 25, 0, 20, 27, 24};
    delayMs[2] = fault == QLatin1String("late") ? 80 : 25;
    MonitorRecorder::Result recording;
    recording.wave = {rate, std::vector<float>(size_t(4.5 * rate))};
    std::vector<Play> plays;
    std::vector<Call> calls;
    for (size_t i = 0; i < called.size(); ++i) {
        const auto &[name, ms] = called[i];
        plays.push_back({name, at(ms).time_since_epoch()});
        calls.push_back({at(ms), at(ms)});
        if (!waves.count(name) || (i == 2 && fault == QLatin1String("lost")))
            continue;
        // One voice: the next sound cuts this one.
        const std::vector<float> &wave = waves[name].samples;
        qsizetype length = qsizetype(wave.size());
        if (i + 1 < called.size() && waves.count(called[i + 1].first))
            length = std::min(length, index(called[i + 1].second + delayMs[i + 1]) - index(ms + delayMs[i]));
        std::copy_n(wave.begin(), length, recording.wave.samples.begin() + index(ms + delayMs[i]));
    }
    // A dropout of 100 ms in play 2, or of 30 ms in play 4 (cut short by its splat).
    const double gapMs = fault == QLatin1String("broken") ? 1125 : fault.startsWith(QLatin1String("broken,")) ? 2070 : 0;
    std::fill_n(recording.wave.samples.begin() + index(gapMs), index(gapMs == 1125 ? 100 : gapMs ? 30 : 0), 0.f);
    // A read every 10 ms, mostly 2 ms after the sink's block and now and
    // then straight after it; none for 200 ms around the dropout in play 4
    // when the recorder stood still. A sink whose clock stands still (for a
    // second, 5 ms after the last call) makes nothing meanwhile, and the
    // sound due then comes out that much later.
    const double stillFrom = fault.endsWith(QLatin1String("sink still")) ? 2905 : 1e9;
    for (double ms = 10; ms < 4500; ms += 10) {
        if (fault.endsWith(QLatin1String("recorder still")) && ms > 2030 && ms < 2230)
            continue;
        const double made = ms < stillFrom ? ms : std::max(stillFrom, ms - 1000);
        recording.reads.push_back({1e6 * (ms + (int(ms) % 30 ? 2 : 0.1)), made * 1e6});
    }
    const std::vector<Heard> heard = analyse(recording, plays, calls, waves, 12);
    const Verdict verdict = judge(heard, recording);
    QCOMPARE(int(verdict.outcome), outcome);
    QVERIFY2(verdict.why.contains(said), qPrintable(verdict.why));
    // The one faulty play alone.
    QCOMPARE(verdict.why.count(QStringLiteral("play ")), said.isEmpty() ? 0 : 1);
    for (size_t i = 0; i < heard.size(); ++i) {
        if (!heard[i].expected)
            QVERIFY(!heard[i].heard);
        else if (heard[i].fault.isEmpty())
            QVERIFY2(std::abs(heard[i].delayMs - delayMs[i]) < 0.5,
                     qPrintable(QStringLiteral("play %1 timed %2 ms, not %3").arg(i).arg(heard[i].delayMs).arg(delayMs[i])));
    }
}

QTEST_APPLESS_MAIN(SoundVerdictTest)
#include "tst_sound_verdict.moc"
