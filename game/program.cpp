#include "program.h"

#include "accessibility.h"
#include "appicon.h"
#include "controls.h"
#include "fileops.h"
#include "fixedwindows.h"
#include "fonts.h"
#include "form1.h"
#include "form2.h"
#include "frmabout.h"
#include "gameover.h"
#include "registry.h"
#include "release.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include <functional>
#include <utility>

#ifdef Q_OS_WIN
#include "gamefolder.h"
#endif

using namespace Qt::Literals::StringLiterals;

namespace {

#ifdef Q_OS_WIN
// On Windows the program keeps the player's own folder itself, as the
// launcher does elsewhere: %APPDATA%\Squibbo, filled from the files
// delivered beside the program. Should that fail, the game plays from its
// own folder, and `problem` says why.
QString playersFolder(QString &problem)
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString appData = qEnvironmentVariable("APPDATA");
    problem = u"The folder for your own files (APPDATA) is not known."_s;
    if (!appData.isEmpty()) {
        const QString folder = QDir(appData).filePath(u"Squibbo"_s);
        problem = rt::prepareGameFolder(programFolder, folder);
        if (problem.isEmpty())
            return folder;
    }
    problem += u"\n\nThe game plays from the folder it is installed in, "_s
        + QDir::toNativeSeparators(programFolder) + QLatin1Char('.');
    return programFolder;
}
#endif

// Runs `then` in `context` once `window` has drawn its first frame.
void afterFirstFrame(QWidget *window, QObject *context, std::function<void()> then)
{
    class Watcher final : public QObject {
    public:
        Watcher(QWidget *window, QObject *context, std::function<void()> then)
            : QObject(window), m_context(context), m_then(std::move(then))
        {
            window->installEventFilter(this);
        }

    protected:
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint && m_then) {
                // Once this frame is drawn and handed over.
                QMetaObject::invokeMethod(m_context, std::exchange(m_then, nullptr), Qt::QueuedConnection);
                deleteLater();
            }
            return false;
        }

    private:
        QObject *m_context;
        std::function<void()> m_then;
    };
    new Watcher(window, context, std::move(then));
}

} // namespace

Program::Program(rt::Services services, QObject *parent)
    : QObject(parent), m_services(std::move(services)),
      m_files(scores::makeSystemFileOps(m_services.folder.toStdString())),
      m_registry(sysinfo::makePlatformRegistry())
{
}

Program::~Program() = default;

Form1 &Program::form1()
{
    if (!m_form1) {
        m_form1 = std::make_unique<Form1>(m_services, this);
        m_form1->openAbout = [this] { about().Show(); };
        m_form1->openHighScores = [this] { form2().Open(m_form1->window()); };
        m_form1->gameOverStep = [this] {
            scores::GameOverHighScoreStep(m_services, form2(), m_form1->Score, *m_files,
                                          m_form1->window());
        };
    }
    return *m_form1;
}

Form2 &Program::form2()
{
    if (!m_form2)
        m_form2 = std::make_unique<Form2>(m_services, *m_files, this);
    return *m_form2;
}

frmAbout &Program::about()
{
    if (!m_about)
        m_about = std::make_unique<frmAbout>(m_services, *m_registry, this);
    return *m_about;
}

void Program::start()
{
    Form1 &main = form1();
    main.Show();
    if (main.window())
        afterFirstFrame(main.window(), this, [this] { m_services.sound->prepare(); });
}

int Program::run(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(rt::appTitle());
    QApplication::setApplicationVersion(QString::fromLatin1(rt::AppVersion));
    assets::readAppIconAhead();
    QGuiApplication::setDesktopFileName(u"org.example.squibbo"_s);
    // The windows ask for MS Sans Serif; where it is missing, Liberation
    // Sans stands in.
    rt::registerFontSubstitutes();
    // Screen readers meet the windows as they are described to them.
    rt::installAccessibility();
    // The game tick runs on this thread, every 7 ms.
    rt::tightenTimerSlack();
    // No window of the game can be resized, nor maximized.
    rt::keepFixedWindowsAtTheirSize();

    QString problem;
#ifdef Q_OS_WIN
    const QString folder = playersFolder(problem);
    // sndPlaySoundA may need to find the sounds by their bare names.
    QDir::setCurrent(folder);
#else
    // The launcher starts the game in the player's game folder.
    const QString folder = QDir::currentPath();
#endif
    Program program(rt::Services::platform(folder));
    if (!problem.isEmpty())
        program.m_services.messageBox->show(nullptr, problem);
    program.start();
    // Every other window takes the main window's icon.
    QApplication::setWindowIcon(assets::appIcon());
    return QApplication::exec();
}
