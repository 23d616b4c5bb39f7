// Stacking order, activation and keyboard focus.
//
// Windows are stacked in two bands: ordinary windows below, topmost windows
// above. A window owned by a topmost window is topmost too, and owned
// windows are kept above their owner. Showing a window (with a command that
// activates) or clicking on it makes it the active window, which raises it
// and gives it the focus. When the focus window is hidden or destroyed, the
// focus goes to its owner if that is visible, else to the highest visible
// window, else to nothing.
#include <algorithm>

#include "platform/window/core_state.h"

namespace tarn::ws::detail {

bool EffectivelyTopmost(const Window& window) {
    const Window* w = &window;
    for (int depth = 0; w != nullptr && depth < 64; ++depth) {
        if (w->topmost) return true;
        w = FindWindow(w->owner);
    }
    return false;
}

void Restack() {
    auto& stacking = Core().stacking;
    std::stable_partition(stacking.begin(), stacking.end(), [](HWND h) {
        const Window* w = FindWindow(h);
        return w == nullptr || !EffectivelyTopmost(*w);
    });
}

namespace {

void MoveToTop(HWND window) {
    auto& stacking = Core().stacking;
    std::erase(stacking, window);
    stacking.push_back(window);
}

// The window and, above it, its owned windows (and theirs), in creation order.
void RaiseTree(HWND window, int depth) {
    MoveToTop(window);
    if (depth > 64) return;
    std::vector<std::pair<uint64_t, HWND>> owned;
    for (const auto& [handle, w] : Core().windows) {
        if (w->owner == window) owned.emplace_back(w->serial, handle);
    }
    std::sort(owned.begin(), owned.end());
    for (const auto& entry : owned) RaiseTree(entry.second, depth + 1);
}

HWND HighestVisible(HWND except) {
    const auto& stacking = Core().stacking;
    for (auto it = stacking.rbegin(); it != stacking.rend(); ++it) {
        const Window* w = FindWindow(*it);
        if (w && *it != except && w->visible && !w->destroying) return *it;
    }
    return nullptr;
}

}  // namespace

void Raise(HWND window) {
    if (FindWindow(window) == nullptr) return;
    const std::vector<HWND> before = Core().stacking;
    RaiseTree(window, 0);
    Restack();
    const std::vector<HWND> after = Core().stacking;
    // Tell the edge about every window that moved in the order.
    for (size_t i = 0; i < after.size(); ++i) {
        if (i >= before.size() || before[i] != after[i]) NotifyChanged(after[i]);
    }
}

void SetFocusInternal(HWND window) {
    CoreState& core = Core();
    if (core.focus == window) return;
    core.focus = window;
    CurrentEdge().FocusChanged(window);
}

void Activate(HWND window) {
    if (FindWindow(window) == nullptr) return;
    Core().active = window;
    Raise(window);
    SetFocusInternal(window);
}

void ReleaseFocusFrom(HWND window) {
    CoreState& core = Core();
    if (core.focus != window && core.active != window) return;
    HWND next = nullptr;
    const Window* w = FindWindow(window);
    const Window* owner = w ? FindWindow(w->owner) : nullptr;
    if (owner && owner->visible && !owner->destroying) {
        next = owner->handle;
    } else {
        next = HighestVisible(window);
    }
    core.active = next;
    SetFocusInternal(next);
}

}  // namespace tarn::ws::detail

using namespace tarn::ws::detail;

HWND SetFocus(HWND window) {
    CoreState& core = Core();
    const HWND previous = core.focus;
    if (window == nullptr) {
        SetFocusInternal(nullptr);
        return previous;
    }
    const Window* w = FindWindow(window);
    if (w == nullptr || w->destroying) return nullptr;
    core.active = window;
    SetFocusInternal(window);
    return previous;
}

HWND GetFocus() { return Core().focus; }

HWND GetForegroundWindow() { return Core().active; }
