// The show window: window classes, creation, and its window procedure.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// Private messages of the show window.
constexpr UINT UM_PREVIOUS = WM_USER + 1;
constexpr UINT UM_NEXT = WM_USER + 2;
constexpr UINT UM_TOGGLE_PAUSE = WM_USER + 3;
constexpr UINT UM_CLOSE = WM_USER + 4;
constexpr UINT UM_BACKGROUND_SOUND_EVENT = WM_USER + 5;
constexpr UINT UM_SLIDE_SOUND_EVENT = WM_USER + 6;

// Process-wide handles set by CreateShowWindows.
extern HINSTANCE g_Instance;
extern HWND g_ShowWindow;
extern HWND g_ControlBarWindow;

struct MousePosition {
    int32_t x;
    int32_t y;
};
extern MousePosition LastMousePosition;  // starts at (-1, -1)

void RegisterWindowClasses(HINSTANCE instance);
int CreateShowWindows(HINSTANCE instance, int showCommand);
LRESULT CALLBACK ShowWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Forgets the handles and the remembered mouse position (tests).
void ResetShowWindowState();
