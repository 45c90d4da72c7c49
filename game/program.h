#pragma once
// The program-wide object: it owns the platform services and the three
// windows. Each window object is made on first use and kept for the whole
// run; tests build a fresh Program with test doubles.

#include "services.h"

#include <QObject>
#include <memory>

class Form1;
class Form2;
class frmAbout;
namespace sysinfo {
class Registry;
}

class Program : public QObject {
    Q_OBJECT
public:
    explicit Program(rt::Services services, QObject *parent = nullptr);
    ~Program() override;

    rt::Services &services() { return m_services; }
    Form1 &form1();
    Form2 &form2();
    frmAbout &about();

    // Sets up the application (name, icon, fonts) and shows the main window.
    static int run(int argc, char **argv);

private:
    rt::Services m_services;
    std::unique_ptr<sysinfo::Registry> m_registry;
    Form1 *m_form1 = nullptr;
    Form2 *m_form2 = nullptr;
    frmAbout *m_about = nullptr;
};
