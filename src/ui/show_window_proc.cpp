// The show window's procedure: keys, mouse buttons and movement, the four
// timers, the private messages, the background fill, the closing splash and
// the close.
#include "ui/show_window.h"

#include "controller/controller.h"
#include "media/media_player.h"
#include "show/cleanup.h"
#include "show/show_record.h"
#include "ui/control_bar.h"

namespace {

void CloseShowWindow() {
    SendMessageA(g_ShowWindow, WM_CLOSE, 0, 0);
}

void OnKeyDown(WPARAM key) {
    switch (key) {
    case VK_ESCAPE:
        CloseShowWindow();
        break;
    case VK_SPACE:
        TogglePause();
        break;
    case VK_PRIOR:
    case VK_LEFT:
    case VK_UP:
        PreviousSlide();
        break;
    case VK_NEXT:
    case VK_RIGHT:
    case VK_DOWN:
        NextSlide(false);
        break;
    default:
        break;
    }
}

void OnTimer(WPARAM id) {
    switch (id) {
    case TIMER_ADVANCE:
        NextSlide(true);
        break;
    case TIMER_BAR_CHECK:
        CheckControlBar();
        break;
    case TIMER_SPLASH:
        // The close handling runs with the splash already over.
        KillTimer(g_ShowWindow, TIMER_SPLASH);
        SplashShowing = 0;
        CloseShowWindow();
        break;
    case TIMER_MOUSE_QUIET:
        KillTimer(g_ShowWindow, TIMER_MOUSE_QUIET);
        MouseQuiet = 0;
        break;
    default:
        break;
    }
}

// Opens the bar on a movement that changes both coordinates. A movement that
// changes only one of them is neither acted on nor remembered.
void OnMouseMove(LPARAM lParam) {
    const int32_t x = static_cast<int16_t>(LOWORD(lParam));
    const int32_t y = static_cast<int16_t>(HIWORD(lParam));
    if (x == LastMousePosition.x || y == LastMousePosition.y) {
        return;
    }
    LastMousePosition = {x, y};
    if (!SplashShowing && !MouseQuiet) {
        ShowControlBar();
    }
}

void FillBackground(HDC dc) {
    LOGBRUSH description{};
    description.lbStyle = BS_SOLID;
    description.lbColor = g_Show.FillColour;
    description.lbHatch = 0;
    HBRUSH brush = CreateBrushIndirect(&description);
    HGDIOBJ previous = SelectObject(dc, brush);
    RECT clip{};
    GetClipBox(dc, &clip);
    PatBlt(dc, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, PATCOPY);
    SelectObject(dc, previous);
    // One brush per erase; give it back rather than collect them.
    DeleteObject(brush);
}

void PaintClosingSplash(HWND window) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, g_SplashBitmap);
    RECT client{};
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    BitBlt(dc, (width - SPLASH_WIDTH) / 2, (height - SPLASH_HEIGHT) / 2, SPLASH_WIDTH, SPLASH_HEIGHT, memory,
           0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    EndPaint(window, &paint);
}

}  // namespace

LRESULT CALLBACK ShowWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
        // A key or a click during a fade finishes it at once, then acts.
        TheMediaPlayer().FinishTransition();
        OnKeyDown(wParam);
        return 0;
    case WM_LBUTTONDOWN:
        TheMediaPlayer().FinishTransition();
        if (SplashShowing) {
            CloseShowWindow();
        } else {
            NextSlide(false);
        }
        return 0;
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        TheMediaPlayer().FinishTransition();
        NextSlide(false);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(lParam);
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case UM_PREVIOUS:
        PreviousSlide();
        return 0;
    case UM_NEXT:
        NextSlide(false);
        return 0;
    case UM_TOGGLE_PAUSE:
        TogglePause();
        return 0;
    case UM_CLOSE:
        CloseShowWindow();
        return 0;
    case UM_BACKGROUND_SOUND_EVENT:
        TheMediaPlayer().OnBackgroundSoundEvent(message, wParam, lParam);
        return 0;
    case UM_SLIDE_SOUND_EVENT:
        TheMediaPlayer().OnSlideSoundEvent(message, wParam, lParam);
        return 0;
    case WM_ERASEBKGND:
        FillBackground(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_PAINT:
        if (SplashShowing) {
            PaintClosingSplash(window);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_CLOSE:
        TheMediaPlayer().CloseDisplay();
        CleanUpShowFiles();
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_DESTROY:
        TheMediaPlayer().Teardown();
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
