#include "platform/sdl/surface_copy.h"

#include <algorithm>
#include <cstring>

namespace tarn::ws {

namespace {

// Locks a surface that needs it for as long as the guard lives.
class SurfaceLock {
public:
    explicit SurfaceLock(SDL_Surface* surface) : surface_(surface) {
        locked_ = !SDL_MUSTLOCK(surface_) || SDL_LockSurface(surface_) == 0;
    }
    ~SurfaceLock() {
        if (locked_ && SDL_MUSTLOCK(surface_)) SDL_UnlockSurface(surface_);
    }
    SurfaceLock(const SurfaceLock&) = delete;
    SurfaceLock& operator=(const SurfaceLock&) = delete;
    bool Locked() const { return locked_; }

private:
    SDL_Surface* surface_;
    bool locked_ = false;
};

// Formats whose 32-bit pixels are 0x??RRGGBB in native order: rows copy as they are.
bool SameLayoutAsPixels(Uint32 format) {
    return format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888;
}

}  // namespace

bool CopyToSurface(const Pixels& picture, SDL_Surface* target) {
    if (target == nullptr || target->pixels == nullptr) return false;
    const bool valid = picture.width >= 0 && picture.height >= 0 &&
                       picture.data.size() >= static_cast<size_t>(picture.width) * picture.height;
    if (!valid) return false;

    const int width = std::min(picture.width, target->w);
    const int height = std::min(picture.height, target->h);

    // Black where the picture does not reach (a surface larger than the window
    // for a moment while it is being resized).
    if (width < target->w || height < target->h) {
        const Uint32 black = SDL_MapRGB(target->format, 0, 0, 0);
        if (width < target->w) {
            SDL_Rect right{width, 0, target->w - width, target->h};
            SDL_FillRect(target, &right, black);
        }
        if (height < target->h) {
            SDL_Rect bottom{0, height, width, target->h - height};
            SDL_FillRect(target, &bottom, black);
        }
    }
    if (width <= 0 || height <= 0) return true;

    SurfaceLock lock(target);
    if (!lock.Locked()) return false;

    const int sourcePitch = picture.width * 4;
    if (SameLayoutAsPixels(target->format->format)) {
        const auto* source = reinterpret_cast<const unsigned char*>(picture.data.data());
        auto* destination = static_cast<unsigned char*>(target->pixels);
        for (int y = 0; y < height; ++y) {
            std::memcpy(destination + static_cast<size_t>(y) * target->pitch,
                        source + static_cast<size_t>(y) * sourcePitch, static_cast<size_t>(width) * 4);
        }
        return true;
    }
    return SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_RGB888, picture.data.data(), sourcePitch,
                             target->format->format, target->pixels, target->pitch) == 0;
}

bool ComposeToSurface(HWND window, SDL_Surface* target) {
    if (target == nullptr || target->pixels == nullptr) return false;
    if (!SameLayoutAsPixels(target->format->format) || target->pitch % 4 != 0) {
        return CopyToSurface(Compose(window), target);
    }
    SurfaceLock lock(target);
    if (!lock.Locked()) return false;
    ComposeInto(window, PixelRows{static_cast<uint32_t*>(target->pixels), target->w, target->h,
                                  static_cast<size_t>(target->pitch / 4)});
    return true;
}

bool ComposeToSurfaceAt(HWND window, SDL_Surface* target, int left, int top) {
    if (left == 0 && top == 0) return ComposeToSurface(window, target);
    if (target == nullptr || target->pixels == nullptr) return false;
    if (SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0)) != 0) return false;
    const Pixels picture = Compose(window);
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.data.size() < static_cast<size_t>(picture.width) * picture.height) {
        return true;
    }
    // The part of the picture within the target.
    const int x0 = std::max(0, left);
    const int y0 = std::max(0, top);
    const int x1 = std::min(target->w, left + picture.width);
    const int y1 = std::min(target->h, top + picture.height);
    if (x1 <= x0 || y1 <= y0) return true;

    SurfaceLock lock(target);
    if (!lock.Locked()) return false;
    const uint32_t* source = picture.data.data() + static_cast<size_t>(y0 - top) * picture.width + (x0 - left);
    auto* destination = static_cast<unsigned char*>(target->pixels) + static_cast<size_t>(y0) * target->pitch +
                        static_cast<size_t>(x0) * target->format->BytesPerPixel;
    return SDL_ConvertPixels(x1 - x0, y1 - y0, SDL_PIXELFORMAT_RGB888, source, picture.width * 4,
                             target->format->format, destination, target->pitch) == 0;
}

}  // namespace tarn::ws
