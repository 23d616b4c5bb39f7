// Invalidation and painting.
//
// A window keeps the bounding rectangle of what needs repainting and whether
// the background must be erased first. Painting a window sends
// WM_ERASEBKGND (when owed, with a device context clipped to the update
// rectangle) and then WM_PAINT, and hands the result to the edge. Paints
// happen at once in UpdateWindow, or when the queue is fetched and nothing
// is posted. Hidden windows are not painted; showing a window, or resizing
// a visible one with repaint, owes a full paint.
#include "platform/window/core_state.h"
#include "platform/window/pixel_ops.h"

namespace tarn::ws::detail {

namespace {

void Invalidate(Window& w, const RECT& area, bool erase) {
    const RECT clipped = Intersect(area, ClientRectOf(w));
    if (RectEmpty(clipped)) return;
    w.update = w.updatePending ? Union(w.update, clipped) : clipped;
    w.updatePending = true;
    w.erasePending = w.erasePending || erase;
}

void Validate(Window& w) {
    w.updatePending = false;
    w.erasePending = false;
    w.update = RECT{0, 0, 0, 0};
}

// Sends WM_ERASEBKGND for the update rectangle; false if the handler
// destroyed the window.
bool Erase(HWND window) {
    Window* w = FindWindow(window);
    w->erasePending = false;
    const HDC dc = NewWindowDc(window, w->update);
    SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    FreeWindowDc(dc);
    return FindWindow(window) != nullptr;
}

}  // namespace

void InvalidateAll(Window& window) { Invalidate(window, ClientRectOf(window), true); }

void PaintNow(HWND window) {
    Window* w = FindWindow(window);
    if (w == nullptr || !w->visible || !w->updatePending || w->destroying) return;
    ++w->paintDepth;
    if (w->erasePending && !Erase(window)) return;
    w = FindWindow(window);
    const int beginPaints = w->beginPaintCount;
    SendMessageA(window, WM_PAINT, 0, 0);
    w = FindWindow(window);
    if (w == nullptr) return;
    // A procedure that did not call BeginPaint still counts as having painted;
    // otherwise the window would be painted again and again.
    if (w->beginPaintCount == beginPaints) Validate(*w);
    --w->paintDepth;
    CurrentEdge().Present(window);
}

HWND NextWindowToPaint(HWND filter) {
    for (HWND h : Core().stacking) {
        if (filter != nullptr && h != filter) continue;
        const Window* w = FindWindow(h);
        if (w && w->visible && w->updatePending && !w->destroying) return h;
    }
    return nullptr;
}

void ResizeSurface(Window& window, int width, int height) {
    ResizePixels(window.surface, width, height);
    if (window.updatePending) {
        window.update = Intersect(window.update, ClientRectOf(window));
        if (RectEmpty(window.update)) Validate(window);
    }
}

}  // namespace tarn::ws::detail

namespace tarn::ws {

bool PaintPending(HWND window) {
    const detail::Window* w = detail::FindWindow(window);
    return w && w->updatePending;
}

void PresentWindowNow(HWND window) {
    if (detail::FindWindow(window) == nullptr) return;
    detail::PaintNow(window);
    if (detail::FindWindow(window) != nullptr) CurrentEdge().PresentImmediately(window);
}

}  // namespace tarn::ws

using namespace tarn::ws;
using namespace tarn::ws::detail;

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    if (window == nullptr) {
        // All windows, as Windows does for a null window.
        for (auto& [handle, w] : Core().windows) Invalidate(*w, ClientRectOf(*w), erase != FALSE);
        return TRUE;
    }
    Window* w = FindWindow(window);
    if (w == nullptr) return FALSE;
    Invalidate(*w, rect ? *rect : ClientRectOf(*w), erase != FALSE);
    return TRUE;
}

BOOL UpdateWindow(HWND window) {
    if (FindWindow(window) == nullptr) return FALSE;
    PaintNow(window);
    return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    Window* w = FindWindow(window);
    if (w == nullptr || paint == nullptr) return nullptr;
    if (w->updatePending && w->erasePending) {
        if (!Erase(window)) return nullptr;
        w = FindWindow(window);
    }
    const RECT area = w->updatePending ? w->update : RECT{0, 0, 0, 0};
    Validate(*w);
    ++w->beginPaintCount;
    *paint = PAINTSTRUCT{};
    paint->hdc = NewWindowDc(window, area);
    paint->fErase = FALSE;  // the background has been erased
    paint->rcPaint = area;
    return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (paint == nullptr) return FALSE;
    FreeWindowDc(paint->hdc);
    const Window* w = FindWindow(window);
    if (w == nullptr) return FALSE;
    // Painting outside the core's own paint (rare) is shown at once.
    if (w->paintDepth == 0) CurrentEdge().Present(window);
    return TRUE;
}
