#include "platform/window/headless_edge.h"

#include <algorithm>
#include <climits>

namespace tarn::ws {
namespace {

constexpr WPARAM kLeftButtonHeld = 0x0001;   // MK_LBUTTON
constexpr WPARAM kRightButtonHeld = 0x0002;  // MK_RBUTTON
constexpr WPARAM kMiddleButtonHeld = 0x0010; // MK_MBUTTON

UINT DownMessage(MouseButton button) {
    switch (button) {
    case MouseButton::Left: return WM_LBUTTONDOWN;
    case MouseButton::Right: return WM_RBUTTONDOWN;
    case MouseButton::Middle: return WM_MBUTTONDOWN;
    }
    return WM_LBUTTONDOWN;
}

UINT UpMessage(MouseButton button) {
    switch (button) {
    case MouseButton::Left: return WM_LBUTTONUP;
    case MouseButton::Right: return WM_RBUTTONUP;
    case MouseButton::Middle: return WM_MBUTTONUP;
    }
    return WM_LBUTTONUP;
}

WPARAM HeldFlag(MouseButton button) {
    switch (button) {
    case MouseButton::Left: return kLeftButtonHeld;
    case MouseButton::Right: return kRightButtonHeld;
    case MouseButton::Middle: return kMiddleButtonHeld;
    }
    return 0;
}

}  // namespace

HeadlessEdge::HeadlessEdge(int screenWidth, int screenHeight)
    : ownedClock_(std::make_unique<VirtualClock>(0)),
      clock_(ownedClock_.get()),
      screenWidth_(screenWidth),
      screenHeight_(screenHeight) {
    Install();
}

HeadlessEdge::HeadlessEdge(VirtualClock& clock, int screenWidth, int screenHeight)
    : clock_(&clock), screenWidth_(screenWidth), screenHeight_(screenHeight) {
    Install();
}

HeadlessEdge::HeadlessEdge(OnCurrentClock, int screenWidth, int screenHeight)
    : screenWidth_(screenWidth), screenHeight_(screenHeight) {}

void HeadlessEdge::Install() {
    previousEdge_ = InstalledEdge();
    previousClock_ = &CurrentClock();
    InstallClock(clock_);
    InstallEdge(this);
    installed_ = true;
}

HeadlessEdge::~HeadlessEdge() {
    if (!installed_) return;
    if (InstalledEdge() == this) {
        ResetWindowSystem();
        InstallEdge(previousEdge_);
    }
    if (&CurrentClock() == clock_) InstallClock(previousClock_);
}

// ---- Edge ------------------------------------------------------------------

int HeadlessEdge::ScreenWidth() const { return screenWidth_; }
int HeadlessEdge::ScreenHeight() const { return screenHeight_; }

VirtualClock* HeadlessEdge::VirtualTime() const {
    if (clock_ != nullptr) return clock_;
    return dynamic_cast<VirtualClock*>(&CurrentClock());
}

int64_t HeadlessEdge::NowMillis() const { return CurrentClock().NowMillis(); }

bool HeadlessEdge::TakeWake() {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    const bool woken = woken_;
    woken_ = false;
    return woken;
}

void HeadlessEdge::WaitForEvents(int64_t deadlineMicros) {
    if (TakeWake()) return;
    if (VirtualClock* clock = VirtualTime()) {
        const int64_t now = clock->NowMicros();
        const int64_t target = std::min(deadlineMicros, clock->NextListenerEvent());
        if (target != INT64_MAX) {
            // Jump to the deadline (or to the first listener event before it).
            clock->AdvanceTo(std::max(target, now + 1));
            return;
        }
        // Nothing scheduled: only another thread can bring a message.
        WaitForPost(idleWait_);
        return;
    }
    // A real clock: wait for the deadline or a post, but never unbounded.
    const int64_t now = CurrentClock().NowMicros();
    std::chrono::microseconds wait = idleWait_;
    if (deadlineMicros != INT64_MAX) wait = std::chrono::microseconds(std::max<int64_t>(deadlineMicros - now, 0));
    std::unique_lock<std::mutex> lock(wakeMutex_);
    wakeCondition_.wait_for(lock, wait, [this] { return woken_; });
    woken_ = false;
}

void HeadlessEdge::Wake() {
    {
        std::lock_guard<std::mutex> lock(wakeMutex_);
        woken_ = true;
    }
    wakeCount_.fetch_add(1);
    wakeCondition_.notify_all();
}

void HeadlessEdge::WindowChanged(HWND window) { ++changes_[window]; }

void HeadlessEdge::WindowDestroyed(HWND window) { ++destroyed_; }

void HeadlessEdge::Present(HWND window) { ++presents_[window]; }

void HeadlessEdge::PresentImmediately(HWND window) { ++immediatePresents_[window]; }

void HeadlessEdge::FocusChanged(HWND window) { focusHistory_.push_back(window); }

bool HeadlessEdge::CursorPos(POINT* point) {
    if (!cursorReadable_ || point == nullptr) return false;
    *point = cursor_;
    return true;
}

// ---- Screen and pointer ----------------------------------------------------

void HeadlessEdge::SetScreenSize(int width, int height) {
    screenWidth_ = width;
    screenHeight_ = height;
}

void HeadlessEdge::SetCursor(int x, int y) { cursor_ = POINT{x, y}; }

void HeadlessEdge::SetCursorReadable(bool readable) { cursorReadable_ = readable; }

// ---- Input -----------------------------------------------------------------

HWND HeadlessEdge::KeyDown(UINT virtualKey) {
    const HWND focus = GetFocus();
    if (focus != nullptr) PostInputMessage(focus, WM_KEYDOWN, virtualKey, 1);
    return focus;
}

HWND HeadlessEdge::KeyUp(UINT virtualKey) {
    const HWND focus = GetFocus();
    // Repeat count 1, previous state down, transition up.
    if (focus != nullptr) PostInputMessage(focus, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001u));
    return focus;
}

HWND HeadlessEdge::KeyPress(UINT virtualKey) {
    const HWND focus = KeyDown(virtualKey);
    KeyUp(virtualKey);
    return focus;
}

HWND HeadlessEdge::WindowAt(int x, int y) const {
    const std::vector<WindowView> windows = Windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        const RECT& r = it->rect;
        if (it->visible && x >= r.left && x < r.right && y >= r.top && y < r.bottom) return it->handle;
    }
    return nullptr;
}

HWND HeadlessEdge::PostMouse(UINT message, WPARAM keys, int x, int y) {
    cursor_ = POINT{x, y};
    const HWND window = WindowAt(x, y);
    if (window == nullptr) return nullptr;
    const RECT r = View(window).rect;
    PostInputMessage(window, message, keys, MAKELPARAM(x - r.left, y - r.top));
    return window;
}

HWND HeadlessEdge::MouseMove(int x, int y) { return PostMouse(WM_MOUSEMOVE, 0, x, y); }

HWND HeadlessEdge::MouseDown(MouseButton button, int x, int y) {
    return PostMouse(DownMessage(button), HeldFlag(button), x, y);
}

HWND HeadlessEdge::MouseUp(MouseButton button, int x, int y) {
    return PostMouse(UpMessage(button), 0, x, y);
}

HWND HeadlessEdge::Click(MouseButton button, int x, int y) {
    const HWND window = MouseDown(button, x, y);
    MouseUp(button, x, y);
    return window;
}

void HeadlessEdge::RequestClose(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

// ---- Running ---------------------------------------------------------------

bool HeadlessEdge::RunFor(int64_t ms) {
    VirtualClock* clock = VirtualTime();
    const int64_t target = CurrentClock().NowMicros() + ms * 1000;
    bool running = PumpPending();
    if (clock == nullptr) {
        // Real time: wait out the period, handling whatever comes.
        while (running && CurrentClock().NowMicros() < target) {
            WaitForEvents(std::min(target, NextTimerDeadline()));
            running = PumpPending();
        }
        return running;
    }
    while (running) {
        const int64_t now = clock->NowMicros();
        const int64_t next = std::min(NextTimerDeadline(), clock->NextListenerEvent());
        if (next > target) break;
        clock->AdvanceTo(std::max(next, now + 1));
        running = PumpPending();
    }
    if (running) {
        clock->AdvanceTo(target);
        running = PumpPending();
    }
    return running;
}

bool HeadlessEdge::RunUntilQuit(int64_t maxVirtualMs) {
    VirtualClock* clock = VirtualTime();
    const int64_t target = CurrentClock().NowMicros() + maxVirtualMs * 1000;
    bool running = PumpPending();
    while (running) {
        const int64_t now = CurrentClock().NowMicros();
        const int64_t next = std::min(NextTimerDeadline(), clock ? clock->NextListenerEvent() : INT64_MAX);
        if (next > target || now >= target) {
            // Nothing more before the limit but what other threads may post.
            if (now < target && WaitForPost(idleWait_)) {
                running = PumpPending();
                continue;
            }
            break;
        }
        if (clock) {
            clock->AdvanceTo(std::max(next, now + 1));
        } else {
            WaitForEvents(next);
        }
        running = PumpPending();
    }
    if (running && clock && clock->NowMicros() < target) {
        clock->AdvanceTo(target);
        running = PumpPending();
    }
    return !running;
}

bool HeadlessEdge::WaitForPost(std::chrono::milliseconds realTimeout) {
    std::unique_lock<std::mutex> lock(wakeMutex_);
    const bool woken = wakeCondition_.wait_for(lock, realTimeout, [this] { return woken_; });
    woken_ = false;
    return woken;
}

void HeadlessEdge::SetIdleWait(std::chrono::milliseconds wait) { idleWait_ = wait; }

// ---- Record ----------------------------------------------------------------

int HeadlessEdge::PresentCount(HWND window) const {
    auto it = presents_.find(window);
    return it == presents_.end() ? 0 : it->second;
}

int HeadlessEdge::ImmediatePresentCount(HWND window) const {
    auto it = immediatePresents_.find(window);
    return it == immediatePresents_.end() ? 0 : it->second;
}

int HeadlessEdge::TotalPresents() const {
    int total = 0;
    for (const auto& [window, count] : presents_) total += count;
    return total;
}

int HeadlessEdge::WindowChangedCount(HWND window) const {
    auto it = changes_.find(window);
    return it == changes_.end() ? 0 : it->second;
}

int HeadlessEdge::DestroyedCount() const { return destroyed_; }

void HeadlessEdge::ClearRecord() {
    presents_.clear();
    immediatePresents_.clear();
    changes_.clear();
    destroyed_ = 0;
    focusHistory_.clear();
    wakeCount_.store(0);
}

}  // namespace tarn::ws
