#include "platform/sdl/sdl_edge.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iterator>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/sdl/input_map.h"
#include "platform/sdl/surface_copy.h"
#include "platform/sdl/x_desktop.h"

namespace tarn::ws {

namespace {

// The longest single wait. Wake interrupts any wait; the cap only bounds how
// long a lost wake-up could keep the UI thread asleep.
constexpr int64_t kMaxWaitMicros = 500'000;

// How long a window keeps its last picture on screen after the picture was
// taken away without a new one: a clip's first frame comes from its decoder a
// moment after the slide change, and the bare background must not flash up
// in between. A slide that shows no picture at all appears this much later.
constexpr int64_t kPictureHoldMicros = 300'000;

// How long a window manager may take to give a window the place it was
// asked for before the window makes do with the one it has.
constexpr int64_t kSettleMicros = 500'000;

// After a window manager has given a window a new place, its compositor can
// still show the window's earlier picture, or nothing, for a moment (mutter
// at times shows the splash's window black): the window presents again at
// these delays, one after the other.
constexpr int64_t kRepaintMicros[] = {100'000, 300'000, 1'000'000};

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool SameRect(const SDL_Rect& a, const SDL_Rect& b) { return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h; }

}  // namespace

void ApplySdlWindowHints() {
    // Motion after a click on the other window would otherwise be reported
    // against the wrong window with wrong coordinates.
    SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
    // A click right after a focus change would otherwise be dropped.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // Window surfaces stay plain shared-memory images; otherwise SDL re-creates
    // the X window on first use, which costs about 100 ms.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Closing the last window is the window procedures' business, not a quit.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // The player is a screen saver of sorts; the desktop's own must not blank it.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
    // Showing a window must not grab the pointer or keyboard.
    SDL_SetHint(SDL_HINT_GRAB_KEYBOARD, "0");
    // The full-screen show stays when the focus goes elsewhere (the bar, a
    // dialog of the desktop).
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // The show window asks to stay composited instead (X11KeepComposited).
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
}

SdlEdge::SdlEdge() {
    SDL_Rect bounds{};
    SDL_DisplayMode mode;
    if (SDL_GetDisplayBounds(0, &bounds) == 0 && bounds.w > 0 && bounds.h > 0) {
        screenLeft_ = bounds.x;
        screenTop_ = bounds.y;
        screenWidth_ = bounds.w;
        screenHeight_ = bounds.h;
    } else if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
        screenWidth_ = mode.w;
        screenHeight_ = mode.h;
    }
    // Without a window manager an X window gets the place it asks for at
    // once, above the others; full screen would only cost time there (SDL
    // waits for the answer of a manager that is not there). A Wayland
    // compositor places every window itself.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver != nullptr && std::strcmp(driver, "x11") == 0) {
        managed_ = X11WindowManagerRuns();
    } else {
        managed_ = driver != nullptr && std::strcmp(driver, "wayland") == 0;
    }
    wakeEventType_ = SDL_RegisterEvents(1);
}

SDL_Rect SdlEdge::OnScreen(const RECT& rect) const {
    return SDL_Rect{screenLeft_ + rect.left, screenTop_ + rect.top, Width(rect), Height(rect)};
}

bool SdlEdge::IsWholeScreen(const RECT& rect) const {
    return rect.left == 0 && rect.top == 0 && Width(rect) == screenWidth_ && Height(rect) == screenHeight_;
}

SdlEdge::~SdlEdge() {
    for (auto& [handle, native] : natives_) {
        if (native.window != nullptr) SDL_DestroyWindow(native.window);
    }
}

SdlEdge::Native& SdlEdge::Entry(HWND window) { return natives_[window]; }

HWND SdlEdge::WindowOfSdlId(Uint32 id) const {
    for (const auto& [handle, native] : natives_) {
        if (native.window != nullptr && SDL_GetWindowID(native.window) == id) return handle;
    }
    return nullptr;
}

SDL_Window* SdlEdge::NativeWindow(HWND window) const {
    auto found = natives_.find(window);
    return found == natives_.end() ? nullptr : found->second.window;
}

int SdlEdge::PresentCount(HWND window) const {
    auto found = natives_.find(window);
    return found == natives_.end() ? 0 : found->second.presents;
}

// ---- Core notifications -----------------------------------------------------

void SdlEdge::WindowChanged(HWND window) { Entry(window).changed = true; }

void SdlEdge::WindowDestroyed(HWND window) {
    auto found = natives_.find(window);
    if (found == natives_.end()) return;
    if (found->second.window != nullptr) SDL_DestroyWindow(found->second.window);
    natives_.erase(found);
    std::erase(stacked_, window);
}

void SdlEdge::Present(HWND window) { Entry(window).dirty = true; }

void SdlEdge::FocusChanged(HWND) { focusChanged_ = true; }

bool SdlEdge::CursorPos(POINT* point) {
    if (point == nullptr || SDL_WasInit(SDL_INIT_VIDEO) == 0) return false;
    int x = 0;
    int y = 0;
    SDL_Window* any = nullptr;
    for (const auto& [handle, native] : natives_) {
        if (native.window != nullptr) any = native.window;
    }
    if (!X11PointerPosition(any, &x, &y)) SDL_GetGlobalMouseState(&x, &y);
    point->x = x - screenLeft_;
    point->y = y - screenTop_;
    return true;
}

// ---- Bringing the screen in line with the core -------------------------------

namespace {

// Gives `window` the pixels of `icon` (a task list or window switcher shows
// them); a window without one keeps the desktop's default.
void SetIcon(SDL_Window* window, HICON icon) {
    const Pixels* pixels = icon != nullptr ? IconPixels(icon) : nullptr;
    if (pixels == nullptr || pixels->width <= 0 || pixels->height <= 0 ||
        pixels->data.size() < static_cast<size_t>(pixels->width) * pixels->height) {
        return;
    }
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint32_t*>(pixels->data.data()), pixels->width, pixels->height, 32,
        pixels->width * 4, SDL_PIXELFORMAT_RGB888);
    if (surface == nullptr) return;
    SDL_SetWindowIcon(window, surface);  // SDL keeps its own copy
    SDL_FreeSurface(surface);
}

}  // namespace

// Makes the hidden SDL window of `view`; false when SDL cannot.
bool SdlEdge::CreateNative(const WindowView& view, Native& native) {
    // The owned bar is an override-redirect popup: a window manager keeps
    // it above a screen-sized window, it takes no focus by itself and it
    // has no taskbar entry. The show window is borderless and resizable
    // (without RESIZABLE a resize would raise it above the bar); screen-sized
    // under a window manager, it maps full screen at once.
    Uint32 kind = view.owner != nullptr ? SDL_WINDOW_POPUP_MENU | SDL_WINDOW_SKIP_TASKBAR
                                        : SDL_WINDOW_BORDERLESS | SDL_WINDOW_RESIZABLE;
    const SDL_Rect place = OnScreen(view.rect);
    native.window = SDL_CreateWindow("", place.x, place.y, place.w, place.h, kind | SDL_WINDOW_HIDDEN);
    if (native.window == nullptr) return false;
    if (view.owner == nullptr) SetIcon(native.window, view.icon);
    if (view.owner == nullptr && managed_) X11KeepComposited(native.window);
    if (view.owner == nullptr && managed_ && IsWholeScreen(view.rect)) AskFullScreen(native, true);
    native.placed = place;
    native.applied = view.rect;
    native.dirty = true;
    native.resized = true;
    return true;
}

void SdlEdge::PrepareWindows() {
    for (const WindowView& view : Windows()) {
        if (!view.visible || Width(view.rect) <= 0 || Height(view.rect) <= 0) continue;
        Native& native = Entry(view.handle);
        if (native.window != nullptr || !CreateNative(view, native)) continue;
        native.changed = true;  // the next flush shows it
        // A new surface's pages are mapped on first write: write them now
        // (black, which nobody sees while the window is hidden).
        if (SDL_Surface* surface = SDL_GetWindowSurface(native.window)) SDL_FillRect(surface, nullptr, 0);
    }
}

void SdlEdge::PresentImmediately(HWND window) {
    auto found = natives_.find(window);
    if (found == natives_.end()) {
        if (!View(window).visible) return;
        found = natives_.emplace(window, Native{}).first;
    }
    Native& native = found->second;
    if (native.changed) Sync(window, native);
    if (native.shown && native.dirty && !HoldLastPicture(window, native)) PresentNow(window, native);
}

void SdlEdge::Sync(HWND window, Native& native) {
    native.changed = false;
    const WindowView view = View(window);
    const bool wantShown = view.visible && Width(view.rect) > 0 && Height(view.rect) > 0;

    if (native.window == nullptr) {
        if (!wantShown || !CreateNative(view, native)) return;
    } else if (!SameRect(native.applied, view.rect) && Width(view.rect) > 0 && Height(view.rect) > 0) {
        const SDL_Rect place = OnScreen(view.rect);
        const bool fullScreen = view.owner == nullptr && managed_ && IsWholeScreen(view.rect);
        // A window manager sizes a full-screen window itself: it leaves that
        // state before it is made smaller.
        if (native.fullScreen && !fullScreen) AskFullScreen(native, false);
        // Size first, then position: this order works with and without a
        // window manager when the show window shrinks to the splash.
        if (!native.fullScreen) {
            if (Width(native.applied) != place.w || Height(native.applied) != place.h) {
                SDL_SetWindowSize(native.window, place.w, place.h);
            }
            SDL_SetWindowPosition(native.window, place.x, place.y);
        }
        if (fullScreen && !native.fullScreen) AskFullScreen(native, true);
        native.applied = view.rect;
        native.placed = place;
        native.dirty = true;
        native.resized = true;
        if (managed_ && native.shown && view.owner == nullptr) SettlePlace(view, native);
    }

    if (wantShown && !native.shown) {
        // The picture goes into the surface before the window maps and is put
        // on screen right after: the window never shows empty.
        if (native.dirty) PresentNow(window, native);
        SDL_ShowWindow(native.window);
        native.shown = true;
        stacked_.push_back(window);  // a window maps on top of the others
        if (!native.dirty) SDL_UpdateWindowSurface(native.window);
        focusChanged_ = true;  // mapping moves the keyboard focus to the new window
        return;
    }
    if (!wantShown && native.shown) {
        SDL_HideWindow(native.window);
        native.shown = false;
        std::erase(stacked_, window);
        focusChanged_ = true;  // hiding a focused X window leaves the focus on nothing
    }
}

void SdlEdge::AskFullScreen(Native& native, bool fullScreen) {
    // On X the request goes to the window manager directly; SDL's way waits
    // for the manager's answer on every change.
    if (!X11AskFullScreen(native.window, fullScreen)) {
        SDL_SetWindowFullscreen(native.window, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    }
    native.fullScreen = fullScreen;
}

void SdlEdge::SettlePlace(const WindowView& view, Native& native) {
    const SDL_Rect wanted = OnScreen(view.rect);
    const int64_t until = CurrentClock().NowMicros() + kSettleMicros;
    SDL_Rect got{};
    for (;;) {
        if (!X11WindowRect(native.window, &got)) return;  // nothing to tell: as asked
        if (SameRect(got, wanted)) {
            PlanRepaints(native);
            return;
        }
        if (CurrentClock().NowMicros() >= until) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // The manager keeps the window elsewhere (one it counts as maximized
    // keeps its size): full screen, where the whole of the core's window
    // shows at its place.
    if (!native.fullScreen) AskFullScreen(native, true);
    native.placed = SDL_Rect{screenLeft_, screenTop_, screenWidth_, screenHeight_};
    PlanRepaints(native);
}

void SdlEdge::PlanRepaints(Native& native) {
    native.repaints = 0;
    native.repaintAt = CurrentClock().NowMicros() + kRepaintMicros[0];
}

void SdlEdge::RepaintWhenDue(Native& native) {
    if (native.repaintAt == 0 || CurrentClock().NowMicros() < native.repaintAt) return;
    native.dirty = true;
    native.exposed = true;
    ++native.repaints;
    constexpr int kPlanned = static_cast<int>(std::size(kRepaintMicros));
    native.repaintAt = native.repaints < kPlanned
                           ? native.repaintAt - kRepaintMicros[native.repaints - 1] + kRepaintMicros[native.repaints]
                           : 0;
}

void SdlEdge::PresentNow(HWND window, Native& native) {
    SDL_Surface* surface = SDL_GetWindowSurface(native.window);
    if (surface == nullptr) return;
    const SDL_Rect wanted = OnScreen(View(window).rect);
    const bool composed = SameRect(native.placed, wanted)
                              ? ComposeToSurface(window, surface)
                              : ComposeToSurfaceAt(window, surface, wanted.x - native.placed.x,
                                                   wanted.y - native.placed.y);
    if (!composed) return;
    if (native.shown) SDL_UpdateWindowSurface(native.window);
    native.dirty = false;
    native.exposed = false;
    native.resized = false;
    native.holdUntil = 0;
    native.showedPicture = HasVisiblePicture(window);
    ++native.presents;
}

bool SdlEdge::HasVisiblePicture(HWND window) {
    for (const OverlayView& overlay : VideoOverlays(window)) {
        if (overlay.visible && overlay.frame && overlay.rect.right > overlay.rect.left &&
            overlay.rect.bottom > overlay.rect.top) {
            return true;
        }
    }
    return false;
}

bool SdlEdge::HoldLastPicture(HWND window, Native& native) {
    if (!native.showedPicture || native.resized || HasVisiblePicture(window)) return false;
    const int64_t now = CurrentClock().NowMicros();
    if (native.holdUntil == 0) native.holdUntil = now + kPictureHoldMicros;
    if (now >= native.holdUntil) return false;
    // Uncovered parts get the picture the surface still holds.
    if (native.exposed) SDL_UpdateWindowSurface(native.window);
    native.exposed = false;
    return true;
}

void SdlEdge::Restack(const std::vector<WindowView>& views) {
    // Without a window manager stacking is the order of mapping and raising.
    // From the lowest window whose place differs from the core's order
    // upwards, every shown window is raised again, bottom first.
    std::vector<HWND> wanted;
    for (const WindowView& view : views) {
        auto found = natives_.find(view.handle);
        if (found != natives_.end() && found->second.shown) wanted.push_back(view.handle);
    }
    size_t same = 0;
    while (same < wanted.size() && same < stacked_.size() && wanted[same] == stacked_[same]) ++same;
    if (same == wanted.size() && wanted.size() == stacked_.size()) return;
    for (size_t i = same; i < wanted.size(); ++i) SDL_RaiseWindow(natives_[wanted[i]].window);
    if (same < wanted.size()) focusChanged_ = true;  // a raise may ask for activation
    stacked_ = wanted;
}

std::vector<HWND> SdlEdge::StackedWindows() const { return stacked_; }

void SdlEdge::ApplyFocus() {
    focusChanged_ = false;
    auto found = natives_.find(GetFocus());
    if (found == natives_.end() || !found->second.shown) return;
    // Showing a window without a window manager forces the keyboard focus onto
    // it; put it back where the core has it.
    SDL_SetWindowInputFocus(found->second.window);
}

void SdlEdge::Flush() {
    const std::vector<WindowView> views = Windows();
    for (const WindowView& view : views) {
        auto found = natives_.find(view.handle);
        if (found == natives_.end()) {
            if (!view.visible) continue;
            found = natives_.emplace(view.handle, Native{}).first;
        }
        if (found->second.changed) Sync(view.handle, found->second);
    }
    Restack(views);

    for (const WindowView& view : views) {
        auto found = natives_.find(view.handle);
        if (found != natives_.end() && found->second.shown) RepaintWhenDue(found->second);
        if (found == natives_.end() || !found->second.shown || !found->second.dirty) continue;
        if (HoldLastPicture(view.handle, found->second)) continue;
        PresentNow(view.handle, found->second);
    }
    if (focusChanged_) ApplyFocus();
}

// ---- Waiting and input --------------------------------------------------------

void SdlEdge::Wake() {
    if (wakePending_.exchange(true)) return;  // one wake-up in the queue is enough
    SDL_Event event;
    SDL_zero(event);
    event.type = wakeEventType_;
    if (SDL_PushEvent(&event) != 1) wakePending_ = false;
}

void SdlEdge::WaitForEvents(int64_t deadlineMicros) {
    Flush();
    for (const auto& [handle, native] : natives_) {
        if (native.holdUntil != 0) deadlineMicros = std::min(deadlineMicros, native.holdUntil);
        if (native.repaintAt != 0) deadlineMicros = std::min(deadlineMicros, native.repaintAt);
    }
    SDL_Event event;
    const int64_t now = CurrentClock().NowMicros();
    int got = 0;
    if (deadlineMicros <= now) {
        got = SDL_PollEvent(&event);
    } else {
        const int64_t remaining =
            deadlineMicros == INT64_MAX ? kMaxWaitMicros : std::min(deadlineMicros - now, kMaxWaitMicros);
        got = SDL_WaitEventTimeout(&event, static_cast<int>((remaining + 999) / 1000));
    }
    std::vector<SDL_Event> events;
    while (got == 1) {
        events.push_back(event);
        got = SDL_PollEvent(&event);
    }
    HandleEvents(events);
}

void SdlEdge::HandleEvents(const std::vector<SDL_Event>& events) {
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i].type == SDL_MOUSEMOTION && IsLeaveMotion(events, i)) continue;
        HandleEvent(events[i]);
    }
}

// When the pointer leaves a window, SDL reports one more motion for it, at
// the crossing point pulled inside the window, right before the window's
// LEAVE event. The pointer is then over another window (or outside them
// all), so that motion is not the window's: on the desktop the player is
// written for, a window only hears of positions where it is the one under
// the pointer.
bool SdlEdge::IsLeaveMotion(const std::vector<SDL_Event>& events, size_t index) const {
    const Uint32 window = events[index].motion.windowID;
    for (size_t next = index + 1; next < events.size(); ++next) {
        const SDL_Event& later = events[next];
        if (later.type == wakeEventType_) continue;
        return later.type == SDL_WINDOWEVENT && later.window.event == SDL_WINDOWEVENT_LEAVE &&
               later.window.windowID == window;
    }
    return false;
}

HWND SdlEdge::TopLevelShowWindow() const {
    const std::vector<WindowView> views = Windows();
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        if (it->owner == nullptr && it->visible) return it->handle;
    }
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        if (it->owner == nullptr) return it->handle;
    }
    return nullptr;
}

void SdlEdge::HandleEvent(const SDL_Event& event) {
    if (event.type == wakeEventType_) {
        wakePending_ = false;
        return;
    }
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            // Keys go to the window that has the keyboard focus in the core;
            // with no focus window they are lost.
            const UINT key = VirtualKeyFromSdl(event.key.keysym.sym);
            HWND target = GetFocus();
            if (key == 0 || target == nullptr) return;
            if (event.type == SDL_KEYDOWN) {
                PostInputMessage(target, WM_KEYDOWN, key,
                                 KeyDownParam(event.key.keysym.scancode, event.key.repeat != 0));
            } else {
                const LPARAM up = KeyDownParam(event.key.keysym.scancode, true) |
                                  static_cast<LPARAM>(static_cast<uint32_t>(1u) << 31);
                PostInputMessage(target, WM_KEYUP, key, up);
            }
            return;
        }
        case SDL_MOUSEMOTION: {
            HWND target = WindowOfSdlId(event.motion.windowID);
            if (target == nullptr) return;
            PostInputMessage(target, WM_MOUSEMOVE, MouseKeyState(event.motion.state),
                             MousePointParam(event.motion.x, event.motion.y));
            return;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            HWND target = WindowOfSdlId(event.button.windowID);
            const UINT message = MouseButtonMessage(event.button.button, event.type == SDL_MOUSEBUTTONDOWN);
            if (target == nullptr || message == 0) return;
            PostInputMessage(target, message, MouseKeyState(SDL_GetMouseState(nullptr, nullptr)),
                             MousePointParam(event.button.x, event.button.y));
            return;
        }
        case SDL_WINDOWEVENT: {
            HWND target = WindowOfSdlId(event.window.windowID);
            if (target == nullptr) return;
            switch (event.window.event) {
                case SDL_WINDOWEVENT_CLOSE:
                    PostInputMessage(target, WM_CLOSE, 0, 0);
                    break;
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SHOWN:
                case SDL_WINDOWEVENT_SIZE_CHANGED: {
                    // X windows here have no background: redraw whatever was
                    // uncovered, and all of it once a window manager (and
                    // its compositor) has mapped the window.
                    Native& native = Entry(target);
                    native.dirty = true;
                    native.exposed = true;
                    break;
                }
                default:
                    break;
            }
            return;
        }
        case SDL_QUIT: {
            // A quit request from outside (an interrupt or termination signal):
            // close the show the way the Escape key does.
            HWND show = TopLevelShowWindow();
            if (show != nullptr) PostInputMessage(show, WM_CLOSE, 0, 0);
            return;
        }
        default:
            return;
    }
}

}  // namespace tarn::ws
