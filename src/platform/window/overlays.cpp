// Video overlays: the media's pictures drawn above a window's own surface.
#include <map>

#include "platform/window/core_state.h"
#include "platform/window/pixel_ops.h"

namespace tarn::ws {
namespace {

struct Overlay {
    HWND owner = nullptr;
    RECT rect{};
    std::shared_ptr<const VideoFrame> frame;
    bool visible = false;
};

// Ordered by id: overlays are drawn lowest id first.
std::map<uint64_t, Overlay>& AllOverlays() {
    static std::map<uint64_t, Overlay> overlays;
    return overlays;
}

void PresentIfWindow(HWND window) {
    if (detail::FindWindow(window) != nullptr) CurrentEdge().Present(window);
}

}  // namespace

namespace detail {

void RemoveOverlaysOf(HWND owner) {
    std::erase_if(AllOverlays(), [owner](const auto& entry) { return entry.second.owner == owner; });
}

void ClearOverlays() { AllOverlays().clear(); }

}  // namespace detail

void SetVideoOverlay(HWND owner, uint64_t overlayId, const RECT& rect,
                     std::shared_ptr<const VideoFrame> frame, bool visible) {
    auto& overlays = AllOverlays();
    auto it = overlays.find(overlayId);
    const HWND previousOwner = it != overlays.end() ? it->second.owner : nullptr;
    if (detail::FindWindow(owner) == nullptr) {
        // No such window: the overlay cannot be shown anywhere.
        if (it != overlays.end()) {
            overlays.erase(it);
            PresentIfWindow(previousOwner);
        }
        return;
    }
    overlays[overlayId] = Overlay{owner, rect, std::move(frame), visible};
    if (previousOwner != nullptr && previousOwner != owner) PresentIfWindow(previousOwner);
    CurrentEdge().Present(owner);
}

void RemoveVideoOverlay(uint64_t overlayId) {
    auto& overlays = AllOverlays();
    auto it = overlays.find(overlayId);
    if (it == overlays.end()) return;
    const HWND owner = it->second.owner;
    overlays.erase(it);
    PresentIfWindow(owner);
}

std::vector<OverlayView> VideoOverlays(HWND owner) {
    std::vector<OverlayView> views;
    for (const auto& [id, overlay] : AllOverlays()) {
        if (overlay.owner == owner) views.push_back(OverlayView{id, overlay.rect, overlay.frame, overlay.visible});
    }
    return views;
}

Pixels Compose(HWND window) {
    const Pixels* surface = Surface(window);
    if (surface == nullptr) return Pixels{};
    Pixels picture = *surface;
    const RECT all{0, 0, picture.width, picture.height};
    for (const auto& [id, overlay] : AllOverlays()) {
        if (overlay.owner != window || !overlay.visible || !overlay.frame) continue;
        ScalePixels(picture, overlay.rect, *overlay.frame, all);
    }
    return picture;
}

}  // namespace tarn::ws
