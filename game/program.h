#pragma once
// The program-wide object: it owns the platform services, the game folder's
// files and the three windows. Each window object is made on first use and
// kept for the whole run; tests build a fresh Program with test doubles.

#include "services.h"

#include <QObject>
#include <memory>

class Form1;
class Form2;
class frmAbout;
namespace scores {
class FileOps;
}
namespace sysinfo {
class Registry;
}

class Program : public QObject {
    Q_OBJECT
public:
    // Plays in `services.folder`, where the high scores are kept too.
    explicit Program(rt::Services services, QObject *parent = nullptr);
    ~Program() override;

    Form1 &form1();
    Form2 &form2();
    frmAbout &about();

    // Shows the main window; once it is on the screen, the sound gets ready.
    void start();

    // Sets up the application (name, icon, fonts, timers and, on Windows,
    // the player's folder) and shows the main window.
    static int run(int argc, char **argv);

private:
    // Members go in the reverse order of these lines, so the windows, last
    // here, are always gone before the services, files and registry that
    // they use. A window added later belongs at the end too.
    rt::Services m_services;
    std::unique_ptr<scores::FileOps> m_files;
    std::unique_ptr<sysinfo::Registry> m_registry;
    std::unique_ptr<Form1> m_form1;
    std::unique_ptr<Form2> m_form2;
    std::unique_ptr<frmAbout> m_about;
};
