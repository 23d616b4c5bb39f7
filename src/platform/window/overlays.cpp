// Video overlays: the media's pictures drawn above a window's own surface.
#include <algorithm>
#include <map>
#include <utility>
#include <vector>

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
    FadeOwnerGone(owner);
    std::erase_if(AllOverlays(), [owner](const auto& entry) { return entry.second.owner == owner; });
}

void ClearOverlays() {
    ClearCrossFade();
    AllOverlays().clear();
}

}  // namespace detail

void SetVideoOverlay(HWND owner, uint64_t overlayId, const RECT& rect,
                     std::shared_ptr<const VideoFrame> frame, bool visible) {
    auto& overlays = AllOverlays();
    auto it = overlays.find(overlayId);
    const HWND previousOwner = it != overlays.end() ? it->second.owner : nullptr;
    if (detail::FindWindow(owner) == nullptr) {
        // No such window: the overlay cannot be shown anywhere.
        if (it != overlays.end()) {
            detail::FadeOverlayGone(overlayId);
            overlays.erase(it);
            PresentIfWindow(previousOwner);
        }
        return;
    }
    if (!visible || (previousOwner != nullptr && previousOwner != owner)) detail::FadeOverlayGone(overlayId);
    overlays[overlayId] = Overlay{owner, rect, std::move(frame), visible};
    if (previousOwner != nullptr && previousOwner != owner) PresentIfWindow(previousOwner);
    CurrentEdge().Present(owner);
}

void RemoveVideoOverlay(uint64_t overlayId) {
    auto& overlays = AllOverlays();
    auto it = overlays.find(overlayId);
    if (it == overlays.end()) return;
    const HWND owner = it->second.owner;
    detail::FadeOverlayGone(overlayId);
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
    detail::BlendCrossFade(window, PixelRows{picture.data.data(), picture.width, picture.height,
                                             static_cast<size_t>(picture.width)});
    return picture;
}

void ComposeInto(HWND window, const PixelRows& target) {
    if (target.data == nullptr || target.width <= 0 || target.height <= 0 ||
        target.stride < static_cast<size_t>(target.width)) {
        return;
    }
    const Pixels* surface = Surface(window);
    const bool usable = surface != nullptr && surface->width >= 0 && surface->height >= 0 &&
                        surface->data.size() >= static_cast<size_t>(surface->width) * surface->height;
    const int width = usable ? std::min(surface->width, target.width) : 0;
    const int height = usable ? std::min(surface->height, target.height) : 0;
    // Overlays are clipped to the window, as Compose clips them.
    const RECT clip{0, 0, width, height};

    // The part of the window each visible overlay paints over.
    struct Drawn {
        RECT area;
        RECT covered;
        const VideoFrame* frame;
    };
    std::vector<Drawn> drawn;
    for (const auto& [id, overlay] : AllOverlays()) {
        if (overlay.owner != window || !overlay.visible || !overlay.frame) continue;
        if (!ScalesSomething(overlay.rect, *overlay.frame)) continue;
        const RECT& a = overlay.rect;
        RECT covered{std::max(a.left, clip.left), std::max(a.top, clip.top), std::min(a.right, clip.right),
                     std::min(a.bottom, clip.bottom)};
        drawn.push_back(Drawn{a, covered, overlay.frame.get()});
    }

    // The window's own pixels where no overlay will be, black beyond them.
    std::vector<std::pair<int, int>> spans;
    for (int y = 0; y < target.height; ++y) {
        uint32_t* row = target.data + static_cast<size_t>(y) * target.stride;
        int x = 0;
        if (y < height) {
            spans.clear();
            for (const Drawn& d : drawn) {
                if (y >= d.covered.top && y < d.covered.bottom && d.covered.left < d.covered.right) {
                    spans.emplace_back(d.covered.left, d.covered.right);
                }
            }
            std::sort(spans.begin(), spans.end());
            const uint32_t* own = surface->data.data() + static_cast<size_t>(y) * surface->width;
            for (const auto& [from, to] : spans) {
                if (from > x) std::copy(own + x, own + from, row + x);
                x = std::max(x, to);
            }
            if (x < width) std::copy(own + x, own + width, row + x);
            x = width;
        }
        std::fill(row + x, row + target.width, 0u);
    }
    for (const Drawn& d : drawn) ScalePixels(target, d.area, *d.frame, clip);
    detail::BlendCrossFade(window, target);
}

}  // namespace tarn::ws
