#pragma once
// The About window: the game's title and version, a notice, the web-page
// line and the freeware note beside a pie, with "OK" to close it and
// "System Info..." to start the system's information tool.

#include "controls.h"
#include "form.h"
#include "registry.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <array>
#include <cstdint>

namespace rt {
struct Services;
} // namespace rt

class frmAbout : public rt::Form {
    Q_OBJECT
public:
    // `services` and `registry` must outlive the form.
    frmAbout(rt::Services &services, sysinfo::Registry &registry, QObject *parent);

    // Finds the system information tool through the registry and starts
    // it, or tells the player that it is unavailable.
    void StartSysInfo();

    // Reads one registry value as text (see sysinfo::GetKeyValue). The texts
    // go to the registry in the system's code page and come back from it.
    bool GetKeyValue(std::uint32_t RootKey, const QString &KeyPath, const QString &ValueName,
                     QString &ValueText);

    // The controls, while the window is loaded.
    QPointer<rt::PictureBox> picIcon;
    QPointer<QPushButton> cmdOK;
    QPointer<QPushButton> cmdSysInfo;
    QPointer<QLabel> Label2;
    QPointer<QLabel> Label1;
    QPointer<QLabel> lblDescription;
    QPointer<QLabel> lblTitle;
    QPointer<QLabel> lblVersion;
    QPointer<QLabel> lblDisclaimer;
    // The engraved separator: index 1 the grey line, index 0 the white one
    // just below it.
    std::array<QPointer<rt::LineControl>, 2> Line1;

    // Event handlers.
    void cmdOK_Click();
    void cmdSysInfo_Click();

protected:
    void build(rt::FormWindow *window) override;
    void Form_Load() override;

private:
    rt::Services &m_services;
    sysinfo::Registry &m_registry;
};
