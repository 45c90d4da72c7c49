#pragma once
// A private sound server for tests that listen to what the game plays: a
// PulseAudio daemon of our own with a null sink, a recorder of that sink's
// monitor whose samples are placed on the steady clock, and a search for a
// known wave in the recording.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace audiorig {

using Clock = std::chrono::steady_clock;

// A private sound server in its own temporary folder, speaking the
// PulseAudio protocol on its own socket with a null sink as the default
// sink and anonymous access. Either PulseAudio's own daemon, or PipeWire as
// a player's desktop runs it: a session bus, pipewire, wireplumber and
// pipewire-pulse. Every process is ended by its pid, in reverse order; the
// folder goes with this object.
class PrivateSoundServer {
public:
    enum class Kind { PulseAudio, PipeWire };

    explicit PrivateSoundServer(Kind kind) : m_kind(kind) {}
    PrivateSoundServer(const PrivateSoundServer &) = delete;
    PrivateSoundServer &operator=(const PrivateSoundServer &) = delete;
    ~PrivateSoundServer();

    // The kind named by SQUIBBO_SOUND_SERVER ("pipewire"), PulseAudio if unset.
    static Kind kindFromEnvironment();

    // Starts the server and waits for its socket. On failure says why.
    bool start(QString *why);
    void stop();

    // What PULSE_SERVER must hold for a client to reach this server.
    QString server() const { return QStringLiteral("unix:") + m_socket; }
    QString monitorSource() const { return sinkName() + QStringLiteral(".monitor"); }
    static QString sinkName() { return QStringLiteral("squibbo_test"); }
    QString name() const
    {
        return m_kind == Kind::PipeWire ? QStringLiteral("PipeWire") : QStringLiteral("PulseAudio");
    }
    // The servers' own logs, for a failure message.
    QString log() const;

private:
    bool startPulseAudio(QString *why);
    bool startPipeWire(QString *why);
    // Starts one process of the server with the private environment, its
    // output going to `<program>.log` in the folder.
    bool launch(const QString &program, const QStringList &arguments, QString *why);
    // Waits up to 10 s for a socket, while every process started still runs.
    bool waitFor(const QString &socket, QString *why);

    Kind m_kind;
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

// Converts samples from one rate to another, every sample kept at its time.
std::vector<float> resample(const std::vector<float> &samples, int from, int to);

// Records a source (a monitor) at its own rate, its channels mixed to one,
// in a thread of its own, and keeps for every block that arrives when it was
// read and how much of the sink's output the recording held then.
//
// Those reads place the samples on the steady clock: a sample cannot be read
// before the sink has made it, so each read bounds the time of sample 0 from
// above by (time of reading - duration held), and the smallest bound among
// the reads just after a sample places it (one of them comes straight after
// the sink's cycle): at the moment the sink made it or, for the first
// samples of a cycle, up to one cycle before. Now and then the sink's clock
// stands still for some milliseconds (PipeWire 1.4 does, 20 ms at a time:
// its server woke late and does not catch up): what it makes after that
// stands later, and only the reads after it bound it. The latency the server
// reports follows such a jump only over seconds, which placed sounds up to
// 20 ms off, so it is not used.
class MonitorRecorder {
public:
    MonitorRecorder();
    MonitorRecorder(const MonitorRecorder &) = delete;
    MonitorRecorder &operator=(const MonitorRecorder &) = delete;
    ~MonitorRecorder();

    bool start(const QString &server, const QString &source, QString *why);
    // The stream delivers in bursts for a moment after the start. Waits
    // until blocks have come steadily for a second, the bounds of its two
    // halves agreeing within 1 ms.
    bool waitUntilSettled(Clock::duration timeout);
    // The sink's output reaches the recorder some time after it is played,
    // now and then a second or more. Waits until the recording holds what
    // the sink played up to `until`.
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
        // The error of placing a sample: the largest amount by which the
        // bound of 100 ms of reads fell below that of the 100 ms before (a
        // sink makes no more than the time passed, give or take some
        // hundred ppm, so a fall is what the reads before it missed). And
        // how far the sink's clock fell behind the steady clock over the
        // recording: PipeWire's stands still now and then, PulseAudio's
        // null sink runs a few hundred ppm fast (it rounds each block's
        // duration down to a microsecond).
        double noiseMs() const;
        double driftMs() const;
        // The longest time between two reads. Blocks come every 10 ms, and
        // some 60 ms apart when the sink's clock stands still; much longer
        // means the machine itself stood still (a virtual machine paused by
        // its host does), and with it the game, the server and the test.
        double longestPauseMs() const;

    private:
        // The steady-clock ns of sample 0, from the reads of the 200 ms
        // after `firstRead` (the first to hold the sample, or the first at
        // a time).
        double originFrom(std::vector<Read>::const_iterator firstRead) const;
    };
    // The recording so far at `rate`; call after stop(). Only the reads
    // from `from` on are kept: pass a time after it settled.
    Result result(Clock::time_point from, int rate) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Where a wave was found in a recording.
struct Match {
    qsizetype at = -1;  // sample index of the wave's first sample
    double score = 0;   // normalised correlation, 1 for an exact copy
    double gain = 0;    // the level it was found at, 1 for the level of the file
};

// Searches `recording` for the first `length` samples of `wave` starting at
// each index in [from, to] and returns the best fit.
Match findWave(const std::vector<float> &recording, const std::vector<float> &wave,
               qsizetype from, qsizetype to, qsizetype length);

// How well `length` samples of `wave` from `waveFrom` on fit the recording
// at `at`.
Match fitAt(const std::vector<float> &recording, const std::vector<float> &wave, qsizetype at,
            qsizetype waveFrom, qsizetype length);

// The largest absolute sample in [from, to).
float peak(const std::vector<float> &recording, qsizetype from, qsizetype to);

// ---------------------------------------------------------------- a session

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
inline const QString &missingFile()
{
    static const QString name = QStringLiteral("missing.wav");
    return name;
}
inline const QString &brokenFile()
{
    static const QString name = QStringLiteral("broken.wav");
    return name;
}

// Calls `play` for each planned play at its time, on the running thread's
// event loop, then lets the last sound end. Returns the steady-clock time
// taken just before each call, and in `longestCall` the longest a call took.
std::vector<Clock::time_point> perform(const std::vector<Play> &plays,
                                       const std::function<void(const QString &)> &play,
                                       Clock::duration *longestCall);

// What the recording shows of one play.
struct Heard {
    QString name;
    bool expected = true;    // false for a file that must play nothing
    bool heard = false;      // for a silent one: true when something was heard
    double delayMs = 0;      // from the call until the sink made the first sample
    double score = 0;        // fit of the beginning
    double wholeScore = 0;   // fit from 20 ms in until it ends or the next one starts
};

// Finds every play in the recording. `waves` holds the files by name.
std::vector<Heard> analyse(const MonitorRecorder::Result &recording, const std::vector<Play> &plays,
                           const std::vector<Clock::time_point> &called,
                           const std::map<QString, Wave> &waves);

struct Summary {
    int expected = 0, heard = 0, onTime = 0, whole = 0, silentAsAsked = 0, silentCalls = 0;
    double medianMs = 0, worstMs = 0;
};
// Counts with a delay limit of `limitMs` and a whole-fit limit of `wholeLimit`.
Summary summarise(const std::vector<Heard> &heard, double limitMs, double wholeLimit);

} // namespace audiorig
