// The sequence of a show: start, next, previous, pause and resume, the timed
// advance with its wait for the slide's sound, and the end of the show with
// or without the closing splash.
//
// Everything here runs on the user-interface thread, called from the show
// window's procedure, the control bar's pause button or the entry.
#include "controller/controller.h"

#include <algorithm>

#include "controller/advance_timer.h"
#include "media/media_player.h"
#include "show/show_record.h"
#include "ui/control_bar.h"
#include "ui/show_window.h"

namespace {

bool ShowIsTimed() {
    return (g_Show.AdvanceMethod & ADVANCE_TIMED) != 0;
}

// Signed steps of CurrentSlide that wrap instead of overflowing.
void StepCurrentSlide(int32_t delta) {
    g_Show.CurrentSlide =
        static_cast<int32_t>(static_cast<uint32_t>(g_Show.CurrentSlide) + static_cast<uint32_t>(delta));
}

// Erase and paint a window before returning.
void RepaintNow(HWND window) {
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

// Synchronous: the show window and its control bar are gone when it returns.
void CloseShowWindow() {
    SendMessageA(g_ShowWindow, WM_CLOSE, 0, 0);
}

// When the last slide change started.
DWORD g_LastChangeTick = 0;

// How long the change to the current slide fades (0: a cut). A change asked
// for within the fade time of the previous one is a cut, so that flipping
// through a show is as quick as with cuts; in a timed show a fade never
// outlasts the slide's own time.
DWORD FadeForChange(bool fromTimer) {
    const int32_t fade = g_Show.TransitionMilliseconds;
    if (fade <= 0) return 0;
    if (!fromTimer && static_cast<int32_t>(GetTickCount() - g_LastChangeTick) < fade) return 0;
    int32_t milliseconds = fade;
    if (AdvanceTimerWanted()) milliseconds = std::min(milliseconds, ReadSlideDelay());
    return static_cast<DWORD>(milliseconds);
}

// Starts the current slide's sound, then puts its picture on screen, faded
// in over `fadeMilliseconds` where the media can (two still pictures).
void PresentCurrentSlide(DWORD fadeMilliseconds) {
    MediaPlayer& media = TheMediaPlayer();
    media.StartSlideSound(ReadSoundName(), g_ShowWindow, UM_SLIDE_SOUND_EVENT);
    g_LastChangeTick = GetTickCount();
    media.ShowSlide(ReadImageName(), g_ShowWindow, fadeMilliseconds);
}

}  // namespace

void BeginMouseQuiet() {
    MouseQuiet = 1;
    KillTimer(g_ShowWindow, TIMER_MOUSE_QUIET);
    SetTimer(g_ShowWindow, TIMER_MOUSE_QUIET, MOUSE_QUIET_PERIOD_MS, nullptr);
}

void RearmAdvanceTimer() {
    if (AdvanceTimerWanted()) {
        ArmAdvanceTimer();
    }
}

void StartShow() {
    ShowControlBar();
    BeginMouseQuiet();
    MediaPlayer& media = TheMediaPlayer();
    media.Initialise();
    media.StartBackgroundSound(ReadBackgroundSound(), g_ShowWindow, UM_BACKGROUND_SOUND_EVENT);
    PresentCurrentSlide(0);
    if (AdvanceTimerWanted()) {
        ArmAdvanceTimer();
    }
}

void NextSlide(bool fromTimer) {
    BeginMouseQuiet();
    StepCurrentSlide(+1);

    if (g_Show.CurrentSlide >= g_Show.Count) {
        // Past the last slide: the show ends.
        if (ShowIsTimed()) {
            KillAdvanceTimer();
        }
        if (SplashShowing) {
            CloseShowWindow();
            return;
        }
        SplashShowing = g_Show.ShowSplash != 0 ? 1 : 0;
        if (!SplashShowing) {
            CloseShowWindow();
            return;
        }
        ShowClosingSplash();
    } else if (fromTimer && !TheMediaPlayer().MayAdvance()) {
        // The slide's sound must finish first. The timer stays armed and asks
        // again at its next expiry.
        StepCurrentSlide(-1);
        if (AdvanceTimerArmed()) {
            ContinueAdvanceSchedule();
        }
    } else {
        // A step made by TIMER_ADVANCE itself keeps the timer on its own
        // deadlines: the new slide's time counts from the deadline that ended
        // the previous one, so a timed show does not drift by the time each
        // slide takes to render or to fade in. Every other step restarts the
        // timer from now.
        const bool keepSchedule = fromTimer && AdvanceTimerArmed();
        if (ShowIsTimed() && !keepSchedule) {
            KillAdvanceTimer();
        }
        PresentCurrentSlide(FadeForChange(fromTimer));
        if (keepSchedule) {
            ContinueAdvanceSchedule();
        } else {
            RearmAdvanceTimer();
        }
    }

    // The bar's previous and next pictures follow the new position.
    RepaintNow(g_ControlBarWindow);
}

void PreviousSlide() {
    if (SplashShowing) {
        return;
    }
    BeginMouseQuiet();
    if (g_Show.CurrentSlide < 1) {
        return;
    }
    StepCurrentSlide(-1);
    if (ShowIsTimed()) {
        KillAdvanceTimer();
    }
    PresentCurrentSlide(FadeForChange(false));
    RearmAdvanceTimer();
    RepaintNow(g_ControlBarWindow);
}

void TogglePause() {
    MediaPlayer& media = TheMediaPlayer();
    if (Paused) {
        media.ResumeSounds();
        KillAdvanceTimer();
        // Only a timed show with a positive delay runs its timer again, so a
        // pause and resume never makes a manual show timed.
        if (AdvanceTimerWanted()) {
            ArmAdvanceTimer();
        }
        Paused = 0;
    } else {
        media.PauseSounds();
        KillAdvanceTimer();
        Paused = 1;
    }
}

void ShowClosingSplash() {
    RECT client{};
    GetClientRect(g_ShowWindow, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    MoveWindow(g_ShowWindow, (width - SPLASH_WIDTH) / 2, (height - SPLASH_HEIGHT) / 2, SPLASH_WIDTH,
               SPLASH_HEIGHT, TRUE);
    SetTimer(g_ShowWindow, TIMER_SPLASH, SPLASH_PERIOD_MS, nullptr);
    CheckControlBar();
    MediaPlayer& media = TheMediaPlayer();
    media.StopSounds();
    media.Teardown();
    RepaintNow(g_ShowWindow);
}
