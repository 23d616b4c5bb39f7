// Periodic timers named by (window, id), on the deadlines of the process
// clock.
//
// A tick is made when the queue is fetched and the deadline has passed. The
// next deadline is counted from the previous deadline, not from when the
// tick was fetched or handled, so a timer does not drift; one that fell a
// whole period or more behind skips to its next future deadline instead of
// delivering a burst of ticks.
#include <algorithm>
#include <climits>

#include "platform/clock.h"
#include "platform/window/core_state.h"

namespace tarn::ws {
namespace {

struct Timer {
    HWND window;
    UINT_PTR id;
    UINT periodMs;
    int64_t deadline;  // microseconds on the process clock
};

std::vector<Timer>& AllTimers() {
    static std::vector<Timer> timers;
    return timers;
}

constexpr UINT kMaximumTimerPeriodMs = 0x7FFFFFFF;

}  // namespace

namespace detail {

bool TakeDueTimer(HWND filter, int64_t now, MSG* msg) {
    auto& timers = AllTimers();
    Timer* due = nullptr;
    for (Timer& t : timers) {
        if (filter != nullptr && t.window != filter) continue;
        if (t.deadline <= now && (due == nullptr || t.deadline < due->deadline)) due = &t;
    }
    if (due == nullptr) return false;
    const int64_t period = static_cast<int64_t>(due->periodMs) * 1000;
    due->deadline += period;
    if (due->deadline <= now) due->deadline += ((now - due->deadline) / period + 1) * period;
    *msg = MSG{due->window, WM_TIMER, static_cast<WPARAM>(due->id), 0, 0, {0, 0}};
    return true;
}

int64_t NextDeadline(HWND filter) {
    int64_t next = INT64_MAX;
    for (const Timer& t : AllTimers()) {
        if (filter == nullptr || t.window == filter) next = std::min(next, t.deadline);
    }
    return next;
}

void KillTimersOf(HWND window) {
    std::erase_if(AllTimers(), [window](const Timer& t) { return t.window == window; });
}

void ClearTimers() { AllTimers().clear(); }

}  // namespace detail

std::vector<TimerView> Timers() {
    std::vector<TimerView> views;
    for (const Timer& t : AllTimers()) views.push_back(TimerView{t.window, t.id, t.periodMs, t.deadline});
    return views;
}

}  // namespace tarn::ws

using namespace tarn::ws;

// Timers without a window (and timer callbacks) are not used by the player
// and are refused.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, void* timerProc) {
    if (detail::FindWindow(window) == nullptr || timerProc != nullptr) return 0;
    const UINT period = std::clamp(elapse, kMinimumTimerPeriodMs, kMaximumTimerPeriodMs);
    const int64_t deadline = tarn::CurrentClock().NowMicros() + static_cast<int64_t>(period) * 1000;
    auto& timers = AllTimers();
    auto it = std::find_if(timers.begin(), timers.end(),
                           [&](const Timer& t) { return t.window == window && t.id == id; });
    if (it != timers.end()) {
        it->periodMs = period;  // re-arming restarts the timer with the new period
        it->deadline = deadline;
    } else {
        timers.push_back(Timer{window, id, period, deadline});
    }
    return id != 0 ? id : 1;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    auto& timers = AllTimers();
    const auto removed =
        std::erase_if(timers, [&](const Timer& t) { return t.window == window && t.id == id; });
    return removed ? TRUE : FALSE;
}

DWORD GetTickCount() {
    return static_cast<DWORD>(tarn::CurrentClock().NowMillis());
}
