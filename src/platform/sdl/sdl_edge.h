// The window system's edge to a real screen through SDL2.
//
// Each visible core window gets one SDL window, made the first time the core
// window is shown: the owner-less show window a borderless window, the owned
// bar an override-redirect popup without a taskbar entry. SDL's keys, mouse
// buttons, motion and close requests become the core's input messages; the
// core's windows are presented by copying Compose(window) into the SDL
// window's surface.
//
// The core's screen is the monitor SDL calls display 0. Where a window
// manager runs (an EWMH one on X, or a Wayland compositor) a screen-sized
// owner-less window is full screen in its sense, above the desktop's panels;
// a window it is asked to make smaller leaves that state first. When a
// manager does not give a window the place the core has for it, the window
// shows the core's picture at its place within the one it got, the rest
// black.
//
// Presenting is deferred until the UI thread is about to wait: every change a
// message handler makes (a slide's picture removed, the next one placed, the
// bar repainted) reaches the screen together, so a slide change never shows
// the bare background between two pictures. When the next picture comes a
// moment later (a clip's first frame), the last one stays until it does, for
// a short while at most.
#pragma once

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <vector>

#include "platform/window_system.h"

namespace tarn::ws {

// Sets the SDL hints the edge relies on; call before SDL_Init.
void ApplySdlWindowHints();

class SdlEdge final : public Edge {
public:
    // SDL's video subsystem must be initialised.
    SdlEdge();
    ~SdlEdge() override;
    SdlEdge(const SdlEdge&) = delete;
    SdlEdge& operator=(const SdlEdge&) = delete;

    int ScreenWidth() const override { return screenWidth_; }
    int ScreenHeight() const override { return screenHeight_; }
    void WaitForEvents(int64_t deadlineMicros) override;
    void Wake() override;
    void WindowChanged(HWND window) override;
    void WindowDestroyed(HWND window) override;
    void Present(HWND window) override;
    void FocusChanged(HWND window) override;
    bool CursorPos(POINT* point) override;
    // Makes the SDL window of every window the core shows, still hidden, with
    // its surface's memory touched, so that the first present only copies
    // the pictures and maps it.
    void PrepareWindows() override;
    // Shows and presents this one window now; the others, which may not be
    // painted yet, wait for the next flush.
    void PresentImmediately(HWND window) override;

    // Brings the SDL windows in line with the core (creation, geometry,
    // visibility, stacking, focus) and presents every window that changed.
    // WaitForEvents does this before it waits.
    void Flush();
    // Translates one SDL event into input messages of the core.
    void HandleEvent(const SDL_Event& event);
    // Translates a batch of events taken from SDL's queue together; a motion
    // that only reports the pointer leaving its window is dropped.
    void HandleEvents(const std::vector<SDL_Event>& events);

    // The SDL window that shows `window`, or nullptr (tests, screenshots).
    SDL_Window* NativeWindow(HWND window) const;
    // How many times the window's picture was copied to the screen.
    int PresentCount(HWND window) const;
    // The shown windows in the order they are stacked on screen, bottom first.
    std::vector<HWND> StackedWindows() const;

private:
    struct Native {
        SDL_Window* window = nullptr;
        RECT applied{};        // geometry last given to SDL
        bool fullScreen = false;  // asked to be full screen
        SDL_Rect placed{};     // where the window really is, on the screen
        bool shown = false;    // mapped on screen
        bool changed = true;   // geometry or visibility to bring in line
        bool dirty = true;     // picture to present
        bool exposed = false;  // the X server lost some of the window's pixels
        bool resized = true;   // the surface is new: present whatever it shows
        bool showedPicture = false;  // the last present had a video picture
        int64_t holdUntil = 0;       // keeping the last picture until then
        int64_t repaintAt = 0;       // presenting once more then (0: not planned)
        int repaints = 0;            // repaints planned after a change of place
        int presents = 0;
    };

    Native& Entry(HWND window);
    HWND WindowOfSdlId(Uint32 id) const;
    bool IsLeaveMotion(const std::vector<SDL_Event>& events, size_t index) const;
    bool CreateNative(const WindowView& view, Native& native);
    void Sync(HWND window, Native& native);
    void PresentNow(HWND window, Native& native);
    static bool HasVisiblePicture(HWND window);
    // True while the window's last picture stays on screen instead of a
    // present that would show the window without any picture.
    bool HoldLastPicture(HWND window, Native& native);
    void Restack(const std::vector<WindowView>& views);
    void ApplyFocus();
    HWND TopLevelShowWindow() const;
    // The rectangle on the screen of a rectangle of the core.
    SDL_Rect OnScreen(const RECT& rect) const;
    bool IsWholeScreen(const RECT& rect) const;
    // Waits a moment for the window manager to give `native` the place
    // asked for; when it keeps another, the window goes (back) to full
    // screen and shows the core's picture within that.
    void SettlePlace(const WindowView& view, Native& native);
    void AskFullScreen(Native& native, bool fullScreen);
    // Plans presents of `native` shortly after a change of place, and marks
    // it for one when the next is due.
    void PlanRepaints(Native& native);
    void RepaintWhenDue(Native& native);

    int screenLeft_ = 0;
    int screenTop_ = 0;
    int screenWidth_ = 1024;
    int screenHeight_ = 768;
    bool managed_ = false;  // a window manager handles full screen and places windows
    Uint32 wakeEventType_ = 0;
    std::atomic<bool> wakePending_{false};
    std::map<HWND, Native> natives_;
    std::vector<HWND> stacked_;  // shown windows as stacked on screen, bottom first
    bool focusChanged_ = false;
};

}  // namespace tarn::ws
