#include "lm.h"

namespace {
DisplayTimerState timerState;
}

int LM_setDisplayTimer(int mode, int timeout)
{
    ++timerState.calls;
    timerState.mode = mode;
    timerState.timeout = timeout;
    return 0;
}

const DisplayTimerState &LM_displayTimerState()
{
    return timerState;
}

void LM_resetDisplayTimerState()
{
    timerState = DisplayTimerState();
}
