// Time for the window system and the media: one monotonic clock per process.
//
// The SDL edge runs on the real monotonic clock. Tests install a
// VirtualClock: time stands still until the UI thread advances it, and
// listeners (the headless audio sink, for instance) are stepped through every
// moment they care about on the way, so a 14-second sound completes at
// exactly 14 s of virtual time without anyone sleeping.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace tarn {

class Clock {
public:
    virtual ~Clock() = default;
    // Microseconds on a monotonic scale; safe to call from any thread.
    virtual int64_t NowMicros() const = 0;
    int64_t NowMillis() const { return NowMicros() / 1000; }
};

// The monotonic clock of the machine.
class SteadyClock final : public Clock {
public:
    int64_t NowMicros() const override;
};

// Something that must see virtual time pass in steps rather than jumps.
class TimeListener {
public:
    virtual ~TimeListener() = default;
    // The next virtual moment (microseconds) at which this listener wants to
    // be stepped, or INT64_MAX when it has nothing pending.
    virtual int64_t NextEventMicros() const = 0;
    // Called on the thread that advances the clock, after `now` has moved.
    virtual void OnTimeAdvanced(int64_t now) = 0;
};

class VirtualClock final : public Clock {
public:
    explicit VirtualClock(int64_t startMicros = 0) : now_(startMicros) {}
    int64_t NowMicros() const override { return now_.load(std::memory_order_acquire); }

    // Moves time forward to `target`, stopping at every listener's next event
    // on the way. Never moves backwards.
    void AdvanceTo(int64_t targetMicros);
    void AdvanceBy(int64_t deltaMicros) { AdvanceTo(NowMicros() + deltaMicros); }
    // The earliest pending listener event, or INT64_MAX.
    int64_t NextListenerEvent() const;

    void AddListener(TimeListener* listener);
    void RemoveListener(TimeListener* listener);

private:
    std::atomic<int64_t> now_;
    mutable std::mutex listenersMutex_;
    std::vector<TimeListener*> listeners_;
};

// The process's clock. Defaults to a SteadyClock; tests install a virtual one.
Clock& CurrentClock();
// Installs `clock` (not owned; nullptr restores the steady clock).
void InstallClock(Clock* clock);

}  // namespace tarn
