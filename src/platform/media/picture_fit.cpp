#include "platform/media/picture_fit.h"

#include <cmath>

#include "platform/media/jpeg_header.h"

namespace tarn::media {

Size FitInside(Size source, Size screen) {
    int64_t w = source.width;
    int64_t h = source.height;
    if (w > screen.width) {
        h = int64_t{screen.width} * h / w;
        w = screen.width;
    }
    if (h > screen.height) {
        w = int64_t{screen.height} * w / h;
        h = screen.height;
    }
    return Size{static_cast<int>(w), static_cast<int>(h)};
}

int ChooseReducedLevel(Size stored, Size target, int maxLevel) {
    int level = 0;
    for (int l = 1; l <= maxLevel; ++l) {
        const int64_t w = (int64_t{stored.width} + (int64_t{1} << l) - 1) >> l;
        const int64_t h = (int64_t{stored.height} + (int64_t{1} << l) - 1) >> l;
        if (w >= target.width && h >= target.height) level = l;
    }
    return level;
}

ws::Pixels OrientPicture(const ws::Pixels& stored, int orientation) {
    if (orientation < 2 || orientation > 8) return stored;
    const int sw = stored.width;
    const int sh = stored.height;
    ws::Pixels out;
    const bool swap = OrientationSwapsAxes(orientation);
    out.width = swap ? sh : sw;
    out.height = swap ? sw : sh;
    out.data.resize(static_cast<size_t>(out.width) * out.height);
    const int W = out.width;
    const int H = out.height;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            int sx = x;
            int sy = y;
            switch (orientation) {
            case 2: sx = W - 1 - x, sy = y; break;
            case 3: sx = W - 1 - x, sy = H - 1 - y; break;
            case 4: sx = x, sy = H - 1 - y; break;
            case 5: sx = y, sy = x; break;
            case 6: sx = y, sy = W - 1 - x; break;
            case 7: sx = H - 1 - y, sy = W - 1 - x; break;
            case 8: sx = H - 1 - y, sy = x; break;
            }
            out.data[static_cast<size_t>(y) * W + x] = stored.data[static_cast<size_t>(sy) * sw + sx];
        }
    }
    return out;
}

int OrientationOfDisplayRotation(double counterclockwiseDegrees) {
    if (!std::isfinite(counterclockwiseDegrees) || std::fabs(counterclockwiseDegrees) > 1e6) return 1;
    const double quarters = std::round(counterclockwiseDegrees / 90.0);
    if (std::fabs(counterclockwiseDegrees / 90.0 - quarters) > 0.05) return 1;
    switch (((static_cast<long long>(quarters) % 4) + 4) % 4) {
    case 1: return 8;  // a quarter turn counterclockwise
    case 2: return 3;  // half a turn
    case 3: return 6;  // a quarter turn clockwise
    default: return 1;
    }
}

}  // namespace tarn::media
