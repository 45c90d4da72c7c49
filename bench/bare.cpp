// The least a Qt 6 program does to show what the game's main window shows:
// a window of its size, two pictures of Wendo's and the pie's sizes moved on
// a 7 ms timer, and an SDL2 audio device. bench/frames.py times its start
// and weighs its memory beside the game's.
//
// Usage: squibbo_bare [--audio-after] [--text]
// The audio device opens before the window is made; with --audio-after,
// once the window has drawn its first frame. With --text the window also
// shows the main window's captions, in the same face and sizes, three of
// them on buttons: what text alone costs.

#include <QApplication>
#include <QLabel>
#include <QPushButton>
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

struct Caption {
    const char *text;
    QRect at;
    double points;
    bool button;
};

// clang-format off
const Caption Captions[] = {
    {"Throw It!", {40, 360, 89, 49}, 12, true}, {"About", {312, 360, 105, 25}, 9.75, true},
    {"High Scores", {312, 392, 105, 25}, 9.75, true},
    {"Score:", {16, 208, 49, 25}, 12, false}, {" 0", {78, 200, 89, 33}, 18, false},
    {"Hits:", {16, 240, 33, 25}, 12, false}, {" 0", {80, 240, 57, 25}, 13.5, false},
    {"Misses:", {16, 264, 57, 25}, 12, false}, {" 0", {80, 264, 57, 33}, 13.5, false},
    {"Speed:", {16, 296, 57, 25}, 8.25, false}, {" 0", {84, 296, 49, 25}, 8.25, false},
    {"Squibbo!", {296, 168, 137, 25}, 13.5, false},
    {"-  Click \"Throw it\" to throw", {294, 216, 129, 15}, 8.25, false},
    {"  a pie.  Aim towards Wendo's", {296, 228, 129, 21}, 8.25, false},
    {"     chin for maximum impact", {288, 240, 137, 25}, 8.25, false},
    {"     and points.", {288, 251, 137, 30}, 8.25, false},
    {"  -  When you miss 10 times,", {288, 272, 145, 17}, 8.25, false},
    {"     your game is over.", {288, 284, 145, 21}, 8.25, false},
    {"  -  Watch out when you get to", {288, 304, 145, 17}, 8.25, false},
    {"     20 hits -- Wendo will begin to", {288, 318, 145, 19}, 8.25, false},
    {"     move like a crazy monkey.", {288, 330, 145, 31}, 8.25, false},
};
// clang-format on

void addCaptions(QWidget *window)
{
    for (const Caption &c : Captions) {
        QWidget *w = c.button ? static_cast<QWidget *>(new QPushButton(QString::fromUtf8(c.text), window))
                              : new QLabel(QString::fromUtf8(c.text), window);
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPointSizeF(c.points);
        w->setFont(font);
        w->setGeometry(c.at);
    }
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
    bool audioAfter = false;
    bool text = false;
    for (int i = 1; i < argc; ++i) {
        audioAfter = audioAfter || std::strcmp(argv[i], "--audio-after") == 0;
        text = text || std::strcmp(argv[i], "--text") == 0;
    }
    if (!audioAfter)
        openAudio();
    QApplication app(argc, argv);
    Window window;
    window.setWindowTitle(QStringLiteral("Bare"));
    window.setFixedSize(445, 435);
    QLabel *target = picture(&window, QSize(105, 129), Qt::darkYellow, QPoint(184, 16));
    QLabel *pie = picture(&window, QSize(88, 41), Qt::white, QPoint(184, 376));
    if (text)
        addCaptions(&window);
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
