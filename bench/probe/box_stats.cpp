#include "box_stats.h"

#include <cmath>

namespace {

double Luma(uint32_t rgb) {
    const double r = (rgb >> 16) & 0xff;
    const double g = (rgb >> 8) & 0xff;
    const double b = rgb & 0xff;
    return 0.299 * r + 0.587 * g + 0.114 * b;
}

}  // namespace

BoxStats MeasureBox(int width, int height, const PixelAt& pixel) {
    BoxStats stats;
    if (width <= 1 || height <= 0) return stats;
    double detail_sum = 0;
    for (int y = 0; y < height; ++y) {
        double previous = 0;
        for (int x = 0; x < width; ++x) {
            const uint32_t rgb = pixel(x, y);
            stats.r += (rgb >> 16) & 0xff;
            stats.g += (rgb >> 8) & 0xff;
            stats.b += rgb & 0xff;
            const double luma = Luma(rgb);
            if (x > 0) detail_sum += std::fabs(luma - previous);
            previous = luma;
        }
    }
    const double count = static_cast<double>(width) * height;
    stats.r /= count;
    stats.g /= count;
    stats.b /= count;
    stats.detail = detail_sum / (static_cast<double>(width - 1) * height);
    return stats;
}
