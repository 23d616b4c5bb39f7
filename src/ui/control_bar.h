// The floating control bar: four 32 x 32 buttons (previous, next,
// pause/resume, close) near the top right corner of the screen.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// Bitmap resource ids.
constexpr int IDB_PREVIOUS = 103;
constexpr int IDB_NEXT = 104;
constexpr int IDB_PAUSE = 105;
constexpr int IDB_RESUME = 106;
constexpr int IDB_CLOSE = 107;
constexpr int IDB_SPLASH = 110;
constexpr int IDB_NEXT_GREY = 116;
constexpr int IDB_PREVIOUS_GREY = 118;
constexpr int IDI_PROGRAM = 122;

struct BarRectangle {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

extern int32_t BarVisible;
extern BarRectangle g_BarRect;
extern HBITMAP g_SplashBitmap;

// Computes the bar rectangle from the system metrics.
void ComputeBarRectangle();
void ShowControlBar();
void CheckControlBar();
LRESULT CALLBACK ControlBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void LoadBarBitmaps();
void FreeBarBitmaps();
void PaintControlBar(HWND window);

// Forgets BarVisible and the bitmap handles (tests).
void ResetControlBarState();
