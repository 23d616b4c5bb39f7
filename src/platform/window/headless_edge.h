// The window system's edge for tests: a screen that exists only in memory.
//
// Time is virtual. WaitForEvents jumps the clock straight to the next timer
// deadline (stepping through the clock's listeners on the way), so a message
// loop over a 48-second show ends in milliseconds. Input is injected by the
// test and becomes the same messages a real screen would produce: keys go to
// the focus window, mouse events to the topmost visible window under the
// point with client coordinates. What the core told the edge is recorded.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/clock.h"
#include "platform/window_system.h"

namespace tarn::ws {

enum class MouseButton { Left, Right, Middle };

class HeadlessEdge final : public Edge {
public:
    static constexpr int kDefaultScreenWidth = 1024;
    static constexpr int kDefaultScreenHeight = 768;

    // Owns a virtual clock starting at 0 and installs it as the process clock;
    // installs itself as the edge.
    explicit HeadlessEdge(int screenWidth = kDefaultScreenWidth,
                          int screenHeight = kDefaultScreenHeight);
    // Runs on `clock` (not owned), which it installs; installs itself.
    explicit HeadlessEdge(VirtualClock& clock, int screenWidth = kDefaultScreenWidth,
                          int screenHeight = kDefaultScreenHeight);
    // Uses whichever clock is current and installs nothing: the edge the core
    // falls back to. On a virtual clock it advances it; on a real clock it
    // waits in real time.
    struct OnCurrentClock {};
    HeadlessEdge(OnCurrentClock, int screenWidth = kDefaultScreenWidth,
                 int screenHeight = kDefaultScreenHeight);

    // An edge that installed itself resets the window system (so the next
    // test starts clean) and uninstalls itself and the clock it installed.
    ~HeadlessEdge() override;
    HeadlessEdge(const HeadlessEdge&) = delete;
    HeadlessEdge& operator=(const HeadlessEdge&) = delete;

    // ---- Edge ----------------------------------------------------------------
    int ScreenWidth() const override;
    int ScreenHeight() const override;
    void WaitForEvents(int64_t deadlineMicros) override;
    void Wake() override;
    void WindowChanged(HWND window) override;
    void WindowDestroyed(HWND window) override;
    void Present(HWND window) override;
    void FocusChanged(HWND window) override;
    bool CursorPos(POINT* point) override;
    void PresentImmediately(HWND window) override;

    // ---- Clock ---------------------------------------------------------------
    // The virtual clock in use (nullptr when running on a real clock).
    VirtualClock* VirtualTime() const;
    int64_t NowMillis() const;

    // ---- Screen and pointer --------------------------------------------------
    void SetScreenSize(int width, int height);
    // Moves the pointer without any message (as if it were already there).
    void SetCursor(int x, int y);
    // An unreadable pointer makes GetCursorPos fail.
    void SetCursorReadable(bool readable);

    // ---- Input ---------------------------------------------------------------
    // Queues WM_KEYDOWN (then WM_KEYUP for KeyPress) with the key code in
    // wParam to the focus window. Returns the window, nullptr when no window
    // has the focus (the key is lost).
    HWND KeyDown(UINT virtualKey);
    HWND KeyUp(UINT virtualKey);
    HWND KeyPress(UINT virtualKey);
    // Mouse input at SCREEN coordinates. The pointer moves there, and the
    // message goes to the topmost visible window containing the point with
    // client coordinates MAKELPARAM(x, y). Returns the window (nullptr: none).
    // A button press activates the window it lands on (it takes the focus).
    HWND MouseMove(int x, int y);
    HWND MouseDown(MouseButton button, int x, int y);
    HWND MouseUp(MouseButton button, int x, int y);
    HWND Click(MouseButton button, int x, int y);  // down, then up
    // The topmost visible window containing the screen point.
    HWND WindowAt(int x, int y) const;
    // Posts WM_CLOSE to the window, as a click on a close box would.
    void RequestClose(HWND window);

    // ---- Running -------------------------------------------------------------
    // Dispatches everything queued and due, advancing virtual time by `ms`
    // through every timer deadline and clock listener event on the way.
    // Returns false once the quit message has been taken.
    bool RunFor(int64_t ms);
    // Runs until the quit message is taken, but not past `maxVirtualMs` of
    // virtual time from now. When nothing is scheduled it waits in real time
    // (the idle wait) for other threads to post before giving up. Returns
    // true when the quit message was taken.
    bool RunUntilQuit(int64_t maxVirtualMs);
    // Blocks in REAL time until some thread posts a message (Wake) or the
    // timeout passes; true when woken. A wake that came earlier and has not
    // been consumed counts.
    bool WaitForPost(std::chrono::milliseconds realTimeout);
    // How long WaitForEvents waits in real time when no deadline is given
    // (default 200 ms).
    void SetIdleWait(std::chrono::milliseconds wait);

    // ---- Record of what the core told the edge -------------------------------
    int PresentCount(HWND window) const;
    int TotalPresents() const;
    // Presents asked for at once (PresentWindowNow), not at the next wait.
    int ImmediatePresentCount(HWND window) const;
    int WindowChangedCount(HWND window) const;
    int DestroyedCount() const;
    const std::vector<HWND>& FocusHistory() const { return focusHistory_; }
    int WakeCount() const { return wakeCount_.load(); }
    void ClearRecord();

private:
    void Install();
    HWND PostMouse(UINT message, WPARAM keys, int x, int y);
    bool TakeWake();

    std::unique_ptr<VirtualClock> ownedClock_;
    VirtualClock* clock_ = nullptr;  // nullptr: use the current clock
    bool installed_ = false;
    Edge* previousEdge_ = nullptr;
    Clock* previousClock_ = nullptr;

    int screenWidth_;
    int screenHeight_;
    POINT cursor_{0, 0};
    bool cursorReadable_ = true;
    std::chrono::milliseconds idleWait_{200};

    mutable std::mutex wakeMutex_;
    std::condition_variable wakeCondition_;
    bool woken_ = false;
    std::atomic<int> wakeCount_{0};

    std::map<HWND, int> presents_;
    std::map<HWND, int> immediatePresents_;
    std::map<HWND, int> changes_;
    int destroyed_ = 0;
    std::vector<HWND> focusHistory_;
};

}  // namespace tarn::ws
