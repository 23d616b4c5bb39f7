// The window-system core behind the Windows functions of win32.h, and the
// pieces outside the Windows vocabulary that the edges, the media and the
// tests need: the edge interface, video overlays and inspection.
//
// The core is deterministic: windows, one message queue, timers on the
// deadlines of the installed clock, painting into per-window pixel surfaces.
// An edge connects it to a real screen (SDL) or to a test (headless).
//
// Behaviour worth knowing when writing against it:
// - Fetch order: posted and input messages in arrival order, then the quit
//   message, then paints owed by visible windows, then due timers.
// - A periodic timer's next deadline is its previous deadline plus its
//   period; one that fell a period or more behind skips ahead (no bursts).
// - Showing a window, or resizing a visible one with repaint, owes it a full
//   erase-and-paint, done when the queue is next fetched (or at once by
//   UpdateWindow). Hidden windows are never painted.
// - Showing a window with an activating command, SetWindowPos without
//   SWP_NOACTIVATE on a visible window, and a click activate the window: it
//   is raised and takes the focus. Hiding or destroying the focus window
//   hands the focus to its visible owner, else to the highest visible window.
// - Windows have no frames; parent and owner are the same thing here, and
//   positions are always screen coordinates.
// - UI thread only, except PostMessageA and IsWindow, which any thread may
//   call.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/win32.h"

namespace tarn::ws {

// A 32-bit pixel picture, 0x00RRGGBB per pixel, rows top to bottom.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> data;
    uint32_t At(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
};

// A decoded video picture the media put on screen. Immutable once shared.
using VideoFrame = Pixels;

// What an edge sees of a window when it presents it.
struct WindowView {
    HWND handle = nullptr;
    RECT rect{};            // screen position and size
    bool visible = false;
    bool topmost = false;
    HWND owner = nullptr;
    bool isPopupBar = false;  // the owned floating bar (a window with an owner)
    HICON icon = nullptr;     // its class's icon, for the desktop's task list
};

// The connection of the core to the outside world. All calls come on the UI
// thread except Wake, which any thread may call.
class Edge {
public:
    virtual ~Edge() = default;
    // Screen size, used for SM_CXSCREEN / SM_CYSCREEN and the maximised size.
    virtual int ScreenWidth() const = 0;
    virtual int ScreenHeight() const = 0;
    // Blocks until input arrives (translated into messages with
    // PostInputMessage), Wake is called, or the clock reaches deadlineMicros
    // (INT64_MAX: no deadline). May return early.
    virtual void WaitForEvents(int64_t deadlineMicros) = 0;
    virtual void Wake() = 0;
    // A window was created, moved, resized, shown, hidden, raised or destroyed.
    virtual void WindowChanged(HWND window) = 0;
    virtual void WindowDestroyed(HWND window) = 0;
    // The window's surface or its video overlay changed and should be shown.
    virtual void Present(HWND window) = 0;
    // The keyboard focus moved to `window` (nullptr: no window).
    virtual void FocusChanged(HWND window) = 0;
    // Pointer position in screen pixels; false when it cannot be read.
    virtual bool CursorPos(POINT* point) = 0;
    // The UI thread is about to wait for something else (the show's first
    // picture): an edge may make ready what the next present will need,
    // without putting anything on screen.
    virtual void PrepareWindows() {}
    // Puts `window` on screen before returning, instead of at the next wait
    // (an edge that shows nothing need not do anything).
    virtual void PresentImmediately(HWND) {}
};

// Installs the edge (not owned). The core starts with a headless edge of
// 1024 x 768 on the current clock when none is installed.
void InstallEdge(Edge* edge);
Edge& CurrentEdge();
// The installed edge, nullptr while the core uses its fallback.
Edge* InstalledEdge();

// Destroys every window, class, timer, queued message and GDI object, and
// forgets the quit state. For tests that run several shows in one process.
void ResetWindowSystem();

// Paints `window` if it needs it and has the edge put it on screen at once:
// for a new picture whose time on screen counts from now.
void PresentWindowNow(HWND window);

// Queues an input message for `window` (from an edge, on the UI thread).
// Keys are delivered to the focus window by the caller's choice of `window`.
// A button-down message activates the window's top-level window at once
// (it becomes the foreground window and takes the focus), as a click does.
void PostInputMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The clock time (microseconds) of the next due timer; INT64_MAX when none.
int64_t NextTimerDeadline();

// Handles every message that is queued or due by now without waiting;
// returns false once the quit message has been taken.
bool PumpPending();

// Exit code of the quit message, once one has been posted.
bool QuitPosted(int* exitCode);

// ---- Video overlays: the picture of a slide inside its owner window --------
// Each media graph owns at most one overlay, named by the graph's number.
// The overlay is drawn above the owner's surface at `rect` (client
// coordinates of the owner), the frame scaled to the rect if sizes differ.
void SetVideoOverlay(HWND owner, uint64_t overlayId, const RECT& rect,
                     std::shared_ptr<const VideoFrame> frame, bool visible);
void RemoveVideoOverlay(uint64_t overlayId);

// The overlays of `owner` in drawing order (lowest id first), for edges that
// draw the pictures themselves instead of calling Compose.
struct OverlayView {
    uint64_t id = 0;
    RECT rect{};
    std::shared_ptr<const VideoFrame> frame;
    bool visible = false;
};
std::vector<OverlayView> VideoOverlays(HWND owner);

// ---- Cross-fades: one still picture dissolving into the next --------------
// The picture leaving is held (its overlays' frames are shared, not copied)
// and blended with the window as composed now, by the fraction of the fade
// that has passed on the process clock. While a fade runs the core has the
// edge present the window about every kFadeFrameMicros; Compose and
// ComposeInto draw the blend. A fade ends at its time, by FinishCrossFade,
// or when its entering overlay is hidden or removed.
constexpr int64_t kFadeFrameMicros = 1000000 / 60;

// Holds the visible overlays of `owner` as the picture the next fade starts
// from, for a fade of `durationMicros`; nothing is held when `owner` shows
// no picture or any of its overlays fails `fadable`. A held picture from
// before and a running fade end first.
void HoldPictureForFade(HWND owner, int64_t durationMicros,
                        const std::function<bool(uint64_t overlayId)>& fadable);
// Lets go of the held picture (no fade took it up).
void ReleaseHeldPicture();
// The overlay `enteringId` of `owner` has been placed: when a picture is
// held for `owner`, it fades into the window from now on.
void StartCrossFade(HWND owner, uint64_t enteringId);
// Ends a running fade at once (the window is presented whole) and lets go
// of a held picture.
void FinishCrossFade();
bool CrossFadeRunning();

// ---- Inspection (edges and tests) ------------------------------------------
std::vector<WindowView> Windows();  // in stacking order, bottom first
WindowView View(HWND window);
// The window's own surface (what its WM_ERASEBKGND / WM_PAINT drew).
const Pixels* Surface(HWND window);
// The window as it would look on screen: surface with its visible overlays.
Pixels Compose(HWND window);
// Rows of 0x00RRGGBB pixels held elsewhere (a screen surface), `stride`
// pixels from the start of one row to the next.
struct PixelRows {
    uint32_t* data = nullptr;
    int width = 0;
    int height = 0;
    size_t stride = 0;
};
// Composes the window as Compose does, straight into the top left of
// `target`; what the window's surface does not reach is black. Each target
// pixel is written once: a slide change puts its picture on screen without
// an intermediate copy of the whole window.
void ComposeInto(HWND window, const PixelRows& target);
// Armed timers as (window, id, period ms) for tests.
struct TimerView {
    HWND window;
    UINT_PTR id;
    UINT periodMs;
    int64_t deadlineMicros;
};
std::vector<TimerView> Timers();
// True while the window has an update region (a paint is owed).
bool PaintPending(HWND window);
// The pixels of a bitmap (LoadBitmapA) or an icon (LoadIconA); nullptr for
// anything else. Valid until the object is deleted or the system reset.
const Pixels* BitmapPixels(HBITMAP bitmap);
const Pixels* IconPixels(HICON icon);

// Metrics of this window system. Windows have no frames: the client area is
// the whole window, whatever the style. The border and dialog-frame widths
// are the classic values, reported for code that sizes windows with them.
constexpr int kBorderWidth = 1;        // SM_CXBORDER, SM_CYBORDER
constexpr int kDialogFrameWidth = 3;   // SM_CXDLGFRAME, SM_CYDLGFRAME
// SetTimer periods below this are raised to it, as on Windows.
constexpr UINT kMinimumTimerPeriodMs = 10;

}  // namespace tarn::ws
