#include "platform/clock.h"

#include <algorithm>
#include <chrono>
#include <climits>

namespace tarn {

int64_t SteadyClock::NowMicros() const {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t VirtualClock::NextListenerEvent() const {
    std::lock_guard<std::mutex> lock(listenersMutex_);
    int64_t next = INT64_MAX;
    for (const TimeListener* l : listeners_) next = std::min(next, l->NextEventMicros());
    return next;
}

void VirtualClock::AdvanceTo(int64_t targetMicros) {
    while (NowMicros() < targetMicros) {
        const int64_t now = NowMicros();
        int64_t step = std::min(targetMicros, NextListenerEvent());
        if (step <= now) step = std::min(targetMicros, now + 1);
        now_.store(step, std::memory_order_release);
        std::vector<TimeListener*> snapshot;
        {
            std::lock_guard<std::mutex> lock(listenersMutex_);
            snapshot = listeners_;
        }
        for (TimeListener* l : snapshot) l->OnTimeAdvanced(step);
    }
}

void VirtualClock::AddListener(TimeListener* listener) {
    std::lock_guard<std::mutex> lock(listenersMutex_);
    listeners_.push_back(listener);
}

void VirtualClock::RemoveListener(TimeListener* listener) {
    std::lock_guard<std::mutex> lock(listenersMutex_);
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

namespace {
SteadyClock g_steadyClock;
std::atomic<Clock*> g_clock{&g_steadyClock};
}  // namespace

Clock& CurrentClock() { return *g_clock.load(std::memory_order_acquire); }

void InstallClock(Clock* clock) {
    g_clock.store(clock ? clock : &g_steadyClock, std::memory_order_release);
}

}  // namespace tarn
