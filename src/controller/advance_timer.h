// Arming and killing TIMER_ADVANCE, the show window's slide timer.
//
// The controller is the only one that arms or kills TIMER_ADVANCE, so it can
// know whether the timer runs without asking the window system. A timed step
// uses that to leave the periodic timer on its own schedule (see NextSlide).
#pragma once

#include "platform/win32.h"

// True when the show asks for a timed advance with a usable delay.
bool AdvanceTimerWanted();

// SetTimer(show window, TIMER_ADVANCE, delay). Arming an armed timer
// restarts it.
void ArmAdvanceTimer();
// KillTimer(show window, TIMER_ADVANCE).
void KillAdvanceTimer();
// Whether TIMER_ADVANCE is armed at the moment.
bool AdvanceTimerArmed();

// Forgets the armed state (a new show in the same process).
void ForgetAdvanceTimer();
