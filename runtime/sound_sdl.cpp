// Sound on Linux and other non-Windows platforms: SDL's audio over the
// PulseAudio protocol, which PulseAudio and PipeWire (pipewire-pulse) both
// serve.
//
// The game plays one sound at a time, as the Windows build does: a new
// sound stops the one still playing, so the splat cuts the throw short.
// One output stream with one voice does just that. SDL's audio thread
// copies the current sound into the stream, then silence; play() swaps the
// sound under the device's lock, so the cut falls between two samples and
// the new sound follows in the next block, behind what the stream holds.
//
// Why this way: on PulseAudio 16 and PipeWire 0.3.65, one QSoundEffect per
// file, reused, falls silent after five plays; a fresh QSoundEffect for
// each play is heard but the sound it stops rings on under the new one;
// QAudioSink in Qt 6.4 came 0.25 to 2 s late. The test in tests/audio
// listens to the sink and holds this way to every sound on time.
//
// The stream opens as soon as the game's window is on the screen (prepare)
// and stays open, carrying silence between sounds, to the end of the game:
// closing it after a quiet spell and opening it again lost a sound now and
// then (2 of 88 plays in one measured run), and opening it at the first
// throw made that throw up to 76 ms late. Opened any earlier, the sound
// server's answer would hold up the window.
//
// Without a sound server nothing plays, one line on standard error says
// so, and the game goes on. Every few seconds a play tries the server
// again, so sound comes back when a server starts.

#include "platform_backends.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>

namespace rt {
namespace {

// The game's sounds are 16-bit mono at 22.05 kHz; others are converted on
// loading, the server converts for the sound card.
constexpr int kRate = 22050;
constexpr SDL_AudioFormat kFormat = AUDIO_S16SYS;
constexpr Uint8 kChannels = 1;
// SDL's block: 256 frames are 11.6 ms, and SDL asks the server to keep
// just one of them ahead of the sink. With a build beside the game on a
// two-core machine so short a lead ran dry for one sound in ten; kept
// 25 ms ahead, 19 in 20 played whole, and a sound starts some 6 ms later
// (about 27 ms after its call on PulseAudio, 31 ms on PipeWire). 35 ms
// ahead kept a few more whole, but sounds started 33 ms after their call.
constexpr Uint16 kBlockFrames = 256;
constexpr int kAheadMs = 25;
constexpr int kRetryServerMs = 5000;

// A wave file in the stream's format, or nothing for a file that is
// missing, is no wave or cannot be converted.
std::optional<QByteArray> loadWave(const QString &path)
{
    // Only a regular file: a FIFO or a device would block the game.
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    SDL_AudioSpec format{};
    Uint8 *data = nullptr;
    Uint32 length = 0;
    if (!SDL_LoadWAV(QFile::encodeName(path).constData(), &format, &data, &length))
        return std::nullopt;
    SDL_AudioCVT cvt{};
    const int needed = SDL_BuildAudioCVT(&cvt, format.format, format.channels, format.freq, kFormat,
                                         kChannels, kRate);
    if (needed < 0) {
        SDL_FreeWAV(data);
        return std::nullopt;
    }
    QByteArray pcm(static_cast<qsizetype>(length) * std::max(1, cvt.len_mult), Qt::Uninitialized);
    std::memcpy(pcm.data(), data, length);
    SDL_FreeWAV(data);
    if (needed == 1) {
        cvt.buf = reinterpret_cast<Uint8 *>(pcm.data());
        cvt.len = static_cast<int>(length);
        if (SDL_ConvertAudio(&cvt) != 0)
            return std::nullopt;
        pcm.truncate(cvt.len_cvt);
    } else {
        pcm.truncate(length);
    }
    pcm.truncate(pcm.size() - pcm.size() % 2); // whole samples only
    return pcm;
}

class SdlSound final : public SoundService {
public:
    explicit SdlSound(const QString &folder) : m_folder(folder)
    {
        // Only SDL's audio: no signal handlers, and the PulseAudio protocol
        // alone, so that a machine without a server stays quiet instead of
        // trying ALSA devices that print their own errors.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHint(SDL_HINT_AUDIODRIVER, "pulseaudio");
        SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Squibbo");
        SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "Game sounds");
    }

    ~SdlSound() override
    {
        close();
        if (m_audioUp)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    void play(const QString &relativeName) override
    {
        const QByteArray *sound = load(m_folder.absoluteFilePath(relativeName));
        if (!sound || !open())
            return;
        SDL_LockAudioDevice(m_device);
        m_current = sound;
        m_position = 0;
        SDL_UnlockAudioDevice(m_device);
        SDL_PauseAudioDevice(m_device, 0);
    }

    void prepare() override { open(); }

private:
    // SDL's audio thread: the rest of the current sound, then silence.
    static void fill(void *userdata, Uint8 *stream, int length)
    {
        auto *self = static_cast<SdlSound *>(userdata);
        qsizetype copied = 0;
        if (self->m_current) {
            copied = std::min<qsizetype>(length, self->m_current->size() - self->m_position);
            std::memcpy(stream, self->m_current->constData() + self->m_position, copied);
            self->m_position += copied;
            if (self->m_position >= self->m_current->size())
                self->m_current = nullptr;
        }
        std::memset(stream + copied, 0, static_cast<size_t>(length - copied));
    }

    // Decoded once and kept; a file that fails is tried again next time.
    const QByteArray *load(const QString &path)
    {
        if (auto known = m_sounds.find(path); known != m_sounds.end())
            return &known->second;
        std::optional<QByteArray> pcm = loadWave(path);
        if (!pcm || pcm->isEmpty())
            return nullptr;
        return &m_sounds.emplace(path, std::move(*pcm)).first->second;
    }

    bool startAudio()
    {
        m_audioUp = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (!m_audioUp)
            failed();
        return m_audioUp;
    }

    bool open()
    {
        // A stream whose server went away is closed and opened anew.
        if (m_device && SDL_GetAudioDeviceStatus(m_device) == SDL_AUDIO_STOPPED)
            close();
        if (m_device)
            return true;
        if (m_lastFailure.isValid() && m_lastFailure.elapsed() < kRetryServerMs)
            return false;
        if (!m_audioUp && !startAudio())
            return false;
        SDL_AudioSpec wanted{};
        wanted.freq = kRate;
        wanted.format = kFormat;
        wanted.channels = kChannels;
        wanted.samples = kBlockFrames;
        wanted.callback = &SdlSound::fill;
        wanted.userdata = this;
        // SDL converts from this format to whatever the server asks for.
        // libpulse reads how far ahead to keep the stream from
        // PULSE_LATENCY_MSEC, set only while SDL opens it; a player's own
        // setting stays as it is.
        const bool ownLead = !qEnvironmentVariableIsSet("PULSE_LATENCY_MSEC");
        if (ownLead)
            qputenv("PULSE_LATENCY_MSEC", QByteArray::number(kAheadMs));
        m_device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
        if (ownLead)
            qunsetenv("PULSE_LATENCY_MSEC");
        if (m_device == 0) {
            // The server may have gone: start the audio afresh next time.
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            m_audioUp = false;
            failed();
            return false;
        }
        m_lastFailure.invalidate();
        return true;
    }

    void close()
    {
        if (m_device)
            SDL_CloseAudioDevice(m_device); // waits for the audio thread
        m_device = 0;
        m_current = nullptr;
        m_position = 0;
    }

    void failed()
    {
        m_lastFailure.start();
        if (m_told)
            return;
        m_told = true;
        QByteArray reason(SDL_GetError());
        reason.replace('\n', ' ');
        std::fprintf(stderr, "Squibbo: no sound server, playing without sound (%s)\n", reason.constData());
    }

    const QDir m_folder;
    std::map<QString, QByteArray> m_sounds; // by absolute path, in the stream's format
    bool m_audioUp = false;
    SDL_AudioDeviceID m_device = 0;
    // Shared with the audio thread, under the device's lock.
    const QByteArray *m_current = nullptr;
    qsizetype m_position = 0;

    QElapsedTimer m_lastFailure;
    bool m_told = false;
};

} // namespace

std::unique_ptr<SoundService> makePlatformSound(const QString &folder)
{
    return std::make_unique<SdlSound>(folder);
}

} // namespace rt
