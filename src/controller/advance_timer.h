// Arming and killing TIMER_ADVANCE, the show window's slide timer.
//
// The controller is the only one that arms or kills TIMER_ADVANCE, so it can
// know whether the timer runs, with which period and when it is next due,
// without asking the window system. A timed step uses that to keep the show
// on its own schedule (see NextSlide): each slide's time starts at the
// deadline that ended the previous one, whatever the change itself costs.
#pragma once

#include "platform/win32.h"

// True when the show asks for a timed advance and the current slide has a
// usable time (its own delay or the show's).
bool AdvanceTimerWanted();

// SetTimer(show window, TIMER_ADVANCE, the current slide's time). Arming an
// armed timer restarts it from now.
void ArmAdvanceTimer();
// KillTimer(show window, TIMER_ADVANCE).
void KillAdvanceTimer();
// Whether TIMER_ADVANCE is armed at the moment.
bool AdvanceTimerArmed();

// After an expiry of TIMER_ADVANCE has been handled (a step or a refused
// one): the next expiry is due the current slide's time after the expiry
// just handled. The periodic timer is left alone when its period already
// says so; otherwise it is armed for what is left until that deadline.
// A slide without a time stops the timer.
void ContinueAdvanceSchedule();

// Forgets the armed state (a new show in the same process).
void ForgetAdvanceTimer();
