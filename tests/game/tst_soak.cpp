// A million ticks of play with throws at random moments. Whatever happens,
// the game's numbers stay sane and the two timers never run together.

#include "fonts.h"
#include "gamefixture.h"

#include <QTest>
#include <random>

namespace {

class SeededRandom final : public rt::RandomService {
public:
    explicit SeededRandom(std::uint64_t seed) : m_engine(seed) {}
    void randomize(double) override {}
    float next() override { return static_cast<float>(m_engine() >> 40) * 0x1.0p-24f; }

private:
    std::mt19937_64 m_engine;
};

} // namespace

class SoakTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // As the program does at its start.
    void initTestCase() { rt::registerFontSubstitutes(); }
    void millionTicks()
    {
        const std::uint64_t seed = qEnvironmentVariableIsSet("SQUIBBO_SOAK_SEED")
            ? qEnvironmentVariable("SQUIBBO_SOAK_SEED").toULongLong()
            : std::random_device{}();
        const QByteArray where = "seed " + QByteArray::number(seed)
            + " (run again with SQUIBBO_SOAK_SEED=" + QByteArray::number(seed) + ")";

        rt::testing::Doubles doubles;
        // No game folder: the game plays without pictures from files.
        rt::Services services = doubles.services(QString());
        services.random = std::make_unique<SeededRandom>(seed);
        Form1 form(services, nullptr);
        form.Load();
        std::mt19937_64 player(seed ^ 0x9e3779b97f4a7c15ULL);

        int gamesOver = 0;
        form.gameOverStep = [&] {
            ++gamesOver;
            // The tick must not run again while the high-score step is busy.
            const std::int16_t misses = form.Misses;
            form.Timer1_Timer();
            QVERIFY2(form.Misses == misses, where);
        };

        int hits = 0;
        for (int tick = 0; tick < 1'000'000; ++tick) {
            if (form.Timer2->Enabled()) {
                form.Timer2_Timer();
                ++hits;
            } else {
                if (form.Command1->isEnabled() && player() % 30 == 0)
                    form.Command1_Click();
                const int scoreBefore = form.Score;
                const int missesBefore = form.Misses;
                form.Timer1_Timer();
                if (form.Misses != 0 || missesBefore != 9) {
                    // Within a game the score moves by one hit or one miss.
                    const int change = form.Score - scoreBefore;
                    QVERIFY2(change == 0 || change == -100 || change == 50 || change == 100
                                 || change == 125 || change == 250 || form.Score == 32767,
                             where + " tick " + QByteArray::number(tick));
                }
            }
            const bool flying = form.PieFlying == 1;
            const bool paused = form.Timer2->Enabled();
            if (!(form.Misses >= 0 && form.Misses <= 10 && !(form.Timer1->Enabled() && paused)
                  && form.Command1->isEnabled() == (!flying && !paused)
                  && form.Speed >= 100 && form.Speed <= 170 && form.Hits >= 0
                  && form.Score >= -1000)) {
                QFAIL(where + " at tick " + QByteArray::number(tick) + ": misses "
                      + QByteArray::number(form.Misses) + ", speed "
                      + QByteArray::number(form.Speed) + ", score "
                      + QByteArray::number(form.Score));
            }
        }
        // Enough play happened for the run to mean something.
        QVERIFY2(gamesOver > 10 && hits > 100, where);
        qInfo("soak: %s, %d games over, %d hits", where.constData(), gamesOver, hits);
    }
};

QTEST_MAIN(SoakTest)
#include "tst_soak.moc"
