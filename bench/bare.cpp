// The least a Qt 6 program does to show what the game's main window shows:
// a window of its size, two pictures of Wendo's and the pie's sizes moved on
// a 7 ms timer, and an SDL2 audio device. bench/frames.py times its start
// and weighs its memory beside the game's.
//
// Usage: squibbo_bare [--audio-after]
// The audio device opens before the window is made; with --audio-after,
// once the window has drawn its first frame.

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <SDL.h>

#include <cstring>
#include <functional>
#include <utility>

namespace {

void silence(void *, Uint8 *stream, int length)
{
    std::memset(stream, 0, static_cast<size_t>(length));
}

void openAudio()
{
    SDL_SetHint(SDL_HINT_AUDIODRIVER, "pulseaudio");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return;
    SDL_AudioSpec wanted{};
    wanted.freq = 22050;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 1;
    wanted.samples = 256;
    wanted.callback = silence;
    if (const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0))
        SDL_PauseAudioDevice(device, 0);
}

QLabel *picture(QWidget *parent, QSize size, QColor colour, QPoint at)
{
    QPixmap pixmap(size);
    pixmap.fill(QColor(190, 190, 190));
    QPainter painter(&pixmap);
    painter.setBrush(colour);
    painter.drawEllipse(pixmap.rect().adjusted(4, 4, -4, -4));
    painter.end();
    auto *label = new QLabel(parent);
    label->setPixmap(pixmap);
    label->setGeometry(QRect(at, size));
    return label;
}

// Runs `then` once, after the window's first paint.
class Window : public QWidget {
public:
    std::function<void()> then;

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (then)
            QTimer::singleShot(0, this, std::exchange(then, nullptr));
    }
};

} // namespace

int main(int argc, char **argv)
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    const bool audioAfter = argc > 1 && std::strcmp(argv[1], "--audio-after") == 0;
    if (!audioAfter)
        openAudio();
    QApplication app(argc, argv);
    Window window;
    window.setWindowTitle(QStringLiteral("Bare"));
    window.setFixedSize(445, 435);
    QLabel *target = picture(&window, QSize(105, 129), Qt::darkYellow, QPoint(184, 16));
    QLabel *pie = picture(&window, QSize(88, 41), Qt::white, QPoint(184, 376));
    if (audioAfter)
        window.then = openAudio;

    // Sideways and up, as Wendo and a thrown pie go.
    int step = 7;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (target->x() + step < 0 || target->x() + step > 340)
            step = -step;
        target->move(target->x() + step, target->y());
        pie->move(pie->x(), pie->y() < 0 ? 376 : pie->y() - 17);
    });
    tick.start(7);
    window.show();
    return QApplication::exec();
}
