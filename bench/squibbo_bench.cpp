// How much one game tick costs, and how evenly the real 7 ms timer ticks.
// Runs on Qt's offscreen platform with the real widgets.

#include "fonts.h"
#include "form1.h"
#include "testdoubles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

struct ShownGame {
    rt::testing::Doubles doubles;
    rt::Services services = doubles.services(QString());
    Form1 form{services, nullptr};

    ShownGame()
    {
        form.Show();
        // The handlers are called by hand here; the real timers stay off.
        form.Timer1->setEnabled(false);
        QCoreApplication::processEvents();
    }
};

// Wendo walks at the far left, well away from the pie's column, so the
// ticks measured here never end in a hit or a miss.
void keepWendoAway(Form1 &form)
{
    form.Direction = 0;
    form.Picture1->Move(600.0f);
    form.Speed = 0;
}

void BM_TickWithPieInFlight(benchmark::State &state)
{
    ShownGame game;
    Form1 &form = game.form;
    keepWendoAway(form);
    form.Command1_Click();
    for (auto _ : state) {
        form.Timer1_Timer();
        if (form.Picture2->Top() < 500.0f)
            form.Picture2->Move(form.Picture2->Left(), 5760.0f);
    }
    if (form.Misses != 0 || form.Hits != 0)
        state.SkipWithError("the pie ended its flight");
}
BENCHMARK(BM_TickWithPieInFlight);

void BM_TickTargetAlone(benchmark::State &state)
{
    ShownGame game;
    Form1 &form = game.form;
    form.Speed = 100;
    for (auto _ : state)
        form.Timer1_Timer();
}
BENCHMARK(BM_TickTargetAlone);

// Lets the real Timer1 drive the game for five seconds and reports the
// median, mean and 99th-percentile time between two ticks.
void BM_TickCadence(benchmark::State &state)
{
    for (auto _ : state) {
        ShownGame game;
        Form1 &form = game.form;
        std::vector<qint64> stamps;
        stamps.reserve(2000);
        QElapsedTimer clock;
        clock.start();
        QObject::connect(form.Timer1, &rt::Timer::tick, &form,
                         [&] { stamps.push_back(clock.nsecsElapsed()); });
        form.Timer1->setEnabled(true);
        QEventLoop loop;
        QTimer::singleShot(5000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
        form.Timer1->setEnabled(false);

        std::vector<double> intervals;
        for (std::size_t i = 1; i < stamps.size(); ++i)
            intervals.push_back(double(stamps[i] - stamps[i - 1]) / 1e6);
        if (intervals.size() < 2) {
            state.SkipWithError("the timer did not tick");
            return;
        }
        // Qt keeps the schedule: a late tick is followed by a short one, so
        // the mean stays at the interval while the median shows the lateness.
        state.counters["mean_ms"] = double(stamps.back() - stamps.front()) / 1e6
            / double(intervals.size());
        std::sort(intervals.begin(), intervals.end());
        state.counters["ticks"] = double(intervals.size() + 1);
        state.counters["median_ms"] = intervals[intervals.size() / 2];
        state.counters["p99_ms"] = intervals[std::min(intervals.size() - 1,
                                                      intervals.size() * 99 / 100)];
    }
}
BENCHMARK(BM_TickCadence)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // As the program does at its start.
    rt::registerFontSubstitutes();
    rt::tightenTimerSlack();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
