// The window-system core's own records, shared by its source files.
//
// Everything here belongs to the UI thread, except what message_queue.cpp
// guards with its mutex (the queue and the set of live handles).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace tarn::ws::detail {

struct WindowClass {
    std::string name;
    WNDPROC procedure = nullptr;
    UINT style = 0;
    HBRUSH background = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    ATOM atom = 0;
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<const WindowClass> windowClass;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};  // screen coordinates; the client area is the whole window
    bool visible = false;
    bool topmost = false;  // asked for itself; owned windows also inherit it
    HWND owner = nullptr;
    uint64_t serial = 0;  // creation order
    Pixels surface;

    // Update region, kept as its bounding rectangle in client coordinates.
    bool updatePending = false;
    bool erasePending = false;
    RECT update{};
    int beginPaintCount = 0;  // BeginPaint calls, to see whether WM_PAINT validated
    int paintDepth = 0;       // > 0 while the core is painting the window

    bool destroying = false;
};

struct CoreState {
    std::map<HWND, std::unique_ptr<Window>> windows;
    std::vector<HWND> stacking;  // bottom first
    std::vector<std::shared_ptr<const WindowClass>> classes;
    ATOM nextAtom = 0xC000;
    uint64_t nextSerial = 1;
    HWND focus = nullptr;
    HWND active = nullptr;
};

CoreState& Core();

// A handle value never given out before in this process (windows, GDI
// objects and device contexts share the sequence).
uintptr_t NewHandleValue();

// The pseudo-handle of the desktop window.
inline HWND DesktopHandle() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x8000)); }

Window* FindWindow(HWND window);
std::shared_ptr<const WindowClass> FindClass(const char* name);
// Tells the edge that the window changed (created, moved, shown, raised...).
void NotifyChanged(HWND window);
RECT ClientRectOf(const Window& window);
bool RectEmpty(const RECT& r);
RECT Intersect(const RECT& a, const RECT& b);
RECT Union(const RECT& a, const RECT& b);

// ---- Stacking, activation and focus (window_stacking.cpp) -------------------
bool EffectivelyTopmost(const Window& window);
// Puts the window on top of its band, its owned windows above it.
void Raise(HWND window);
// Orders the stacking list: ordinary windows, then topmost ones.
void Restack();
// Makes the window active and gives it the focus (raising it).
void Activate(HWND window);
// The window is going away or being hidden: move the focus and activation
// elsewhere if it holds them.
void ReleaseFocusFrom(HWND window);
void SetFocusInternal(HWND window);

// ---- Painting (painting.cpp) -------------------------------------------------
// Invalidates the whole client area with erasing.
void InvalidateAll(Window& window);
// Erase (if owed) then paint, then present; nothing for hidden windows or
// when no paint is owed.
void PaintNow(HWND window);
// First visible window (bottom first) that owes a paint, or nullptr.
HWND NextWindowToPaint(HWND filter);
// Resizes the surface, keeping what fits.
void ResizeSurface(Window& window, int width, int height);

// ---- Timers (timers.cpp) -----------------------------------------------------
// Takes a due timer (deadline <= now) for `filter` (nullptr: any window) and
// reschedules it on its period. False when none is due.
bool TakeDueTimer(HWND filter, int64_t now, MSG* msg);
int64_t NextDeadline(HWND filter);
void KillTimersOf(HWND window);
void ClearTimers();

// ---- Queue (message_queue.cpp) ---------------------------------------------
void MarkLive(HWND window);
// Forgets the handle and drops the messages queued for it.
void MarkDead(HWND window);
void ClearQueue();

// ---- GDI objects (gdi_objects.cpp) -------------------------------------------
// A device context drawing into the window's surface, clipped to `clip`
// (client coordinates). Freed with FreeWindowDc.
HDC NewWindowDc(HWND window, const RECT& clip);
void FreeWindowDc(HDC dc);
void ClearGdiObjects();
// The colour of a solid brush, or of a system colour given as its index + 1
// (the form of a class background). False for a hollow or unknown brush.
bool BrushPixel(HBRUSH brush, uint32_t* pixel);
// Fills the clip box of the device context.
bool FillClipBox(HDC dc, uint32_t pixel);
// New bitmap and icon objects holding the pixels.
HBITMAP NewBitmap(Pixels pixels);
HICON NewIcon(Pixels pixels);
// The system arrow cursor (a stock object).
HCURSOR ArrowCursor();

// ---- Overlays (overlays.cpp) -------------------------------------------------
void RemoveOverlaysOf(HWND owner);
void ClearOverlays();

// ---- Cross-fades (cross_fade.cpp) ------------------------------------------
// Presents a fade frame when one is due and ends a fade whose time is over.
void TickCrossFade(int64_t now);
// When the next fade frame (or the end of the fade) is due; INT64_MAX when
// no fade runs.
int64_t NextFadeFrame();
// Blends the held picture into `target`, which holds `window` as composed
// now (nothing unless a fade of `window` runs).
void BlendCrossFade(HWND window, const PixelRows& target);
// The overlay was hidden or removed; the window was destroyed; all is reset.
void FadeOverlayGone(uint64_t overlayId);
void FadeOwnerGone(HWND owner);
void ClearCrossFade();

// ---- Colours -------------------------------------------------------------------
inline uint32_t PixelOf(COLORREF colour) {
    return (static_cast<uint32_t>(GetRValue(colour)) << 16) |
           (static_cast<uint32_t>(GetGValue(colour)) << 8) | GetBValue(colour);
}

}  // namespace tarn::ws::detail
