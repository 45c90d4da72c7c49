#pragma once
// Test doubles for the platform services. Tests put them into a Services
// set, keep a plain pointer to each to script answers and read records,
// and call the game's handlers directly.

#include "services.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <set>

namespace rt::testing {

// Remembers every sound asked for, in order, and how often it was told to
// get ready.
class RecordingSound final : public SoundService {
public:
    void play(const QString &name) override { played.append(name); }
    void prepare() override { ++prepared; }
    QStringList played;
    int prepared = 0;
};

// Records each message and, if set, runs `onShow` while the "dialog" is
// open (a test can let the event loop run there, as a modal dialog would).
class RecordingMessageBox final : public MessageBoxService {
public:
    struct Shown {
        QString text;
        QString title;
        QWidget *owner;
    };
    void show(QWidget *owner, const QString &text, const QString &title) override
    {
        shown.push_back({text, title.isEmpty() ? appTitle() : title, owner});
        if (onShow)
            onShow();
    }
    std::vector<Shown> shown;
    std::function<void()> onShow;
};

// Answers each prompt with the next scripted text (empty when the script
// has run out, as a cancelled prompt would).
class ScriptedInputBox final : public InputBoxService {
public:
    struct Asked {
        QString prompt;
        QString title;
        int maxLength;
        QWidget *owner;
    };
    QString ask(QWidget *owner, const QString &prompt, const QString &title, int maxLength,
                int maxUtf8Bytes) override
    {
        asked.push_back({prompt, title, maxLength, owner});
        if (onAsk)
            onAsk();
        if (answers.empty())
            return {};
        QString answer = answers.front();
        answers.pop_front();
        return leftCharacters(answer, maxLength, maxUtf8Bytes);
    }
    std::deque<QString> answers;
    std::vector<Asked> asked;
    std::function<void()> onAsk;
};

// Hands out scripted numbers, then `fallback` once the script is used up.
class ScriptedRandom final : public RandomService {
public:
    void randomize(double seed) override { seeds.push_back(seed); }
    float next() override
    {
        ++draws;
        if (script.empty())
            return fallback;
        const float u = script.front();
        script.pop_front();
        return u;
    }
    std::deque<float> script;
    float fallback = 0.0f;
    int draws = 0;
    std::vector<double> seeds;
};

// Notes `path` in `asked` and tells whether it is one of `known`.
inline bool noteAndLookUp(QStringList &asked, const std::set<QString> &known, const QString &path)
{
    asked.append(path);
    return known.count(path) > 0;
}

// Knows a fixed set of paths as normal files.
class FakeFileTest final : public FileTestService {
public:
    bool isNormalFile(const QString &path) override { return noteAndLookUp(asked, files, path); }
    std::set<QString> files;
    QStringList asked;
};

// Records each start; starts succeed only for the paths in `startable`.
class RecordingProgramStart final : public ProgramStartService {
public:
    bool start(const QString &path) override { return noteAndLookUp(started, startable, path); }
    std::set<QString> startable;
    QStringList started;
};

// A whole set of doubles with plain pointers to each.
struct Doubles {
    RecordingSound *sound = new RecordingSound;
    RecordingMessageBox *messageBox = new RecordingMessageBox;
    ScriptedInputBox *inputBox = new ScriptedInputBox;
    ScriptedRandom *random = new ScriptedRandom;
    FakeFileTest *fileTest = new FakeFileTest;
    RecordingProgramStart *programStart = new RecordingProgramStart;

    // Hands ownership of the doubles to a Services set playing in the game
    // folder `folder`; call once.
    Services services(const QString &folder)
    {
        Services s;
        s.folder = folder;
        s.sound.reset(sound);
        s.messageBox.reset(messageBox);
        s.inputBox.reset(inputBox);
        s.random.reset(random);
        s.fileTest.reset(fileTest);
        s.programStart.reset(programStart);
        return s;
    }
};

} // namespace rt::testing
