#include "platform/windows/clip_wakeups.h"

#include <windows.h>

namespace tarn {
namespace {

int g_shares = 0;
UINT_PTR g_timer = 0;

// Taking the timer's message is the whole point.
VOID CALLBACK WakeUp(HWND, UINT, UINT_PTR, DWORD) {}

}  // namespace

void ClipWakeups::On() {
    if (on_) return;
    on_ = true;
    if (g_shares++ == 0) g_timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &WakeUp);
}

void ClipWakeups::Off() {
    if (!on_) return;
    on_ = false;
    if (--g_shares == 0 && g_timer != 0) {
        KillTimer(nullptr, g_timer);
        g_timer = 0;
    }
}

bool ClipWakeupsRunning() { return g_timer != 0; }

}  // namespace tarn
