#pragma once
// The high-score window: the ten best scores under the heading
// "High Scores", one row per rank, and OK to close it. It never writes the
// file; it reads it afresh whenever it becomes the active window, so it
// always lists the table that is on disk at that moment.

#include "form.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <array>

namespace rt {
struct Services;
}

class Form2 : public rt::Form {
    Q_OBJECT
public:
    Form2(rt::Services &services, QObject *parent);

    // OK: closes the window; the object stays for the next opening.
    void Command1_Click();

protected:
    void build(rt::FormWindow *window) override;
    // The creation fill, once in the object's life.
    void Form_Initialize() override;
    void Form_Load() override;
    // The activation fill, each time the window becomes the active one.
    void Form_Activate() override;

private:
    // Reads the table into the rows. A file that cannot be used is told to
    // the player, and the rows are left as they are.
    bool fill();

    rt::Services &m_services;
    QPointer<QLabel> Label1;
    // Row k: the rank and name in Label(k+1), the score in Label(k+11).
    std::array<QPointer<QLabel>, 10> m_rankLabels;
    std::array<QPointer<QLabel>, 10> m_scoreLabels;
    QPointer<QPushButton> Command1;
    // Set while an activation fill runs and, when the file could not be
    // used, until the window has closed: the message box hands the
    // activation back to this window when it closes, and that must not
    // start another fill and another message.
    bool m_busy = false;
    // Set when the creation fill found the file unusable and closed the
    // window: the load that comes with the same opening gives up too,
    // rather than telling the player the same thing twice.
    bool m_refuseNextLoad = false;
};
