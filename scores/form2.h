#pragma once
// The high-score window: the ten best scores under the heading
// "High Scores", one row per rank, and OK to close it. It never writes the
// file; it reads it afresh whenever it becomes the active window, so it
// always lists the table that is on disk at that moment.

#include "form.h"
#include "hiscorefile.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <array>

namespace rt {
struct Services;
}
namespace scores {
class FileOps;
}

class Form2 : public rt::Form {
    Q_OBJECT
public:
    // `services` and `files` (the game folder's) must outlive the form.
    Form2(rt::Services &services, scores::FileOps &files, QObject *parent);

    // Opens the window, or brings it to the front when it is open: loads it
    // (the creation fill runs on the first load) and shows it (the
    // activation fill runs). A table that cannot be used is told to the
    // player once, over `owner` (the window that asked for the high
    // scores), and the window does not stay open.
    void Open(QWidget *owner = nullptr);

    // OK: closes the window; the object stays for the next opening.
    void Command1_Click();

protected:
    void build(rt::FormWindow *window) override;
    // The creation fill, once in the object's life.
    void Form_Initialize() override;
    // The activation fill, each time the window becomes the active one.
    void Form_Activate() override;

private:
    // Windows of the game are opened with Open only.
    using rt::Form::Load;
    using rt::Form::Show;

    // Reads the table into the rows. When the file cannot be used the rows
    // stay as they are, the window closes first and then the player is
    // told: the message box hands the activation back as it closes, and a
    // closed window takes no fill and tells nothing twice.
    void fill();

    rt::Services &m_services;
    scores::FileOps &m_files;
    QPointer<QWidget> m_owner;
    QPointer<QLabel> Label1;
    // Row k: the rank and name in Label(k+1), the score in Label(k+11).
    std::array<QPointer<QLabel>, scores::TableSize> m_rankLabels;
    std::array<QPointer<QLabel>, scores::TableSize> m_scoreLabels;
    QPointer<QPushButton> Command1;
};
