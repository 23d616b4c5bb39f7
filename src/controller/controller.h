// The show controller: the sequence of slides, pause, timed advance with the
// wait for a slide's sound, and the end of the show.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// Timer ids of the show window.
constexpr UINT_PTR TIMER_ADVANCE = 0;
constexpr UINT_PTR TIMER_BAR_CHECK = 1;
constexpr UINT_PTR TIMER_SPLASH = 2;
constexpr UINT_PTR TIMER_MOUSE_QUIET = 3;

constexpr UINT BAR_CHECK_PERIOD_MS = 1995;
constexpr UINT SPLASH_PERIOD_MS = 5000;
constexpr UINT MOUSE_QUIET_PERIOD_MS = 1000;

constexpr int SPLASH_WIDTH = 420;
constexpr int SPLASH_HEIGHT = 154;

// Process-wide flags, 0 or 1, all 0 at start.
extern int32_t Paused;
extern int32_t SplashShowing;
extern int32_t MouseQuiet;

void StartShow();
void NextSlide(bool fromTimer);
void PreviousSlide();
void TogglePause();
void ShowClosingSplash();
void RearmAdvanceTimer();
void BeginMouseQuiet();

// Clears the three flags (a new show in the same process, as tests run them).
void ResetControllerFlags();
