#include "program.h"

#include "form1.h"
#include "form2.h"
#include "frmabout.h"
#include "gameover.h"
#include "registry.h"

#include <QApplication>
#include <QIcon>

#ifdef Q_OS_WIN
#include "gamefolder.h"

#include <QDir>

namespace {

// On Windows the program keeps the player's own folder itself, as the
// launcher does elsewhere: %APPDATA%\Squibbo, filled from the files
// delivered beside the program, becomes the working folder. Should that
// fail, the player is told, and the game plays from its own folder.
void enterPlayersFolder(rt::Services &services)
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString appData = qEnvironmentVariable("APPDATA");
    QString problem = QStringLiteral("The folder for your own files (APPDATA) is not known.");
    if (!appData.isEmpty()) {
        const QString folder = QDir(appData).filePath(QStringLiteral("Squibbo"));
        problem = rt::prepareGameFolder(programFolder, folder);
        if (problem.isEmpty() && QDir::setCurrent(folder))
            return;
    }
    QDir::setCurrent(programFolder);
    services.messageBox->show(problem
                              + QStringLiteral("\n\nThe game plays from the folder it is installed in, ")
                              + QDir::toNativeSeparators(programFolder) + QLatin1Char('.'));
}

} // namespace
#endif

Program::Program(rt::Services services, QObject *parent)
    : QObject(parent), m_services(std::move(services))
{
}

Program::~Program()
{
    // The windows go before the services and the registry they use.
    delete m_about;
    delete m_form2;
    delete m_form1;
}

Form1 &Program::form1()
{
    if (!m_form1) {
        m_form1 = new Form1(m_services, this);
        m_form1->openAbout = [this] { about().Show(); };
        m_form1->openHighScores = [this] {
            Form2 &scores = form2();
            scores.Load();
            scores.Show();
        };
        m_form1->gameOverStep = [this] {
            scores::GameOverHighScoreStep(m_services, form2(), m_form1->Score);
        };
    }
    return *m_form1;
}

Form2 &Program::form2()
{
    if (!m_form2)
        m_form2 = new Form2(m_services, this);
    return *m_form2;
}

frmAbout &Program::about()
{
    if (!m_about) {
        m_registry = sysinfo::makePlatformRegistry();
        m_about = new frmAbout(m_services, *m_registry, this);
    }
    return *m_about;
}

int Program::run(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(rt::appTitle());
    QApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/design/icon.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.squibbo"));

    rt::Services services = rt::Services::platform();
#ifdef Q_OS_WIN
    enterPlayersFolder(services);
#endif
    Program program(std::move(services));
    program.form1().Show();
    return QApplication::exec();
}
