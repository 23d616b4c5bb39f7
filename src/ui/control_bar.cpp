// Where the control bar goes, and when it shows and hides.
#include "ui/control_bar.h"

#include "controller/controller.h"
#include "ui/show_window.h"

int32_t BarVisible = 0;
BarRectangle g_BarRect = {0, 0, 0, 0};

namespace {
constexpr int BAR_BUTTONS_WIDTH = 4 * 32;
constexpr int BAR_BUTTONS_HEIGHT = 32;
constexpr int BAR_MARGIN = 20;

// The thickness, per side, of the frame that WS_DLGFRAME puts around the
// client area. Windows draws the dialog frame; this window system draws no
// frames at all (its client area is the whole window, whatever the style),
// although it reports the classic SM_CXDLGFRAME for code that asks.
#ifdef _WIN32
int DialogFrameWidth() {
    return GetSystemMetrics(SM_CXDLGFRAME);
}
int DialogFrameHeight() {
    return GetSystemMetrics(SM_CYDLGFRAME);
}
#else
int DialogFrameWidth() {
    return 0;
}
int DialogFrameHeight() {
    return 0;
}
#endif

}  // namespace

// The client area is exactly the four buttons, 128 x 32, so no button is
// clipped: width = 2 x frame width + 128, height = 2 x frame height + 32.
// The bar keeps 20 pixels from the top and from the right edge of a
// maximised window: x = SM_CXMAXIMIZED - width - 20, y = 20.
void ComputeBarRectangle() {
    g_BarRect.width = 2 * DialogFrameWidth() + BAR_BUTTONS_WIDTH;
    g_BarRect.height = 2 * DialogFrameHeight() + BAR_BUTTONS_HEIGHT;
    g_BarRect.y = BAR_MARGIN;
    g_BarRect.x = GetSystemMetrics(SM_CXMAXIMIZED) - g_BarRect.width - BAR_MARGIN;
}

void ShowControlBar() {
    if (BarVisible) {
        return;
    }
    BarVisible = 1;
    KillTimer(g_ShowWindow, TIMER_BAR_CHECK);
    ShowWindow(g_ControlBarWindow, SW_SHOWNORMAL);
    MoveWindow(g_ControlBarWindow, g_BarRect.x, g_BarRect.y, g_BarRect.width, g_BarRect.height, TRUE);
    SetTimer(g_ShowWindow, TIMER_BAR_CHECK, BAR_CHECK_PERIOD_MS, nullptr);
}

void CheckControlBar() {
    if (!BarVisible) {
        return;
    }
    POINT pointer{};
    if (GetCursorPos(&pointer) && !SplashShowing) {
        RECT client{};
        GetClientRect(g_ControlBarWindow, &client);
        POINT topLeft{client.left, client.top};
        POINT bottomRight{client.right, client.bottom};
        ClientToScreen(g_ControlBarWindow, &topLeft);
        ClientToScreen(g_ControlBarWindow, &bottomRight);
        // Strictly inside: the first row and column count as outside.
        if (topLeft.x < pointer.x && pointer.x < bottomRight.x && topLeft.y < pointer.y &&
            pointer.y < bottomRight.y) {
            return;
        }
    }
    BarVisible = 0;
    KillTimer(g_ShowWindow, TIMER_BAR_CHECK);
    ShowWindow(g_ControlBarWindow, SW_HIDE);
    SetFocus(g_ShowWindow);
}
