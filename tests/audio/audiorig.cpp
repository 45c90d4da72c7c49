#include "audiorig.h"
#include "release.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <SDL.h>
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <csignal>
#include <sys/prctl.h>
#include <thread>

namespace audiorig {

// ---------------------------------------------------------------- daemon

bool PrivateSoundServer::start(QString *why)
{
    m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/squibbo-sound-XXXXXX"));
    if (!m_dir->isValid()) {
        *why = QStringLiteral("no temporary folder");
        return false;
    }
    const QString root = m_dir->path();
    for (const char *sub : {"run", "home", "state"}) {
        QDir(root).mkdir(QLatin1String(sub));
        QFile::setPermissions(root + QLatin1Char('/') + QLatin1String(sub),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // Nothing of the caller's session reaches the server: no session bus
    // of the caller's (it would announce itself there), no home, no
    // configuration but what is written here.
    m_env = QProcessEnvironment();
    m_env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    m_env.insert(QStringLiteral("LANG"), QStringLiteral("C"));
    m_env.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
    m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/run"));
    m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/home/.config"));
    m_env.insert(QStringLiteral("XDG_STATE_HOME"), root + QStringLiteral("/state"));
    m_env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), root + QStringLiteral("/run/pulse"));
    m_env.insert(QStringLiteral("PULSE_STATE_PATH"), root + QStringLiteral("/state"));
    m_env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));

    const bool started = m_pipeWire ? startPipeWire(why) : startPulseAudio(why);
    if (!started) {
        for (const auto &p : m_processes) { // the servers' own logs
            QFile log(m_dir->path() + QLatin1Char('/') + p->program() + QStringLiteral(".log"));
            if (log.open(QIODevice::ReadOnly))
                *why += QStringLiteral("\n== ") + p->program() + QLatin1Char('\n') + QString::fromLocal8Bit(log.readAll());
        }
        stop();
    }
    return started;
}

bool PrivateSoundServer::startPulseAudio(QString *why)
{
    m_socket = m_dir->path() + QStringLiteral("/native");
    // Scheduled as a desktop's daemon is (real-time where the system lets
    // it), so that a busy machine delays the game before the server. A
    // desktop-like sink: stereo at 48 kHz, so the 22.05 kHz files are
    // resampled on the way as they are on a player's machine. The finest
    // resampler keeps the hiss of the throw: the default one dulls it
    // enough to blur the comparison with the file.
    return launch(QStringLiteral("pulseaudio"),
                  {
                      QStringLiteral("-n"),
                      QStringLiteral("--daemonize=no"),
                      QStringLiteral("--system=no"),
                      QStringLiteral("--use-pid-file=no"),
                      QStringLiteral("--exit-idle-time=-1"),
                      QStringLiteral("--realtime=yes"),
                      QStringLiteral("--high-priority=yes"),
                      QStringLiteral("--log-target=stderr"),
                      QStringLiteral("--log-level=warning"),
                      QStringLiteral("--resample-method=speex-float-10"),
                      QStringLiteral("--load=module-null-sink sink_name=squibbo_test rate=48000 channels=2"),
                      QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=%1").arg(m_socket),
                  },
                  m_socket, why);
}

namespace {

bool writeText(const QString &path, const char *text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) >= 0;
}

} // namespace

bool PrivateSoundServer::startPipeWire(QString *why)
{
    const QString root = m_dir->path();
    const QString config = root + QStringLiteral("/home/.config");
    // The same null sink as PulseAudio's, added to the distribution's
    // configuration the way a player would add one; pipewire-pulse, which
    // resamples the game's stream, with the finest resampler for the same
    // reason as there. WirePlumber is kept away from the machine's devices,
    // so only that sink is there to link the game's stream to: in Lua for
    // WirePlumber 0.4 (Debian 12), in a profile for 0.5 (Debian 13); each
    // reads only its own.
    if (!writeText(config + QStringLiteral("/pipewire/pipewire.conf.d/squibbo-test.conf"),
                   "context.objects = [ { factory = adapter args = { factory.name = support.null-audio-sink\n"
                   "  node.name = squibbo_test media.class = Audio/Sink audio.rate = 48000 audio.position = [ FL FR ]\n"
                   "  object.linger = true monitor.channel-volumes = true } } ]\n")
        || !writeText(config + QStringLiteral("/pipewire/pipewire-pulse.conf.d/squibbo-test.conf"),
                      "stream.properties = { resample.quality = 10 }\n")
        || !writeText(config + QStringLiteral("/wireplumber/main.lua.d/90-squibbo-test.lua"),
                      "alsa_monitor.enabled = false\nv4l2_monitor.enabled = false\nlibcamera_monitor.enabled = false\n")
        || !writeText(config + QStringLiteral("/wireplumber/bluetooth.lua.d/90-squibbo-test.lua"),
                      "bluez_monitor.enabled = false\n")
        || !writeText(config + QStringLiteral("/wireplumber/wireplumber.conf.d/90-squibbo-test.conf"),
                      "wireplumber.profiles = { main = { monitor.alsa = disabled monitor.alsa-midi = disabled\n"
                      "  monitor.bluez = disabled monitor.bluez-midi = disabled monitor.v4l2 = disabled\n"
                      "  monitor.libcamera = disabled } }\n")) {
        *why = QStringLiteral("cannot write the server's configuration");
        return false;
    }

    // WirePlumber will not run without a session bus: a private one.
    const QString bus = root + QStringLiteral("/run/bus");
    if (!launch(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                 QStringLiteral("--address=unix:path=") + bus},
                bus, why))
        return false;
    m_env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + bus);

    m_socket = root + QStringLiteral("/run/pulse/native");
    return launch(QStringLiteral("pipewire"), {}, root + QStringLiteral("/run/pipewire-0"), why)
           && launch(QStringLiteral("wireplumber"), {}, {}, why)
           && launch(QStringLiteral("pipewire-pulse"), {}, m_socket, why);
}

bool PrivateSoundServer::launch(const QString &program, const QStringList &arguments, const QString &socket,
                                QString *why)
{
    if (QStandardPaths::findExecutable(program).isEmpty()) {
        *why = program + QStringLiteral(" is not installed (tools/install-deps.sh check)");
        return false;
    }
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(m_env);
    process->setWorkingDirectory(m_dir->path());
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(m_dir->path() + QLatin1Char('/') + program + QStringLiteral(".log"));
    // Should this test die, the server goes with it.
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process->start(program, arguments);
    const bool started = process->waitForStarted(30000);
    m_processes.push_back(std::move(process));
    if (!started) {
        *why = program + QStringLiteral(" did not start: ") + m_processes.back()->errorString();
        return false;
    }
    const auto running = [this] {
        return std::all_of(m_processes.begin(), m_processes.end(),
                           [](const auto &p) { return p->state() == QProcess::Running; });
    };
    // A busy machine takes seconds to start a server, a quiet one some
    // milliseconds.
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (!socket.isEmpty() && !QFileInfo::exists(socket) && running() && Clock::now() < end)
        QThread::msleep(20);
    if (socket.isEmpty() || QFileInfo::exists(socket))
        return true;
    *why = QStringLiteral("%1 made no socket %2 within 30 s").arg(program, socket);
    return false;
}

void PrivateSoundServer::stop()
{
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
        QProcess &p = **it;
        if (p.state() == QProcess::NotRunning)
            continue;
        p.terminate(); // SIGTERM to the process's pid
        if (!p.waitForFinished(5000)) {
            p.kill();
            p.waitForFinished(5000);
        }
    }
    m_processes.clear();
}

// ---------------------------------------------------------------- waves

Wave readWave(const QString &path)
{
    SDL_AudioSpec format{};
    Uint8 *data = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV(QFile::encodeName(path).constData(), &format, &data, &length))
        return {};
    Wave wave;
    if (format.format == AUDIO_S16SYS && format.channels == 1) {
        wave.rate = format.freq;
        for (Uint32 i = 0; i + 1 < length; i += 2)
            wave.samples.push_back(*reinterpret_cast<const Sint16 *>(data + i) / 32768.0f);
    }
    SDL_FreeWAV(data);
    return wave;
}

namespace {

// Converts samples from one rate to another, every sample kept at its time.
std::vector<float> resample(const std::vector<float> &in, int from, int to)
{
    if (from == to || from <= 0 || to <= 0)
        return in;
    // Output sample n stands at input position n * from / to, whose
    // fraction takes only to / gcd values: one table of taps per fraction.
    // A Blackman-windowed sinc, symmetric, so the timeline stays exactly
    // where it was; its cutoff lies a little below the lower Nyquist.
    const int64_t g = std::gcd(from, to), phases = to / g;
    const double cutoff = 0.97 * std::min(1.0, double(to) / from); // of the input's Nyquist
    const int half = static_cast<int>(std::ceil(32 / cutoff));     // taps each side
    std::vector<float> taps(static_cast<size_t>(phases * 2 * half));
    for (int64_t p = 0; p < phases; ++p) {
        const double fraction = double(p * g) / to;
        double sum = 0;
        for (int j = 0; j < 2 * half; ++j) {
            const double x = j - half + 1 - fraction; // input samples from the output's position
            const double w = std::abs(x) >= half ? 0
                             : 0.42 + 0.5 * std::cos(M_PI * x / half) + 0.08 * std::cos(2 * M_PI * x / half);
            const double sinc = x == 0 ? 1 : std::sin(M_PI * cutoff * x) / (M_PI * cutoff * x);
            taps[size_t(p * 2 * half + j)] = float(sinc * w);
            sum += sinc * w;
        }
        for (int j = 0; j < 2 * half; ++j)
            taps[size_t(p * 2 * half + j)] /= float(sum);
    }
    const int64_t size = static_cast<int64_t>(in.size());
    std::vector<float> out(static_cast<size_t>(size * to / from));
    for (int64_t n = 0; n < static_cast<int64_t>(out.size()); ++n) {
        const int64_t base = n * from / to;
        const float *t = taps.data() + (n * from % to) / g * 2 * half;
        float v = 0;
        for (int j = 0; j < 2 * half; ++j) {
            const int64_t k = base - half + 1 + j;
            if (k >= 0 && k < size)
                v += in[size_t(k)] * t[j];
        }
        out[size_t(n)] = v;
    }
    return out;
}

// Where a wave was found in a recording.
struct Match {
    qsizetype at = -1; // sample index of the wave's first sample
    double score = 0;  // normalised correlation, 1 for an exact copy
    double gain = 0;   // the level it was found at, 1 for the level of the file
};

// How well `length` samples of `wave` from `waveFrom` on fit the recording
// at `at`; and the best fit of its first `length` samples at [from, to].
Match fitAt(const std::vector<float> &recording, const std::vector<float> &wave, qsizetype at,
            qsizetype waveFrom, qsizetype length)
{
    length = std::min<qsizetype>(length, static_cast<qsizetype>(wave.size()) - waveFrom);
    if (at < 0 || waveFrom < 0 || length <= 0 || at + length > static_cast<qsizetype>(recording.size()))
        return {};
    double dot = 0, heard = 0, sent = 0;
    for (qsizetype k = 0; k < length; ++k) {
        dot += double(recording[at + k]) * wave[waveFrom + k];
        heard += double(recording[at + k]) * recording[at + k];
        sent += double(wave[waveFrom + k]) * wave[waveFrom + k];
    }
    if (heard < 1e-12 || sent < 1e-12)
        return {at, 0, 0};
    return {at, dot / std::sqrt(heard * sent), dot / sent};
}

Match findWave(const std::vector<float> &recording, const std::vector<float> &wave, qsizetype from,
               qsizetype to, qsizetype length)
{
    Match best;
    for (qsizetype at = std::max<qsizetype>(from, 0); at <= to; ++at) {
        const Match m = fitAt(recording, wave, at, 0, length);
        if (m.score > best.score)
            best = m;
    }
    return best;
}

} // namespace

// ---------------------------------------------------------------- recorder

namespace {
using Read = MonitorRecorder::Result::Read;
using ReadIt = std::vector<Read>::const_iterator;

double toNs(Clock::time_point t)
{
    return static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count());
}

// The first read at or after `ns`.
ReadIt firstReadAt(ReadIt begin, ReadIt end, double ns)
{
    return std::lower_bound(begin, end, ns, [](const Read &r, double t) { return r.now < t; });
}

// The tightest bound on the time of sample 0 among the reads from `first`
// on, read within `spanNs` of it (at least that one read).
double lowestBound(ReadIt first, ReadIt end, double spanNs)
{
    double bound = first->now - first->heldNs;
    for (auto r = first + 1; r != end && r->now <= first->now + spanNs; ++r)
        bound = std::min(bound, r->now - r->heldNs);
    return bound;
}

constexpr double kPlacingSpanNs = 200e6;
constexpr double kPlacingLimitNs = 5e6; // a sound placed no closer proves nothing
} // namespace

struct MonitorRecorder::Impl {
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    pa_stream *stream = nullptr;
    pa_sample_spec format{};
    std::vector<float> samples; // mono, at the source's rate
    std::vector<Result::Read> reads;
    int overflows = 0;
    uint32_t sink = PA_INVALID_INDEX; // the monitored one
    int inputs = 0;                   // streams playing into it

    static void signal(void *self) { pa_threaded_mainloop_signal(static_cast<Impl *>(self)->loop, 0); }
    static void contextState(pa_context *, void *self) { signal(self); }
    static void streamState(pa_stream *, void *self) { signal(self); }
    static void overflow(pa_stream *, void *self) { ++static_cast<Impl *>(self)->overflows; }
    static void sourceInfo(pa_context *, const pa_source_info *info, int, void *p)
    {
        auto *self = static_cast<Impl *>(p);
        if (info) {
            self->format = info->sample_spec;
            self->sink = info->monitor_of_sink;
        }
        signal(self);
    }
    static void sinkInput(pa_context *, const pa_sink_input_info *info, int, void *p)
    {
        auto *self = static_cast<Impl *>(p);
        self->inputs += info && info->sink == self->sink ? 1 : 0;
        signal(self);
    }
    static void readable(pa_stream *s, size_t, void *p)
    {
        auto *self = static_cast<Impl *>(p);
        const void *data = nullptr;
        size_t bytes = 0;
        const size_t channels = self->format.channels;
        while (pa_stream_readable_size(s) > 0 && pa_stream_peek(s, &data, &bytes) == 0 && bytes > 0) {
            const auto *pcm = static_cast<const float *>(data);
            for (size_t i = 0; i + channels <= bytes / sizeof(float); i += channels) {
                float sum = 0; // a hole is silence
                for (size_t c = 0; pcm && c < channels; ++c)
                    sum += pcm[i + c];
                self->samples.push_back(sum / static_cast<float>(channels));
            }
            pa_stream_drop(s);
        }
        const double heldNs = static_cast<double>(self->samples.size()) * 1e9 / self->format.rate;
        self->reads.push_back({toNs(Clock::now()), heldNs});
    }
};

MonitorRecorder::MonitorRecorder() : d(std::make_unique<Impl>()) {}

MonitorRecorder::~MonitorRecorder()
{
    stop();
}

bool MonitorRecorder::start(const QString &server, const QString &source, QString *why)
{
    d->loop = pa_threaded_mainloop_new();
    d->context = pa_context_new(pa_threaded_mainloop_get_api(d->loop), "squibbo sound test recorder");
    pa_context_set_state_callback(d->context, &Impl::contextState, d.get());
    const QByteArray serverName = server.toLocal8Bit();
    if (pa_context_connect(d->context, serverName.constData(), PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        *why = QStringLiteral("cannot reach %1").arg(server);
        return false;
    }
    pa_threaded_mainloop_lock(d->loop);
    pa_threaded_mainloop_start(d->loop);
    pa_context_state_t cs;
    while ((cs = pa_context_get_state(d->context)) != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(cs))
        pa_threaded_mainloop_wait(d->loop);
    if (cs != PA_CONTEXT_READY) {
        pa_threaded_mainloop_unlock(d->loop);
        *why = QStringLiteral("recorder cannot connect: %1")
                   .arg(QString::fromLocal8Bit(pa_strerror(pa_context_errno(d->context))));
        return false;
    }
    // The source's own rate and channels: a resampler between the sink and
    // this stream would hold samples back, and the reads would bound them
    // later than the sink made them. Floats are the sink's own samples on
    // PipeWire and an exact widening on PulseAudio.
    const QByteArray sourceName = source.toLocal8Bit();
    pa_operation *query = pa_context_get_source_info_by_name(d->context, sourceName.constData(),
                                                             &Impl::sourceInfo, d.get());
    while (query && pa_operation_get_state(query) == PA_OPERATION_RUNNING)
        pa_threaded_mainloop_wait(d->loop);
    if (query)
        pa_operation_unref(query);
    d->format.format = PA_SAMPLE_FLOAT32NE;
    if (!pa_sample_spec_valid(&d->format)) {
        pa_threaded_mainloop_unlock(d->loop);
        *why = QStringLiteral("no source %1").arg(source);
        return false;
    }
    d->stream = pa_stream_new(d->context, "monitor", &d->format, nullptr);
    pa_stream_set_state_callback(d->stream, &Impl::streamState, d.get());
    pa_stream_set_read_callback(d->stream, &Impl::readable, d.get());
    pa_stream_set_overflow_callback(d->stream, &Impl::overflow, d.get());
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(10000, &d->format)); // 10 ms blocks
    pa_stream_connect_record(d->stream, sourceName.constData(), &attr, PA_STREAM_ADJUST_LATENCY);
    pa_stream_state_t ss;
    while ((ss = pa_stream_get_state(d->stream)) != PA_STREAM_READY && PA_STREAM_IS_GOOD(ss))
        pa_threaded_mainloop_wait(d->loop);
    pa_threaded_mainloop_unlock(d->loop);
    if (ss != PA_STREAM_READY) {
        *why = QStringLiteral("cannot record %1").arg(source);
        return false;
    }
    return true;
}

void MonitorRecorder::stop()
{
    if (!d->loop)
        return;
    pa_threaded_mainloop_lock(d->loop);
    if (d->stream) {
        pa_stream_disconnect(d->stream);
        pa_stream_unref(d->stream);
        d->stream = nullptr;
    }
    pa_context_disconnect(d->context);
    pa_context_unref(d->context);
    d->context = nullptr;
    pa_threaded_mainloop_unlock(d->loop);
    pa_threaded_mainloop_stop(d->loop);
    pa_threaded_mainloop_free(d->loop);
    d->loop = nullptr;
}

bool MonitorRecorder::waitUntilSettled(Clock::duration timeout)
{
    const auto end = Clock::now() + timeout;
    while (Clock::now() < end) {
        QThread::msleep(100);
        const double nowNs = toNs(Clock::now());
        pa_threaded_mainloop_lock(d->loop);
        const ReadIt first = firstReadAt(d->reads.cbegin(), d->reads.cend(), nowNs - 1e9);
        const ReadIt middle = firstReadAt(first, d->reads.cend(), nowNs - 0.5e9);
        bool steady = !d->reads.empty() && d->reads.front().now < nowNs - 1e9 && d->reads.cend() - first >= 50;
        for (auto r = first; steady && r + 1 != d->reads.cend(); ++r)
            steady = r[1].now - r->now < 50e6;
        steady = steady && middle != d->reads.cend()
                 && std::abs(lowestBound(first, middle, 1e9) - lowestBound(middle, d->reads.cend(), 1e9)) < 1e6;
        d->inputs = 0;
        pa_operation *query = pa_context_get_sink_input_info_list(d->context, &Impl::sinkInput, d.get());
        while (query && pa_operation_get_state(query) == PA_OPERATION_RUNNING)
            pa_threaded_mainloop_wait(d->loop);
        if (query)
            pa_operation_unref(query);
        steady = steady && d->inputs > 0;
        pa_threaded_mainloop_unlock(d->loop);
        if (steady)
            return true;
    }
    return false;
}

bool MonitorRecorder::waitUntilRecorded(Clock::time_point until, Clock::duration timeout)
{
    const auto end = Clock::now() + timeout;
    while (Clock::now() < end) {
        pa_threaded_mainloop_lock(d->loop);
        const ReadIt recent = firstReadAt(d->reads.cbegin(), d->reads.cend(), toNs(Clock::now()) - kPlacingSpanNs);
        const double heldUntil = recent == d->reads.cend()
                                     ? 0
                                     : lowestBound(recent, d->reads.cend(), kPlacingSpanNs) + d->reads.back().heldNs;
        pa_threaded_mainloop_unlock(d->loop);
        if (heldUntil >= toNs(until))
            return true;
        QThread::msleep(20);
    }
    return false;
}

MonitorRecorder::Result MonitorRecorder::result(Clock::time_point from, int rate) const
{
    Result r;
    r.wave.rate = rate;
    r.wave.samples = resample(d->samples, static_cast<int>(d->format.rate), rate);
    r.overflows = d->overflows;
    const double fromNs = toNs(from);
    for (const Read &read : d->reads) {
        if (read.now >= fromNs)
            r.reads.push_back(read);
    }
    return r;
}

double MonitorRecorder::Result::originFrom(ReadIt firstRead) const
{
    if (reads.empty())
        return 0;
    if (firstRead == reads.end()) // after the recording: its last reads
        firstRead = firstReadAt(reads.begin(), reads.end(), reads.back().now - kPlacingSpanNs);
    return lowestBound(firstRead, reads.end(), kPlacingSpanNs);
}

qsizetype MonitorRecorder::Result::indexAt(Clock::time_point t) const
{
    const double ns = toNs(t);
    const double origin = originFrom(firstReadAt(reads.begin(), reads.end(), ns));
    return static_cast<qsizetype>(std::floor((ns - origin) * wave.rate / 1e9));
}

double MonitorRecorder::Result::msFrom(Clock::time_point t, qsizetype index) const
{
    const double offset = static_cast<double>(index) * 1e9 / wave.rate;
    const auto holding = std::upper_bound(reads.begin(), reads.end(), offset,
                                          [](double at, const Read &r) { return at < r.heldNs; });
    return (originFrom(holding) + offset - toNs(t)) / 1e6;
}

namespace {
// The bound of each 100 ms of reads, and when those reads began.
struct Bound {
    double from, bound;
};
std::vector<Bound> boundsPer100ms(const std::vector<Read> &reads)
{
    std::vector<Bound> bounds;
    for (auto r = reads.begin(); r != reads.end();) {
        const ReadIt next = firstReadAt(r, reads.end(), r->now + 100e6);
        bounds.push_back({r->now, lowestBound(r, next, 100e6)});
        r = next;
    }
    return bounds;
}
} // namespace

double MonitorRecorder::Result::sinkStillMs(Span span) const
{
    const std::vector<Bound> bounds = boundsPer100ms(reads);
    double still = 0;
    for (size_t i = 1; i < bounds.size(); ++i) {
        if (bounds[i].from + 100e6 > span.from && bounds[i - 1].from < span.to)
            still += std::max(0.0, bounds[i].bound - bounds[i - 1].bound);
    }
    return still / 1e6;
}

std::vector<Span> MonitorRecorder::Result::stoodStill(double ms) const
{
    // The recorder reads a block every 10 ms from PulseAudio, every 21 ms
    // from PipeWire: beyond the usual pause between two reads.
    std::vector<double> pauses;
    for (size_t i = 1; i < reads.size(); ++i)
        pauses.push_back(reads[i].now - reads[i - 1].now);
    std::vector<double> usual = pauses;
    std::nth_element(usual.begin(), usual.begin() + usual.size() / 2, usual.end());
    std::vector<Span> spans;
    for (size_t i = 1; i < reads.size(); ++i) {
        if (pauses[i - 1] > usual[usual.size() / 2] + ms * 1e6)
            spans.push_back({reads[i - 1].now, reads[i].now});
    }
    const std::vector<Bound> bounds = boundsPer100ms(reads);
    for (size_t i = 1; i < bounds.size(); ++i) {
        const double jump = bounds[i].bound - bounds[i - 1].bound;
        if (jump > ms * 1e6 || -jump > kPlacingLimitNs)
            spans.push_back({bounds[i - 1].from, bounds[i].from + 100e6});
    }
    return spans;
}

// ---------------------------------------------------------------- a session

std::vector<Play> gamePattern(int throws, unsigned seed)
{
    using std::chrono::milliseconds;
    std::vector<Play> plays;
    uint32_t state = seed ? seed : 1;
    const auto next = [&state](int below) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<int>(state % static_cast<uint32_t>(below));
    };
    Clock::duration t = milliseconds(500);
    for (int i = 0; i < throws; ++i) {
        if (i > 0 && i % 14 == 0) {
            t += milliseconds(2500); // the player looks away
            if (i == 14) {
                plays.push_back({missingFile(), t});
                plays.push_back({brokenFile(), t + milliseconds(600)});
                t += milliseconds(1200);
            }
        }
        plays.push_back({QString::fromLatin1(rt::ThrowSound), t});
        if (next(2) == 0) {
            plays.push_back({QString::fromLatin1(rt::SplatSound), t + milliseconds(120)});
            t += milliseconds(120 + 500 + next(200)); // the splat plays whole
        } else {
            t += milliseconds(300 + next(400)); // the next throw may cut this one
        }
    }
    return plays;
}

std::vector<Call> perform(const std::vector<Play> &plays, const std::function<void(const QString &)> &play)
{
    std::vector<Call> calls;
    const auto start = Clock::now();
    for (const Play &p : plays) {
        std::this_thread::sleep_until(start + p.at);
        Call call{start + p.at, Clock::now()};
        play(p.name);
        call.took = Clock::now() - call.at;
        calls.push_back(call);
    }
    return calls;
}

namespace {
double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

float peak(const std::vector<float> &recording, qsizetype from, qsizetype to)
{
    float p = 0;
    for (qsizetype i = std::max<qsizetype>(from, 0); i < std::min<qsizetype>(to, recording.size()); ++i)
        p = std::max(p, std::abs(recording[i]));
    return p;
}
} // namespace

std::vector<Heard> analyse(const MonitorRecorder::Result &recording, const std::vector<Play> &plays,
                           const std::vector<Call> &calls, const std::map<QString, Wave> &waves,
                           double stillMs)
{
    const auto &rec = recording.wave.samples;
    const auto samples = [&](double ms) { return static_cast<qsizetype>(ms * recording.wave.rate / 1000); };
    const auto indexOf = [&](size_t i) { return recording.indexAt(calls[i].at); };
    const qsizetype head = samples(60); // the throw is cut 120 ms in; its first 60 ms always sound
    constexpr double kHeard = 0.8;

    std::vector<Heard> out(plays.size());
    std::vector<qsizetype> onset(plays.size(), -1);
    for (size_t i = 0; i < plays.size(); ++i) {
        out[i].name = plays[i].name;
        const qsizetype due = indexOf(i);
        const auto wave = waves.find(plays[i].name);
        if (wave == waves.end()) {
            // Nothing may sound until the next call (the one before has ended).
            out[i].expected = false;
            const qsizetype end = i + 1 < plays.size() ? indexOf(i + 1) : due + samples(500);
            out[i].heard = peak(rec, due, end) > 1e-3f;
            continue;
        }
        // A sound still ringing under this one lowers the fit of its
        // beginning; whether it stopped in time is judged below.
        const std::vector<float> &file = wave->second.samples;
        const qsizetype from = due - samples(20), to = due + samples(200);
        Match m = findWave(rec, file, from, to, head);
        if (m.score < kHeard) {
            // Now and then the server leaves out one of its cycles (5 ms of
            // silence in the sink's output, and what follows a cycle late).
            // Where that falls into the head, either half of the head still
            // places the sound; the dropout counts against it as a break below.
            const qsizetype half = head / 2;
            m = findWave(rec, file, from, to, half);
            if (m.score < kHeard) {
                const std::vector<float> rest(file.begin() + half, file.end());
                m = findWave(rec, rest, from + half, to + half, half);
                m.at -= half;
            }
        }
        out[i].heard = m.score >= kHeard && m.gain > 0.5 && m.gain < 2;
        if (out[i].heard) {
            onset[i] = m.at;
            out[i].delayMs = recording.msFrom(calls[i].at, m.at);
        }
    }

    std::vector<Span> still = recording.stoodStill(stillMs);
    for (const Call &call : calls) {
        if (ms(call.at - call.due) > stillMs)
            still.push_back({toNs(call.due), toNs(call.at)});
    }
    for (size_t i = 0; i < plays.size(); ++i) {
        Heard &h = out[i];
        const auto wave = waves.find(plays[i].name);
        const double lengthMs = wave == waves.end() ? 0 : 1000.0 * wave->second.samples.size() / wave->second.rate;
        if (onset[i] >= 0) {
            // The whole sound, from 20 ms in (by then the sound it cut must
            // be silent) up to the next call, which may stop it at once, a
            // little before the next sound is heard.
            qsizetype span = static_cast<qsizetype>(wave->second.samples.size());
            for (size_t j = i + 1; j < plays.size(); ++j) {
                if (!waves.count(plays[j].name))
                    continue;
                const qsizetype nextCall = indexOf(j) - samples(10); // less the clock's error
                span = std::min(span, (onset[j] >= 0 ? std::min(onset[j], nextCall) : nextCall) - onset[i]);
                break;
            }
            h.wholeScore = fitAt(rec, wave->second.samples, onset[i] + samples(20), samples(20),
                                 span - samples(20)).score;
        }
        // Late by no more than the sink's clock stood still meanwhile.
        const double sinkStill = h.delayMs > kLimitMs
                                     ? recording.sinkStillMs({toNs(calls[i].at), toNs(calls[i].at) + h.delayMs * 1e6})
                                     : 0;
        if (!h.expected && h.heard)
            h.fault = QStringLiteral("sounded");
        else if (h.expected && !h.heard)
            h.fault = QStringLiteral("not heard within 200 ms");
        else if (h.expected && h.delayMs > kLimitMs)
            h.fault = QStringLiteral("%1 ms late").arg(h.delayMs, 0, 'f', 1);
        else if (h.expected && h.delayMs < -2) // the recording's clock, not the game, was off
            h.fault = QStringLiteral("placed %1 ms before its call").arg(-h.delayMs, 0, 'f', 1);
        else if (h.expected && h.wholeScore < kWhole)
            h.fault = QStringLiteral("broken up (rest fits %1)").arg(h.wholeScore, 0, 'f', 3);
        if (ms(calls[i].took) > kLongestCallMs)
            h.fault += QStringLiteral(" the call took %1 ms").arg(ms(calls[i].took), 0, 'f', 1);
        // Until the sound has ended, or the next call has cut it.
        const double from = toNs(calls[i].at) - kLimitMs * 1e6;
        double to = toNs(calls[i].at) + (lengthMs + kLimitMs + ms(calls[i].took)) * 1e6;
        if (i + 1 < calls.size())
            to = std::min(to, toNs(calls[i + 1].at) + kLimitMs * 1e6);
        h.excused = h.delayMs < -2 || (h.delayMs > kLimitMs && h.delayMs - sinkStill <= kLimitMs)
                    || std::any_of(still.begin(), still.end(), [&](const Span &s) { return s.from < to && s.to > from; });
    }
    return out;
}

Verdict judge(const std::vector<Heard> &heard, const MonitorRecorder::Result &recording)
{
    int expected = 0, onTime = 0, whole = 0, broken = 0, brokenExcused = 0;
    std::vector<double> delays;
    QStringList faults, excused;
    for (size_t i = 0; i < heard.size(); ++i) {
        const Heard &h = heard[i];
        if (h.expected && h.heard) {
            delays.push_back(h.delayMs);
            onTime += h.delayMs >= -2 && h.delayMs <= kLimitMs ? 1 : 0;
            whole += h.wholeScore >= kWhole ? 1 : 0;
        }
        expected += h.expected ? 1 : 0;
        if (h.fault.isEmpty())
            continue;
        const bool breakOnly = h.fault.startsWith(QLatin1String("broken up"));
        (h.excused ? brokenExcused : broken) += breakOnly ? 1 : 0;
        (h.excused ? excused : faults) << QStringLiteral("play %1 (%2) %3").arg(i).arg(h.name, h.fault.trimmed());
    }
    std::sort(delays.begin(), delays.end());
    Verdict v;
    v.figures = QStringLiteral("heard %1 of %2 sounds, %3 within %4 ms, %5 whole; median delay %6 ms, worst %7 ms")
                    .arg(delays.size())
                    .arg(expected)
                    .arg(onTime)
                    .arg(kLimitMs)
                    .arg(whole)
                    .arg(delays.empty() ? 0 : delays[delays.size() / 2], 0, 'f', 1)
                    .arg(delays.empty() ? 0 : delays.back(), 0, 'f', 1);
    // A late, lost or stray sound fails; so do breaks beyond the one in
    // twenty that a moment's dropout on a busy machine may cause.
    const bool fails = faults.size() > broken || broken * 20 > expected;
    const auto list = [](const QStringList &l) { return l.join(QStringLiteral("; ")); };
    // A recording that lost blocks shows sounds out of place that the game
    // played in time.
    if (recording.overflows > 0) {
        v = {Verdict::NotProven, QStringLiteral("the recorder fell behind and lost some of the sink's sound"), v.figures};
    } else if (fails) {
        v = {Verdict::Failed, list(faults), v.figures};
    } else if (excused.size() > brokenExcused || (broken + brokenExcused) * 20 > expected) {
        v = {Verdict::NotProven, QStringLiteral("the machine or the sound server stood still around ") + list(excused),
             v.figures};
    } else if (!faults.isEmpty() || !excused.isEmpty()) {
        v.why = QStringLiteral("within one in twenty broken up: ") + list(faults + excused);
    }
    return v;
}

} // namespace audiorig
