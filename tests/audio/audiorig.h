#pragma once
// A private sound server for tests that listen to what the game plays: a
// PulseAudio daemon of our own with a null sink, a recorder of that sink's
// monitor whose samples are placed on the steady clock, a search for a
// known wave in the recording, and the verdict on a run.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace audiorig {

using Clock = std::chrono::steady_clock;

// A private sound server in a temporary folder, speaking the PulseAudio
// protocol on its own socket, its default sink a null sink: PulseAudio's
// own daemon, or PipeWire as a player's desktop runs it (a session bus,
// pipewire, wireplumber and pipewire-pulse). Its processes are ended by
// their pids, in reverse order.
class PrivateSoundServer {
public:
    // PipeWire where SQUIBBO_SOUND_SERVER says "pipewire", else PulseAudio.
    PrivateSoundServer() : m_pipeWire(qEnvironmentVariable("SQUIBBO_SOUND_SERVER") == QLatin1String("pipewire")) {}
    PrivateSoundServer(const PrivateSoundServer &) = delete;
    PrivateSoundServer &operator=(const PrivateSoundServer &) = delete;
    ~PrivateSoundServer() { stop(); }

    // Starts the server and waits for its socket. On failure says why.
    bool start(QString *why);
    void stop();

    // What PULSE_SERVER must hold for a client to reach this server.
    QString server() const { return QStringLiteral("unix:") + m_socket; }
    static QString monitorSource() { return QStringLiteral("squibbo_test.monitor"); }
    QString name() const { return m_pipeWire ? QStringLiteral("PipeWire") : QStringLiteral("PulseAudio"); }

private:
    bool startPulseAudio(QString *why);
    bool startPipeWire(QString *why);
    // Starts one process with the private environment, its output in
    // `<program>.log`, and waits up to 30 s for `socket`.
    bool launch(const QString &program, const QStringList &arguments, const QString &socket, QString *why);

    bool m_pipeWire;
    std::unique_ptr<QTemporaryDir> m_dir;
    QProcessEnvironment m_env;
    QString m_socket;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

// 16-bit mono samples as floats in [-1, 1), with their rate.
struct Wave {
    int rate = 0;
    std::vector<float> samples;
};

// Reads a 16-bit mono PCM wave file. Empty on anything else.
Wave readWave(const QString &path);

// A stretch of the steady clock, in ns.
struct Span {
    double from = 0, to = 0;
};

// Records a source (a monitor) at its own rate, its channels mixed to one,
// in a thread of its own, and keeps for every block when it was read and how
// much of the sink's output the recording held then.
//
// Those reads place the samples on the steady clock: a sample cannot be read
// before the sink has made it, so each read bounds the time of sample 0 from
// above by (time of reading - duration held), and the smallest bound among
// the reads just after a sample places it (one of them comes straight after
// the sink's cycle). When the sink's clock stands still (PipeWire 1.4's for
// 20 ms now and then), what it makes after that stands later, and only the
// reads after it bound it; the latency the server reports lags such a jump.
class MonitorRecorder {
public:
    MonitorRecorder();
    MonitorRecorder(const MonitorRecorder &) = delete;
    MonitorRecorder &operator=(const MonitorRecorder &) = delete;
    ~MonitorRecorder();

    bool start(const QString &server, const QString &source, QString *why);
    // Waits until blocks have come steadily for a second, the bounds of its
    // two halves agreeing within 1 ms (they come in bursts at first), and a
    // stream plays into the sink (a busy server links the game's late).
    bool waitUntilSettled(Clock::duration timeout);
    // Waits until the recording holds what the sink played up to `until`.
    bool waitUntilRecorded(Clock::time_point until, Clock::duration timeout);
    void stop();

    // The recording and the steady-clock time of its samples.
    struct Result {
        Wave wave;
        struct Read {
            double now;    // steady-clock ns of the reading
            double heldNs; // the recording's length then
        };
        std::vector<Read> reads; // in the order read
        int overflows = 0;       // times the server dropped what was not read in time

        // The index of the sample the sink made at `t`.
        qsizetype indexAt(Clock::time_point t) const;
        // Milliseconds from `t` to the sample `index`.
        double msFrom(Clock::time_point t, qsizetype index) const;
        // Where the recorder read nothing for `ms` longer than usual, or the
        // sink made `ms` less than the time passed over 100 ms: the machine
        // or the server stood still, and with them perhaps the game. And
        // where the reads place samples no closer than 5 ms: the bound of
        // 100 ms of reads fell that far below that of the 100 ms before (a
        // sink makes no more than the time passed, so a fall is what the
        // reads before it missed).
        std::vector<Span> stoodStill(double ms) const;
        // How long the sink's clock stood still in all, from the 100 ms of
        // reads around `span.from` to those around `span.to`.
        double sinkStillMs(Span span) const;

    private:
        // The steady-clock ns of sample 0, from the reads of the 200 ms
        // from `firstRead` on.
        double originFrom(std::vector<Read>::const_iterator firstRead) const;
    };
    // The recording at `rate`, after stop(), with the reads from `from` on.
    Result result(Clock::time_point from, int rate) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// One call of the sound service, planned at `at` after the start.
struct Play {
    QString name;
    Clock::duration at;
};

// The game's pattern: `throws` throws some hundreds of ms apart, about half
// of them hits whose splat comes 120 ms after the throw (cutting the throw
// sound short), a few idle spells of 2.5 s, and, after an idle spell, a
// call for a missing file and one for a file that is no wave. The same
// pattern for the same seed.
std::vector<Play> gamePattern(int throws, unsigned seed);
inline QString missingFile() { return QStringLiteral("missing.wav"); }
inline QString brokenFile() { return QStringLiteral("broken.wav"); }

// When a play was due, when it was called and how long the call took.
struct Call {
    Clock::time_point due, at;
    Clock::duration took{};
};

// Calls `play` for each planned play at its time.
std::vector<Call> perform(const std::vector<Play> &plays, const std::function<void(const QString &)> &play);

// What the game must do: every sound at the sink within 50 ms of its call
// and whole (the rest of it fits the file this well), nothing for a file
// that is missing or no wave, and no call that waits for the sound.
constexpr double kLimitMs = 50;
constexpr double kWhole = 0.9;
constexpr double kLongestCallMs = 50;

// What the recording shows of one play.
struct Heard {
    QString name;
    bool expected = true;    // false for a file that must play nothing
    bool heard = false;      // for a silent one: true when something was heard
    double delayMs = 0;      // from the call until the sink made the first sample
    double wholeScore = 0;   // fit from 20 ms in until it ends or the next one starts
    QString fault;           // what was wrong, empty when nothing was
    bool excused = false;    // the machine or the server stood still meanwhile
};

// Finds every play in the recording and judges it. `waves` holds the
// files by name; the game's timer firing late by more than `stillMs`, or
// the recording's own stretches of standing still (see stoodStill()),
// excuse what goes wrong from 50 ms before a call to the end of its sound.
std::vector<Heard> analyse(const MonitorRecorder::Result &recording, const std::vector<Play> &plays,
                           const std::vector<Call> &calls, const std::map<QString, Wave> &waves,
                           double stillMs);

// A run's verdict: a late, lost or stray sound with nothing to excuse it
// fails, and so do more than one in twenty broken up; a fault that the
// machine excuses, or a recording that lost blocks, proves nothing.
struct Verdict {
    enum Outcome { Proven, Failed, NotProven } outcome = Proven;
    QString why;     // for Failed and NotProven
    QString figures; // heard, in time, whole, median and worst delay
};
Verdict judge(const std::vector<Heard> &heard, const MonitorRecorder::Result &recording);

} // namespace audiorig
