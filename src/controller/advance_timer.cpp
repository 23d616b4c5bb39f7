#include "controller/advance_timer.h"

#include "controller/controller.h"
#include "show/show_record.h"
#include "ui/show_window.h"

namespace {

bool g_AdvanceArmed = false;
// The period the timer was last armed with, and the tick at which it is
// next due.
DWORD g_ArmedPeriod = 0;
DWORD g_DueTick = 0;

// Ticks wrap at 2^32; differences between nearby ticks are signed.
int32_t TicksFrom(DWORD from, DWORD to) {
    return static_cast<int32_t>(to - from);
}

void SetAdvanceTimer(DWORD period, DWORD dueTick) {
    SetTimer(g_ShowWindow, TIMER_ADVANCE, period, nullptr);
    g_AdvanceArmed = true;
    g_ArmedPeriod = period;
    g_DueTick = dueTick;
}

}  // namespace

bool AdvanceTimerWanted() {
    return (g_Show.AdvanceMethod & ADVANCE_TIMED) != 0 && ReadSlideDelay() > 0;
}

void ArmAdvanceTimer() {
    const auto delay = static_cast<DWORD>(ReadSlideDelay());
    SetAdvanceTimer(delay, GetTickCount() + delay);
}

void KillAdvanceTimer() {
    KillTimer(g_ShowWindow, TIMER_ADVANCE);
    g_AdvanceArmed = false;
}

bool AdvanceTimerArmed() {
    return g_AdvanceArmed;
}

void ContinueAdvanceSchedule() {
    const int32_t delay = ReadSlideDelay();
    if ((g_Show.AdvanceMethod & ADVANCE_TIMED) == 0 || delay <= 0) {
        KillAdvanceTimer();
        return;
    }
    const DWORD now = GetTickCount();
    DWORD next = g_DueTick + static_cast<DWORD>(delay);
    // A deadline already passed is skipped, as the periodic timer skips it,
    // rather than made up for with a burst of steps.
    if (const int32_t behind = TicksFrom(next, now); behind >= 0) {
        next += static_cast<DWORD>((behind / delay + 1)) * static_cast<DWORD>(delay);
    }
    if (g_ArmedPeriod == static_cast<DWORD>(delay)) {
        g_DueTick = next;  // the periodic timer is due then by itself
        return;
    }
    SetAdvanceTimer(static_cast<DWORD>(TicksFrom(now, next)), next);
}

void ForgetAdvanceTimer() {
    g_AdvanceArmed = false;
    g_ArmedPeriod = 0;
    g_DueTick = 0;
}
