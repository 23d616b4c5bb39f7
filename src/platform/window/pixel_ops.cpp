#include "platform/window/pixel_ops.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tarn::ws {
namespace {

RECT Bounds(const Pixels& p) { return RECT{0, 0, p.width, p.height}; }

RECT Clip(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// A picture whose pixel vector does not match its size is never touched.
bool WellFormed(const Pixels& p) {
    return p.width >= 0 && p.height >= 0 &&
           p.data.size() >= static_cast<size_t>(p.width) * static_cast<size_t>(p.height);
}

uint32_t* Row(Pixels& p, int y) { return p.data.data() + static_cast<size_t>(y) * p.width; }
const uint32_t* Row(const Pixels& p, int y) {
    return p.data.data() + static_cast<size_t>(y) * p.width;
}

RECT Bounds(const PixelRows& p) { return RECT{0, 0, p.width, p.height}; }
bool WellFormed(const PixelRows& p) {
    return p.data != nullptr && p.width >= 0 && p.height >= 0 && p.stride >= static_cast<size_t>(p.width);
}
uint32_t* Row(const PixelRows& p, int y) { return p.data + static_cast<size_t>(y) * p.stride; }

// Nearest-neighbour scaling of `source` onto `area` of `target`, clipped.
// The caller has checked both pictures and the sizes.
template <typename Target>
void ScaleRows(Target& target, const RECT& area, const Pixels& source, const RECT& clip) {
    const int areaWidth = area.right - area.left;
    const int areaHeight = area.bottom - area.top;
    const RECT r = Clip(Clip(area, clip), Bounds(target));
    if (Empty(r)) return;
    const size_t length = static_cast<size_t>(r.right - r.left);
    if (areaWidth == source.width && areaHeight == source.height) {
        for (int y = r.top; y < r.bottom; ++y) {
            std::memcpy(Row(target, y) + r.left, Row(source, y - area.top) + (r.left - area.left),
                        length * sizeof(uint32_t));
        }
        return;
    }
    std::vector<int> columns(length);
    for (int x = r.left; x < r.right; ++x) {
        const int64_t u = (static_cast<int64_t>(x - area.left) * source.width) / areaWidth;
        columns[static_cast<size_t>(x - r.left)] = static_cast<int>(u);
    }
    int previous = -1;
    for (int y = r.top; y < r.bottom; ++y) {
        const int v =
            static_cast<int>((static_cast<int64_t>(y - area.top) * source.height) / areaHeight);
        uint32_t* to = Row(target, y) + r.left;
        if (v == previous) {
            // Enlarging: this row repeats the one above.
            std::memcpy(to, Row(target, y - 1) + r.left, length * sizeof(uint32_t));
            continue;
        }
        previous = v;
        const uint32_t* from = Row(source, v);
        for (size_t i = 0; i < length; ++i) to[i] = from[columns[i]];
    }
}

}  // namespace

Pixels MakePixels(int width, int height, uint32_t colour) {
    Pixels p;
    p.width = std::max(width, 0);
    p.height = std::max(height, 0);
    p.data.assign(static_cast<size_t>(p.width) * p.height, colour);
    return p;
}

void FillPixels(Pixels& target, const RECT& area, const RECT& clip, uint32_t colour) {
    if (!WellFormed(target)) return;
    const RECT r = Clip(Clip(area, clip), Bounds(target));
    if (Empty(r)) return;
    for (int y = r.top; y < r.bottom; ++y) {
        uint32_t* row = Row(target, y);
        std::fill(row + r.left, row + r.right, colour);
    }
}

void CopyPixels(Pixels& target, int dx, int dy, int width, int height, const Pixels& source,
                int sx, int sy, const RECT& clip) {
    if (width <= 0 || height <= 0 || !WellFormed(target) || !WellFormed(source)) return;
    // The destination block, cut by the clip, the target and (moved into
    // destination coordinates) the source.
    RECT r{dx, dy, dx + width, dy + height};
    r = Clip(r, clip);
    r = Clip(r, Bounds(target));
    const RECT sourceInTarget{dx - sx, dy - sy, dx - sx + source.width, dy - sy + source.height};
    r = Clip(r, sourceInTarget);
    if (Empty(r)) return;
    const int rowLength = r.right - r.left;
    const int offsetX = sx - dx;
    const int offsetY = sy - dy;
    const bool sameRowsDownward = (&target == &source) && offsetY < 0;
    // Copying within one picture: walk rows in the direction that never reads
    // a row already overwritten; memmove handles overlap within a row.
    for (int i = 0; i < r.bottom - r.top; ++i) {
        const int y = sameRowsDownward ? r.bottom - 1 - i : r.top + i;
        const uint32_t* from = Row(source, y + offsetY) + r.left + offsetX;
        uint32_t* to = Row(target, y) + r.left;
        std::memmove(to, from, static_cast<size_t>(rowLength) * sizeof(uint32_t));
    }
}

bool ScalesSomething(const RECT& area, const Pixels& source) {
    return area.right > area.left && area.bottom > area.top && source.width > 0 && source.height > 0 &&
           WellFormed(source);
}

void ScalePixels(Pixels& target, const RECT& area, const Pixels& source, const RECT& clip) {
    if (!ScalesSomething(area, source) || !WellFormed(target)) return;
    if (area.right - area.left == source.width && area.bottom - area.top == source.height) {
        // Also right when the source is the target itself.
        CopyPixels(target, area.left, area.top, source.width, source.height, source, 0, 0, clip);
        return;
    }
    ScaleRows(target, area, source, clip);
}

void ScalePixels(const PixelRows& target, const RECT& area, const Pixels& source, const RECT& clip) {
    if (!ScalesSomething(area, source) || !WellFormed(target)) return;
    ScaleRows(target, area, source, clip);
}

void ResizePixels(Pixels& picture, int width, int height, uint32_t fill) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == picture.width && height == picture.height && WellFormed(picture)) return;
    Pixels resized = MakePixels(width, height, fill);
    CopyPixels(resized, 0, 0, picture.width, picture.height, picture, 0, 0,
               RECT{0, 0, width, height});
    picture = std::move(resized);
}

}  // namespace tarn::ws
