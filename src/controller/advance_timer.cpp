#include "controller/advance_timer.h"

#include "controller/controller.h"
#include "show/show_record.h"
#include "ui/show_window.h"

namespace {
bool g_AdvanceArmed = false;
}

bool AdvanceTimerWanted() {
    return (g_Show.AdvanceMethod & ADVANCE_TIMED) != 0 && g_Show.DelayBetweenSlidesInMilliseconds > 0;
}

void ArmAdvanceTimer() {
    SetTimer(g_ShowWindow, TIMER_ADVANCE, static_cast<UINT>(g_Show.DelayBetweenSlidesInMilliseconds),
             nullptr);
    g_AdvanceArmed = true;
}

void KillAdvanceTimer() {
    KillTimer(g_ShowWindow, TIMER_ADVANCE);
    g_AdvanceArmed = false;
}

bool AdvanceTimerArmed() {
    return g_AdvanceArmed;
}

void ForgetAdvanceTimer() {
    g_AdvanceArmed = false;
}
