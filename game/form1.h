#pragma once
// The main window: the playing field, the score panel and the game state.

#include "accessibility.h"
#include "controls.h"
#include "form.h"
#include "services.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <cstdint>
#include <functional>

class Form1 : public rt::Form {
    Q_OBJECT
public:
    Form1(rt::Services &services, QObject *parent);

    // What the main window asks of the rest of the program: open the About
    // window, open the high-score window, and the high-score step at the
    // end of a game. Each may be left empty.
    std::function<void()> openAbout;
    std::function<void()> openHighScores;
    std::function<void()> gameOverStep;

    // Event handlers.
    void Form_Load() override;
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Timer1_Timer();
    void Timer2_Timer();

    // The pictures of Wendo and the pie laid out with the window.
    static rt::Picture designPicture1();
    static rt::Picture designPicture2();

    // Controls, alive while the window is loaded.
    QPointer<QPushButton> Command1, Command2, Command3;
    QPointer<rt::PictureBox> Picture1, Picture2;
    QPointer<QLabel> Label1, Label2, Label3, Label4, Label5, Label6, Label7, Label8, Label9,
        Label10, Label11, Label12, Label13, Label14;
    QPointer<QLabel> Text1, Text2, Text3, Text4;
    QPointer<rt::LineControl> Line1;
    QPointer<rt::Timer> Timer1, Timer2;

    // The game state: nine 16-bit numbers, zero when the object is made.
    std::int16_t Speed = 0;
    std::int16_t Direction = 0;       // 1: Wendo moves right, otherwise left
    std::int16_t CrazyMonkey = 0;     // from the 20th hit: a turn at every throw
    std::int16_t RandomTurns = 0;     // from the 15th hit: speed-up and random turns
    std::int16_t PieFlying = 0;       // a pie is in the air (or in Wendo's face)
    std::int16_t Misses = 0;
    std::int16_t Hits = 0;
    std::int16_t Score = 0;
    std::int16_t TurnedThisThrow = 0; // the crazy-monkey turn of this throw is done

protected:
    void build(rt::FormWindow *window) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void describeForReaders(rt::FormWindow *window);
    // The score panel as a screen reader hears it.
    QString panelForReaders() const;
    // Tells a screen reader on "Throw It!" how the last throw went, with
    // the score panel after it.
    void tellScore(const QString &outcome);
    void turnAround();
    void hitTest();
    void missTest();
    void resetGame();
    void showTargetPicture(const QString &fileName, const QString &shows);
    void setThrowEnabled(bool enabled);

    rt::Services &m_services;
    QPointer<rt::ReaderNews> m_news;
    bool m_inTick = false;
    // "Throw It!" had the focus when the pie left, and takes it back when
    // the throw is over unless the player has moved it meanwhile.
    bool m_throwHadFocus = false;
};
