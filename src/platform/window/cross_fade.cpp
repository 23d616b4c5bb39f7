// Cross-fades: the picture a window showed, held while the next one is
// placed, and blended with it frame by frame until the fade's time is over.
//
// The leaving picture is composed once, when the fade starts, from the
// window's surface and the held overlays; each frame then composes the
// window as usual and mixes the two with one pass over the pixels. Nothing
// is decoded or scaled during a fade.
#include <algorithm>
#include <climits>
#include <optional>
#include <utility>

#include "platform/clock.h"
#include "platform/window/core_state.h"
#include "platform/window/pixel_ops.h"

namespace tarn::ws {
namespace {

struct Held {
    HWND owner = nullptr;
    int64_t duration = 0;
    std::vector<OverlayView> overlays;
};

struct Fade {
    HWND owner = nullptr;
    uint64_t entering = 0;
    int64_t start = 0;
    int64_t duration = 0;
    int64_t nextFrame = 0;
    Pixels leaving;  // the window as it looked before the change
};

std::optional<Held>& HeldPicture() {
    static std::optional<Held> held;
    return held;
}

std::optional<Fade>& RunningFade() {
    static std::optional<Fade> fade;
    return fade;
}

void PresentIfWindow(HWND window) {
    if (detail::FindWindow(window) != nullptr) CurrentEdge().Present(window);
}

// Ends the fade; the caller presents the window if it still shows.
HWND EndFade() {
    auto& fade = RunningFade();
    if (!fade) return nullptr;
    const HWND owner = fade->owner;
    fade.reset();
    return owner;
}

// The held overlays over the window's surface, as Compose draws a window.
Pixels ComposeHeld(const Held& held) {
    const Pixels* surface = Surface(held.owner);
    Pixels picture = surface != nullptr ? *surface : Pixels{};
    const RECT all{0, 0, picture.width, picture.height};
    for (const OverlayView& overlay : held.overlays) ScalePixels(picture, overlay.rect, *overlay.frame, all);
    return picture;
}

// out := from + (out - from) * weight / 256, per channel; weight 0 … 256.
void BlendRow(uint32_t* out, const uint32_t* from, int count, uint32_t weight) {
    const uint32_t keep = 256 - weight;
    for (int i = 0; i < count; ++i) {
        const uint32_t to = out[i];
        const uint32_t was = from[i];
        const uint32_t redBlue = (((to & 0xFF00FFu) * weight + (was & 0xFF00FFu) * keep) >> 8) & 0xFF00FFu;
        const uint32_t green = (((to & 0x00FF00u) * weight + (was & 0x00FF00u) * keep) >> 8) & 0x00FF00u;
        out[i] = redBlue | green;
    }
}

}  // namespace

void HoldPictureForFade(HWND owner, int64_t durationMicros,
                        const std::function<bool(uint64_t overlayId)>& fadable) {
    FinishCrossFade();
    if (durationMicros <= 0 || detail::FindWindow(owner) == nullptr) return;
    Held held{owner, durationMicros, {}};
    for (OverlayView& overlay : VideoOverlays(owner)) {
        if (!overlay.visible || !overlay.frame || !ScalesSomething(overlay.rect, *overlay.frame)) continue;
        if (!fadable(overlay.id)) return;  // a clip is cut
        held.overlays.push_back(std::move(overlay));
    }
    if (!held.overlays.empty()) HeldPicture() = std::move(held);
}

void ReleaseHeldPicture() { HeldPicture().reset(); }

void StartCrossFade(HWND owner, uint64_t enteringId) {
    auto& held = HeldPicture();
    if (!held || held->owner != owner) return;
    if (const HWND previous = EndFade()) PresentIfWindow(previous);
    const int64_t now = CurrentClock().NowMicros();
    RunningFade() = Fade{owner, enteringId, now, held->duration, now + kFadeFrameMicros, ComposeHeld(*held)};
    held.reset();
    CurrentEdge().Present(owner);
}

void FinishCrossFade() {
    ReleaseHeldPicture();
    if (const HWND owner = EndFade()) PresentIfWindow(owner);
}

bool CrossFadeRunning() { return RunningFade().has_value(); }

namespace detail {

void TickCrossFade(int64_t now) {
    auto& fade = RunningFade();
    if (!fade || now < fade->nextFrame) return;
    const HWND owner = fade->owner;
    if (now >= fade->start + fade->duration) {
        EndFade();
    } else {
        // Counted from now: a slow frame delays the next one, never doubles it.
        fade->nextFrame = std::min(now + kFadeFrameMicros, fade->start + fade->duration);
    }
    PresentIfWindow(owner);
}

int64_t NextFadeFrame() {
    const auto& fade = RunningFade();
    return fade ? fade->nextFrame : INT64_MAX;
}

void BlendCrossFade(HWND window, const PixelRows& target) {
    const auto& fade = RunningFade();
    if (!fade || fade->owner != window || target.data == nullptr) return;
    const int64_t elapsed = CurrentClock().NowMicros() - fade->start;
    const int64_t weight = std::clamp<int64_t>(elapsed * 256 / fade->duration, 0, 256);
    if (weight >= 256) return;
    const Pixels& leaving = fade->leaving;
    const int width = std::min(leaving.width, target.width);
    const int height = std::min(leaving.height, target.height);
    if (width <= 0 || height <= 0 || leaving.data.size() < static_cast<size_t>(leaving.width) * leaving.height) {
        return;
    }
    for (int y = 0; y < height; ++y) {
        BlendRow(target.data + static_cast<size_t>(y) * target.stride,
                 leaving.data.data() + static_cast<size_t>(y) * leaving.width, width,
                 static_cast<uint32_t>(weight));
    }
}

void FadeOverlayGone(uint64_t overlayId) {
    // A held picture outlives its overlay (its frames are shared); a fade
    // whose entering picture is no longer shown has nothing to fade into.
    auto& fade = RunningFade();
    if (fade && fade->entering == overlayId) fade.reset();
}

void FadeOwnerGone(HWND owner) {
    auto& held = HeldPicture();
    if (held && held->owner == owner) held.reset();
    auto& fade = RunningFade();
    if (fade && fade->owner == owner) fade.reset();
}

void ClearCrossFade() {
    HeldPicture().reset();
    RunningFade().reset();
}

}  // namespace detail
}  // namespace tarn::ws
