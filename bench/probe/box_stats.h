// Colour and detail figures of a small screen box: what the probe compares
// against the figures computed from a generated photo.
#pragma once

#include <cstdint>
#include <functional>

struct Box {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
};

struct BoxStats {
    double r = 0;
    double g = 0;
    double b = 0;
    // Mean absolute difference of luma between horizontal neighbours: near 0
    // for a blurred or flat picture, a few levels for a sharp photo.
    double detail = 0;
};

// Pixel reader: returns 0x00RRGGBB for box-relative coordinates.
using PixelAt = std::function<uint32_t(int x, int y)>;

BoxStats MeasureBox(int width, int height, const PixelAt& pixel);
