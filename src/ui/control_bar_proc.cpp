// The control bar window: its bitmaps, its painting and its clicks.
#include "ui/control_bar.h"

#include "controller/controller.h"
#include "show/show_record.h"
#include "platform/embedded_resources.h"
#include "ui/show_window.h"

HBITMAP g_SplashBitmap = nullptr;

namespace {

constexpr int BUTTON_SIZE = 32;

// The seven button pictures, in the order they are loaded.
enum ButtonPicture { PREVIOUS, PREVIOUS_GREY, NEXT, NEXT_GREY, PAUSE, RESUME, CLOSE, PICTURE_COUNT };
constexpr int kPictureIds[PICTURE_COUNT] = {IDB_PREVIOUS, IDB_PREVIOUS_GREY, IDB_NEXT, IDB_NEXT_GREY,
                                            IDB_PAUSE,    IDB_RESUME,        IDB_CLOSE};
HBITMAP g_ButtonBitmaps[PICTURE_COUNT] = {};

HBITMAP LoadProgramBitmap(int id) {
    return LoadBitmapA(g_Instance, MAKEINTRESOURCEA(id));
}

void RepaintNow(HWND window) {
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

void OnClick(HWND bar, LPARAM lParam) {
    const int x = static_cast<int16_t>(LOWORD(lParam));
    switch (x / BUTTON_SIZE) {
    case 0:
        SendMessageA(g_ShowWindow, UM_PREVIOUS, 0, 0);
        break;
    case 1:
        SendMessageA(g_ShowWindow, UM_NEXT, 0, 0);
        break;
    case 2:
        TogglePause();
        RepaintNow(bar);
        break;
    case 3:
        // Closes the show window and, with it, this bar: nothing of the bar
        // may be touched after the send.
        SendMessageA(g_ShowWindow, UM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
}

}  // namespace

void LoadBarBitmaps() {
    EnsureResourcesRegistered();
    for (int i = 0; i < PICTURE_COUNT; ++i) {
        g_ButtonBitmaps[i] = LoadProgramBitmap(kPictureIds[i]);
    }
    g_SplashBitmap = LoadProgramBitmap(IDB_SPLASH);
}

void FreeBarBitmaps() {
    for (HBITMAP& bitmap : g_ButtonBitmaps) {
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
            bitmap = nullptr;
        }
    }
    if (g_SplashBitmap != nullptr) {
        DeleteObject(g_SplashBitmap);
        g_SplashBitmap = nullptr;
    }
}

void PaintControlBar(HWND window) {
    const HBITMAP pictures[4] = {
        g_ButtonBitmaps[g_Show.CurrentSlide <= 0 ? PREVIOUS_GREY : PREVIOUS],
        // In 64 bits, so that CurrentSlide + 1 cannot overflow.
        g_ButtonBitmaps[int64_t{g_Show.CurrentSlide} + 1 < g_Show.Count ? NEXT : NEXT_GREY],
        g_ButtonBitmaps[Paused ? RESUME : PAUSE],
        g_ButtonBitmaps[CLOSE],
    };

    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ original = nullptr;
    for (int k = 0; k < 4; ++k) {
        // A picture that failed to load leaves its square at the background.
        if (pictures[k] == nullptr) {
            continue;
        }
        HGDIOBJ replaced = SelectObject(memory, pictures[k]);
        if (original == nullptr) {
            original = replaced;
        }
        BitBlt(dc, BUTTON_SIZE * k, 0, BUTTON_SIZE, BUTTON_SIZE, memory, 0, 0, SRCCOPY);
    }
    if (original != nullptr) {
        SelectObject(memory, original);
    }
    DeleteDC(memory);
    EndPaint(window, &paint);
}

LRESULT CALLBACK ControlBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        LoadBarBitmaps();
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_PAINT:
        PaintControlBar(window);
        return 0;
    case WM_CLOSE:
        FreeBarBitmaps();
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_TIMER:
        CheckControlBar();
        return 0;
    case WM_LBUTTONDOWN:
        OnClick(window, lParam);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void ResetControlBarState() {
    BarVisible = 0;
    g_BarRect = {0, 0, 0, 0};
    for (HBITMAP& bitmap : g_ButtonBitmaps) {
        bitmap = nullptr;
    }
    g_SplashBitmap = nullptr;
}
