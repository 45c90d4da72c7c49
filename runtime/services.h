#pragma once
// The platform services that the game calls: sound, dialogs, random
// numbers, the file test and starting another program, and the game folder
// they work in. Each sits behind a small interface so that tests can swap
// in doubles of their own.

#include <QString>
#include <memory>

class QWidget;

namespace rt {

class SoundService {
public:
    virtual ~SoundService() = default;
    // Plays a wave file of the game folder in the background. A missing or
    // unplayable file plays nothing.
    virtual void play(const QString &relativeName) = 0;
    // Gets ready to play at once: the program calls it as soon as its main
    // window is on the screen, which a sound server's answer need not hold
    // up. A sound asked for earlier still plays, perhaps a little late.
    virtual void prepare() {}
};

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    // Shows `text` with an OK button only over `owner`, the window it speaks
    // for (none before the game has a window), and waits for the user. An
    // empty title means the application's title.
    virtual void show(QWidget *owner, const QString &text, const QString &title = {}) = 0;
};

class InputBoxService {
public:
    virtual ~InputBoxService() = default;
    // Asks for one line of text over `owner`, with an empty field that takes
    // at most maxLength characters in at most maxUtf8Bytes bytes (see
    // leftCharacters). Returns what was typed, or an empty text on Cancel.
    virtual QString ask(QWidget *owner, const QString &prompt, const QString &title,
                        int maxLength, int maxUtf8Bytes) = 0;
};

// The first `count` characters of `text` that take no more than
// maxUtf8Bytes bytes in UTF-8, without its control characters (line
// breaks, tabs and the like), without the controls that set the direction
// of the text around them (see withoutDirectionControls) and without a lone
// half of a UTF-16 pair. Characters count as the player sees them: a letter
// with its accents is one, however it is encoded, and so is an emoji; none
// is ever cut. The one rule by which the game takes a name, typed or
// pasted, and stores it.
QString leftCharacters(const QString &text, int count, int maxUtf8Bytes);

// `text` without the invisible controls that set the direction of the
// text after them (embeddings, overrides and isolates: U+202A to U+202E,
// U+2066 to U+2069), so that a name shown or read among other words keeps
// its direction to itself.
QString withoutDirectionControls(QString text);

class RandomService {
public:
    virtual ~RandomService() = default;
    // Seeds the generator; the game passes the seconds since midnight.
    virtual void randomize(double seed) = 0;
    // The next number, uniform in [0, 1).
    virtual float next() = 0;
};

class FileTestService {
public:
    virtual ~FileTestService() = default;
    // True when `path` names an ordinary file: not a folder, not hidden.
    virtual bool isNormalFile(const QString &path) = 0;
};

class ProgramStartService {
public:
    virtual ~ProgramStartService() = default;
    // Starts the program file at `path` in a normal, focused window without
    // waiting for it. Returns false when it cannot be started.
    virtual bool start(const QString &path) = 0;
};

// The set of services one run of the game uses. Owns them.
struct Services {
    // The game folder: the game reads its pictures and sounds from it and
    // keeps its high scores in it. An absolute path.
    QString folder;
    std::unique_ptr<SoundService> sound;
    std::unique_ptr<MessageBoxService> messageBox;
    std::unique_ptr<InputBoxService> inputBox;
    std::unique_ptr<RandomService> random;
    std::unique_ptr<FileTestService> fileTest;
    std::unique_ptr<ProgramStartService> programStart;

    // The real services of the platform the game runs on, playing in the
    // game folder `folder`.
    static Services platform(const QString &folder);
};

// The real dialogs on their own, as Services::platform() makes them. Both
// show every text as plain text: what they show may come from a file or
// from the player, and must never be taken for markup.
std::unique_ptr<MessageBoxService> makeDialogMessageBox();
std::unique_ptr<InputBoxService> makeDialogInputBox();

// The application's title, shown in the title bar of every message box
// that has no title of its own.
inline const QString &appTitle()
{
    static const QString title = QStringLiteral("Squibbo");
    return title;
}

} // namespace rt
