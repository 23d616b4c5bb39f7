#include "screen_checks.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/window/bmp_decoder.h"

namespace tarn::e2e {

namespace {

bool Near(uint32_t actual, uint32_t expected, int tolerance) {
    for (int shift : {16, 8, 0}) {
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        const int e = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance) return false;
    }
    return true;
}

std::string Describe(const char* what, int x, int y, uint32_t actual) {
    char text[96];
    std::snprintf(text, sizeof text, "%s at (%d, %d) is #%06X", what, x, y, actual);
    return text;
}

}  // namespace

Box FitRectangle(int sourceWidth, int sourceHeight, int screenWidth, int screenHeight) {
    int w = sourceWidth;
    int h = sourceHeight;
    if (w > screenWidth) {
        h = screenWidth * h / w;
        w = screenWidth;
    }
    if (h > screenHeight) {
        w = screenHeight * w / h;
        h = screenHeight;
    }
    return Box{(screenWidth - w) / 2, (screenHeight - h) / 2, w, h};
}

std::string CheckSlide(const ws::Pixels& screen, const Box& box, uint32_t colour, int tolerance,
                       const Box& skip) {
    if (screen.width == 0) return "no screenshot";
    auto inside = [&](int x, int y) -> std::string {
        if (skip.Contains(x, y)) return {};
        const uint32_t pixel = screen.At(x, y);
        return Near(pixel, colour, tolerance) ? std::string() : Describe("picture pixel", x, y, pixel);
    };
    auto outside = [&](int x, int y) -> std::string {
        if (x < 0 || y < 0 || x >= screen.width || y >= screen.height || skip.Contains(x, y)) return {};
        const uint32_t pixel = screen.At(x, y);
        return pixel == 0 ? std::string() : Describe("background pixel", x, y, pixel);
    };
    // The picture's own edges, every pixel.
    for (int x = box.left; x < box.Right(); ++x) {
        for (const std::string& failure : {inside(x, box.top), inside(x, box.Bottom() - 1),
                                           outside(x, box.top - 1), outside(x, box.Bottom())}) {
            if (!failure.empty()) return failure;
        }
    }
    for (int y = box.top; y < box.Bottom(); ++y) {
        for (const std::string& failure : {inside(box.left, y), inside(box.Right() - 1, y),
                                           outside(box.left - 1, y), outside(box.Right(), y)}) {
            if (!failure.empty()) return failure;
        }
    }
    // A grid inside.
    for (int y = box.top; y < box.Bottom(); y += 7) {
        for (int x = box.left; x < box.Right(); x += 7) {
            std::string failure = inside(x, y);
            if (!failure.empty()) return failure;
        }
    }
    return {};
}

bool ShowsPicture(const ws::Pixels& screen, int x, int y, const ws::Pixels& picture, int tolerance) {
    if (picture.width == 0 || x < 0 || y < 0 || x + picture.width > screen.width ||
        y + picture.height > screen.height) {
        return false;
    }
    for (int row = 0; row < picture.height; ++row) {
        for (int column = 0; column < picture.width; ++column) {
            if (!Near(screen.At(x + column, y + row), picture.At(column, row), tolerance)) return false;
        }
    }
    return true;
}

bool AllBlack(const ws::Pixels& screen, const Box& box) {
    if (screen.width == 0) return false;
    for (int y = box.top; y < box.Bottom(); ++y) {
        for (int x = box.left; x < box.Right(); ++x) {
            if (screen.At(x, y) != 0) return false;
        }
    }
    return true;
}

ws::Pixels LoadResourcePicture(const std::string& fileName) {
    std::ifstream in(std::string(TARN_SOURCE_DIR) + "/resources/" + fileName, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::optional<ws::Pixels> picture = DecodePicture(bytes.data(), bytes.size());
    return picture ? *picture : ws::Pixels{};
}

}  // namespace tarn::e2e
