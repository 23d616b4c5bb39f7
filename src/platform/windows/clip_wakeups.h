// Wake-ups of the user-interface thread while a clip plays on screen.
//
// A clip's renderer draws its pictures from a streaming thread into its
// video window, which belongs to the user-interface thread. Under Wine what
// another thread drew reaches the screen only when the window's own thread
// next takes a message; an idle thread would show each picture up to the
// next message late (about 80 ms on average, measured). While a clip plays, a
// thread timer wakes the thread every USER_TIMER_MINIMUM, so that its
// pictures show on their times. Windows needs none of this; it costs a
// wake-up that does nothing.
#pragma once

namespace tarn {

// One playing clip's share of the wake-ups: the timer runs while any share
// is on. User-interface thread only.
class ClipWakeups {
public:
    ClipWakeups() = default;
    ~ClipWakeups() { Off(); }
    ClipWakeups(const ClipWakeups&) = delete;
    ClipWakeups& operator=(const ClipWakeups&) = delete;

    void On();
    void Off();
    bool IsOn() const { return on_; }

private:
    bool on_ = false;
};

// Whether the thread's wake-up timer runs (tests).
bool ClipWakeupsRunning();

}  // namespace tarn
