// Position, size and visibility of windows; rectangles, system metrics and
// the pointer position.
//
// Windows here have no frames: the client area is the whole window.
#include <algorithm>

#include "platform/window/core_state.h"

namespace {

// Windows values the player never names; known here so that callers using
// them get Windows' meaning.
constexpr UINT kSwpNoActivate = 0x0010;
constexpr int kSwShowMinimized = 2;
constexpr int kSwShowNoActivate = 4;
constexpr int kSwMinimize = 6;
constexpr int kSwShowMinNoActive = 7;
constexpr int kSwShowNa = 8;
const HWND kHwndBottom = reinterpret_cast<HWND>(static_cast<intptr_t>(1));
const HWND kHwndNoTopmost = reinterpret_cast<HWND>(static_cast<intptr_t>(-2));

constexpr int kMaxWindowSide = 16384;

using tarn::ws::detail::Window;

// Moves and resizes; true when anything changed. A resized visible window
// owes a full repaint when `repaint` is set.
bool Place(Window& w, int x, int y, int width, int height, bool repaint) {
    width = std::clamp(width, 0, kMaxWindowSide);
    height = std::clamp(height, 0, kMaxWindowSide);
    const RECT target{x, y, x + width, y + height};
    const RECT old = w.rect;
    if (target.left == old.left && target.top == old.top && target.right == old.right &&
        target.bottom == old.bottom) {
        return false;
    }
    w.rect = target;
    const bool resized = width != old.right - old.left || height != old.bottom - old.top;
    if (resized) tarn::ws::detail::ResizeSurface(w, width, height);
    if (repaint && w.visible) tarn::ws::detail::InvalidateAll(w);
    return true;
}

bool Show(Window& w) {
    if (w.visible) return false;
    w.visible = true;
    tarn::ws::detail::InvalidateAll(w);
    return true;
}

}  // namespace

using namespace tarn::ws;
using namespace tarn::ws::detail;

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
    Window* w = FindWindow(window);
    if (w == nullptr || w->destroying) return FALSE;
    bool changed = false;
    if (!(flags & SWP_NOZORDER)) {
        if (insertAfter == HWND_TOPMOST) {
            changed |= !w->topmost;
            w->topmost = true;
        } else if (insertAfter == kHwndNoTopmost) {
            changed |= w->topmost;
            w->topmost = false;
        }
        if (insertAfter == kHwndBottom) {
            auto& stacking = Core().stacking;
            std::erase(stacking, window);
            stacking.insert(stacking.begin(), window);
            Restack();
            changed = true;
        } else if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST ||
                   insertAfter == kHwndNoTopmost) {
            Raise(window);
        }
    }
    const int newX = (flags & SWP_NOMOVE) ? w->rect.left : x;
    const int newY = (flags & SWP_NOMOVE) ? w->rect.top : y;
    const int newWidth = (flags & SWP_NOSIZE) ? w->rect.right - w->rect.left : width;
    const int newHeight = (flags & SWP_NOSIZE) ? w->rect.bottom - w->rect.top : height;
    changed |= Place(*w, newX, newY, newWidth, newHeight, true);
    if (flags & SWP_SHOWWINDOW) changed |= Show(*w);
    if ((flags & SWP_HIDEWINDOW) && w->visible) {
        w->visible = false;
        changed = true;
    }
    if (changed) NotifyChanged(window);
    if (!w->visible) {
        ReleaseFocusFrom(window);
    } else if (!(flags & kSwpNoActivate)) {
        Activate(window);
    }
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    Window* w = FindWindow(window);
    if (w == nullptr || w->destroying) return FALSE;
    if (Place(*w, x, y, width, height, repaint != FALSE)) NotifyChanged(window);
    return TRUE;
}

BOOL ShowWindow(HWND window, int command) {
    Window* w = FindWindow(window);
    if (w == nullptr || w->destroying) return FALSE;
    const BOOL wasVisible = w->visible ? TRUE : FALSE;
    if (command == SW_HIDE || command == kSwMinimize || command == kSwShowMinimized ||
        command == kSwShowMinNoActive) {
        // No minimised state here: minimising hides.
        if (w->visible) {
            w->visible = false;
            NotifyChanged(window);
            ReleaseFocusFrom(window);
        }
        return wasVisible;
    }
    if (Show(*w)) NotifyChanged(window);
    if (command != kSwShowNoActivate && command != kSwShowNa) Activate(window);
    return wasVisible;
}

BOOL IsWindowVisible(HWND window) {
    const Window* w = FindWindow(window);
    return (w && w->visible) ? TRUE : FALSE;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
    if (rect == nullptr) return FALSE;
    if (window == DesktopHandle()) {
        *rect = RECT{0, 0, CurrentEdge().ScreenWidth(), CurrentEdge().ScreenHeight()};
        return TRUE;
    }
    const Window* w = FindWindow(window);
    if (w == nullptr) return FALSE;
    *rect = ClientRectOf(*w);
    return TRUE;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
    if (rect == nullptr) return FALSE;
    if (window == DesktopHandle()) return GetClientRect(window, rect);
    const Window* w = FindWindow(window);
    if (w == nullptr) return FALSE;
    *rect = w->rect;
    return TRUE;
}

BOOL ClientToScreen(HWND window, LPPOINT point) {
    if (point == nullptr) return FALSE;
    if (window == DesktopHandle()) return TRUE;
    const Window* w = FindWindow(window);
    if (w == nullptr) return FALSE;
    point->x += w->rect.left;
    point->y += w->rect.top;
    return TRUE;
}

BOOL GetCursorPos(LPPOINT point) {
    if (point == nullptr) return FALSE;
    POINT p{0, 0};
    if (!CurrentEdge().CursorPos(&p)) return FALSE;
    *point = p;
    return TRUE;
}

int GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXMAXIMIZED:  // no taskbar and no frames: maximised = the screen
        return CurrentEdge().ScreenWidth();
    case SM_CYSCREEN:
    case SM_CYMAXIMIZED:
        return CurrentEdge().ScreenHeight();
    case SM_CXBORDER:
    case SM_CYBORDER:
        return kBorderWidth;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return kDialogFrameWidth;
    default:
        return 0;
    }
}

HWND GetDesktopWindow() { return DesktopHandle(); }
