#pragma once

// The handset's display timer. On our machines there is no display timer to
// drive, so the layer keeps what it was last handed; that is the timer's
// state, and it can be read back.
struct DisplayTimerState
{
    int calls = 0;      // how many times LM_setDisplayTimer ran
    int mode = 0;       // first argument of the last call
    int timeout = 0;    // second argument of the last call
};

int LM_setDisplayTimer(int mode, int timeout);
const DisplayTimerState &LM_displayTimerState();
void LM_resetDisplayTimerState();
