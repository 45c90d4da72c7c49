#pragma once
// A main window on test doubles, loaded but never shown: its timers never
// tick on their own, and tests call the handlers directly.

#include "form1.h"
#include "testdoubles.h"

#include <QTemporaryDir>

struct Game {
    // An empty game folder of its own: no pictures or sounds unless a test
    // puts them there.
    QTemporaryDir folder;
    rt::testing::Doubles doubles;
    rt::Services services = doubles.services(folder.path());
    Form1 form{services, nullptr};

    explicit Game(float firstRandom = 0.25f)
    {
        doubles.random->script.push_back(firstRandom);
        form.Load();
    }

    // Puts Wendo at `left` and the pie at `top`, keeping their columns.
    void place(float left, float top)
    {
        form.Picture1->Move(left);
        form.Picture2->Move(form.Picture2->Left(), top);
    }

    void ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            form.Timer1_Timer();
    }

    // Throws a pie from `pieTop` while Wendo stands still at the far left,
    // out of its way.
    void throwWithWendoAway(float pieTop)
    {
        form.Direction = 0;
        form.Speed = 0;
        place(-50.0f, pieTop);
        form.Command1_Click();
    }

    // Throws, and sets Wendo and the pie so that the next tick finds the
    // pie's Top at `pieTop` and Wendo's Left at `left` (he is moving right).
    void throwAndTick(float left, float pieTop)
    {
        form.Command1_Click();
        form.Direction = 1;
        place(left - static_cast<float>(form.Speed), pieTop + 250.0f);
        form.Timer1_Timer();
    }

    // A hit with Wendo at `left`, then the end of the pause.
    void hitAt(float left)
    {
        throwAndTick(left, 1000.0f);
        form.Timer2_Timer();
    }

    // A pie that leaves the top with Wendo far to the right.
    void miss() { throwAndTick(4800.0f, -240.0f); }
};
