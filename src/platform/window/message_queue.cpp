// The process's one message queue: posting (from any thread), sending,
// fetching and dispatching, and the quit message.
//
// Fetch order, as on Windows: posted and input messages in arrival order,
// then the quit message, then paints owed by visible windows, then due
// timers. Paints and timers are never queued; they are made when fetched.
#include <algorithm>
#include <climits>
#include <deque>
#include <mutex>
#include <unordered_set>

#include "platform/clock.h"
#include "platform/window/core_state.h"

namespace tarn::ws {
namespace {

struct Queue {
    std::mutex mutex;
    std::deque<MSG> messages;
    std::unordered_set<HWND> live;  // windows that exist, readable from any thread
    bool quitPending = false;
    int quitCode = 0;
    bool quitEverPosted = false;
    int lastQuitCode = 0;
    bool quitTaken = false;
};

Queue& TheQueue() {
    static Queue queue;
    return queue;
}

bool InRange(UINT message, UINT low, UINT high) {
    return (low == 0 && high == 0) || (message >= low && message <= high);
}

bool Matches(const MSG& msg, HWND window, UINT low, UINT high) {
    return (window == nullptr || msg.hwnd == window) && InRange(msg.message, low, high);
}

void Stamp(MSG* msg) {
    msg->time = static_cast<DWORD>(CurrentClock().NowMillis());
    POINT p{0, 0};
    if (!CurrentEdge().CursorPos(&p)) p = POINT{0, 0};
    msg->pt = p;
}

// Takes the next message for the filter without waiting (time and pointer
// position not yet filled in).
bool TakeUnstamped(MSG* msg, HWND window, UINT low, UINT high) {
    Queue& q = TheQueue();
    {
        std::lock_guard<std::mutex> lock(q.mutex);
        for (auto it = q.messages.begin(); it != q.messages.end();) {
            if (it->hwnd != nullptr && q.live.count(it->hwnd) == 0) {
                it = q.messages.erase(it);  // its window is gone
                continue;
            }
            if (Matches(*it, window, low, high)) {
                *msg = *it;
                q.messages.erase(it);
                return true;
            }
            ++it;
        }
        if (q.quitPending) {
            q.quitPending = false;
            q.quitTaken = true;
            *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, 0, {0, 0}};
            return true;
        }
    }
    if (InRange(WM_PAINT, low, high)) {
        if (HWND paint = detail::NextWindowToPaint(window)) {
            *msg = MSG{paint, WM_PAINT, 0, 0, 0, {0, 0}};
            return true;
        }
    }
    const int64_t now = CurrentClock().NowMicros();
    detail::TickCrossFade(now);
    return InRange(WM_TIMER, low, high) && detail::TakeDueTimer(window, now, msg);
}

bool TakeMessage(MSG* msg, HWND window, UINT low, UINT high) {
    if (!TakeUnstamped(msg, window, low, high)) return false;
    Stamp(msg);
    return true;
}

void Enqueue(const MSG& msg) {
    Queue& q = TheQueue();
    std::lock_guard<std::mutex> lock(q.mutex);
    q.messages.push_back(msg);
}

}  // namespace

namespace detail {

void MarkLive(HWND window) {
    Queue& q = TheQueue();
    std::lock_guard<std::mutex> lock(q.mutex);
    q.live.insert(window);
}

void MarkDead(HWND window) {
    Queue& q = TheQueue();
    std::lock_guard<std::mutex> lock(q.mutex);
    q.live.erase(window);
    std::erase_if(q.messages, [window](const MSG& m) { return m.hwnd == window; });
}

void ClearQueue() {
    Queue& q = TheQueue();
    std::lock_guard<std::mutex> lock(q.mutex);
    q.messages.clear();
    q.live.clear();
    q.quitPending = false;
    q.quitCode = 0;
    q.quitEverPosted = false;
    q.lastQuitCode = 0;
    q.quitTaken = false;
}

}  // namespace detail

void PostInputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(window)) return;
    if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN) {
        detail::Activate(window);
    }
    Enqueue(MSG{window, message, wParam, lParam, 0, {0, 0}});
}

int64_t NextTimerDeadline() { return std::min(detail::NextDeadline(nullptr), detail::NextFadeFrame()); }

bool PumpPending() {
    MSG msg;
    while (TakeMessage(&msg, nullptr, 0, 0)) {
        if (msg.message == WM_QUIT) return false;
        DispatchMessageA(&msg);
    }
    Queue& q = TheQueue();
    std::lock_guard<std::mutex> lock(q.mutex);
    return !q.quitTaken;
}

bool QuitPosted(int* exitCode) {
    Queue& q = TheQueue();
    std::lock_guard<std::mutex> lock(q.mutex);
    if (q.quitEverPosted && exitCode) *exitCode = q.lastQuitCode;
    return q.quitEverPosted;
}

}  // namespace tarn::ws

using namespace tarn::ws;

BOOL IsWindow(HWND window) {
    if (window == nullptr) return FALSE;
    if (window == detail::DesktopHandle()) return TRUE;
    Queue& q = TheQueue();
    std::lock_guard<std::mutex> lock(q.mutex);
    return q.live.count(window) ? TRUE : FALSE;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Queue& q = TheQueue();
    {
        std::lock_guard<std::mutex> lock(q.mutex);
        // A null window posts a message to the thread itself; it is fetched
        // like any other and dispatched to no one.
        if (window != nullptr && q.live.count(window) == 0) return FALSE;
        q.messages.push_back(MSG{window, message, wParam, lParam, 0, {0, 0}});
    }
    CurrentEdge().Wake();
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    Queue& q = TheQueue();
    std::lock_guard<std::mutex> lock(q.mutex);
    q.quitPending = true;
    q.quitCode = exitCode;
    q.quitEverPosted = true;
    q.lastQuitCode = exitCode;
}

BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    if (msg == nullptr) return -1;
    for (;;) {
        if (TakeMessage(msg, window, filterMin, filterMax)) return msg->message != WM_QUIT;
        // Fade frames are due whatever the filter: the edge presents them.
        const int64_t deadline = std::min(
            InRange(WM_TIMER, filterMin, filterMax) ? detail::NextDeadline(window) : INT64_MAX,
            detail::NextFadeFrame());
        CurrentEdge().WaitForEvents(deadline);
    }
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr || msg->hwnd == nullptr) return 0;
    detail::Window* w = detail::FindWindow(msg->hwnd);
    if (w == nullptr) return 0;  // posted to a window destroyed since
    if (msg->message == WM_PAINT && w->updatePending) {
        detail::PaintNow(msg->hwnd);
        return 0;
    }
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    detail::Window* w = detail::FindWindow(window);
    if (w == nullptr) return 0;
    // Copy the procedure first: the call may destroy the window.
    const WNDPROC procedure = w->windowClass->procedure;
    return procedure(window, message, wParam, lParam);
}
