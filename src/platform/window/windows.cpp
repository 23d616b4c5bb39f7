// Windows: creation, destruction, default message handling, inspection and
// the reset between tests.
#include <algorithm>
#include <atomic>

#include "platform/window/core_state.h"
#include "platform/window/pixel_ops.h"

namespace tarn::ws::detail {

CoreState& Core() {
    static CoreState core;
    return core;
}

uintptr_t NewHandleValue() {
    // Windows, GDI objects and device contexts draw from one sequence that is
    // never reset, so a stale handle never names a newer object.
    static std::atomic<uintptr_t> next{0x10000};
    return next.fetch_add(4);
}

Window* FindWindow(HWND window) {
    if (window == nullptr) return nullptr;
    auto& windows = Core().windows;
    auto it = windows.find(window);
    return it == windows.end() ? nullptr : it->second.get();
}

RECT ClientRectOf(const Window& window) {
    return RECT{0, 0, window.rect.right - window.rect.left, window.rect.bottom - window.rect.top};
}

bool RectEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (RectEmpty(r)) return RECT{0, 0, 0, 0};
    return r;
}

RECT Union(const RECT& a, const RECT& b) {
    if (RectEmpty(a)) return b;
    if (RectEmpty(b)) return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

void NotifyChanged(HWND window) { CurrentEdge().WindowChanged(window); }

namespace {

// Windows no larger than this on a side; bigger requests are cut down so a
// wild size cannot exhaust memory through the surface.
constexpr int kMaxWindowSide = 16384;

int ClampSize(int size) { return std::clamp(size, 0, kMaxWindowSide); }

// Removes the window's record after WM_DESTROY has been handled.
void Forget(HWND window) {
    CoreState& core = Core();
    ReleaseFocusFrom(window);
    KillTimersOf(window);
    RemoveOverlaysOf(window);
    MarkDead(window);
    std::erase(core.stacking, window);
    core.windows.erase(window);
    // A window its WM_DESTROY handler created under it outlives it unowned.
    for (auto& [handle, other] : core.windows) {
        if (other->owner == window) other->owner = nullptr;
    }
    CurrentEdge().WindowDestroyed(window);
}

}  // namespace

}  // namespace tarn::ws::detail

namespace tarn::ws {

using namespace detail;

void ResetWindowSystem() {
    CoreState& core = Core();
    std::vector<HWND> handles;
    for (const auto& [handle, window] : core.windows) handles.push_back(handle);
    core.windows.clear();
    core.stacking.clear();
    core.classes.clear();
    core.focus = nullptr;
    core.active = nullptr;
    ClearTimers();
    ClearOverlays();
    ClearGdiObjects();
    ClearQueue();
    for (HWND h : handles) CurrentEdge().WindowDestroyed(h);
}

WindowView View(HWND window) {
    WindowView view;
    const Window* w = FindWindow(window);
    if (w == nullptr) return view;
    view.handle = w->handle;
    view.rect = w->rect;
    view.visible = w->visible;
    view.topmost = EffectivelyTopmost(*w);
    view.owner = w->owner;
    view.isPopupBar = w->owner != nullptr;
    if (w->windowClass) view.icon = w->windowClass->icon;
    return view;
}

std::vector<WindowView> Windows() {
    std::vector<WindowView> views;
    for (HWND h : Core().stacking) views.push_back(View(h));
    return views;
}

const Pixels* Surface(HWND window) {
    const Window* w = FindWindow(window);
    return w ? &w->surface : nullptr;
}

}  // namespace tarn::ws

using namespace tarn::ws;
using namespace tarn::ws::detail;

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y,
                     int width, int height, HWND owner, HMENU menu, HINSTANCE instance,
                     void* createData) {
    std::shared_ptr<const WindowClass> windowClass = FindClass(className);
    if (!windowClass) return nullptr;
    if (owner != nullptr && FindWindow(owner) == nullptr) return nullptr;

    CoreState& core = Core();
    auto record = std::make_unique<Window>();
    Window& w = *record;
    w.handle = reinterpret_cast<HWND>(NewHandleValue());
    w.windowClass = windowClass;
    w.style = style & ~WS_VISIBLE;
    w.exStyle = exStyle;
    w.rect = RECT{x, y, x + ClampSize(width), y + ClampSize(height)};
    w.owner = owner;
    w.serial = core.nextSerial++;
    w.surface = MakePixels(ClampSize(width), ClampSize(height));
    const HWND handle = w.handle;
    core.windows.emplace(handle, std::move(record));
    core.stacking.push_back(handle);
    Restack();
    MarkLive(handle);
    NotifyChanged(handle);

    // No creation structure is passed: nothing in the player reads one.
    if (SendMessageA(handle, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if (FindWindow(handle) == nullptr) return nullptr;  // destroyed during creation
    if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
    return handle;
}

BOOL DestroyWindow(HWND window) {
    Window* w = FindWindow(window);
    if (w == nullptr || w->destroying) return FALSE;
    w->destroying = true;
    if (w->visible) {
        w->visible = false;
        NotifyChanged(window);
    }
    // Owned windows go first, most recently created first.
    std::vector<std::pair<uint64_t, HWND>> owned;
    for (const auto& [handle, other] : Core().windows) {
        if (other->owner == window && !other->destroying) owned.emplace_back(other->serial, handle);
    }
    std::sort(owned.rbegin(), owned.rend());
    for (const auto& entry : owned) DestroyWindow(entry.second);

    SendMessageA(window, WM_DESTROY, 0, 0);
    Forget(window);
    return TRUE;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_ERASEBKGND: {
        const Window* w = FindWindow(window);
        uint32_t pixel = 0;
        if (w == nullptr || !BrushPixel(w->windowClass->background, &pixel)) return 0;
        return FillClipBox(reinterpret_cast<HDC>(wParam), pixel) ? 1 : 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        if (BeginPaint(window, &paint)) EndPaint(window, &paint);
        return 0;
    }
    default:
        return 0;
    }
}
