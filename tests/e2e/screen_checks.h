// Pixel checks on screenshots: a slide at its exact rectangle with the black
// background around it, the control bar's pictures, the closing splash.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window_system.h"

namespace tarn::e2e {

struct Box {
    int left;
    int top;
    int width;
    int height;
    int Right() const { return left + width; }
    int Bottom() const { return top + height; }
    bool Contains(int x, int y) const { return x >= left && x < Right() && y >= top && y < Bottom(); }
};

// Where a picture of sourceWidth x sourceHeight lands on a screen: made
// smaller to fit (width first, then height, truncating), never larger, centred.
Box FitRectangle(int sourceWidth, int sourceHeight, int screenWidth, int screenHeight);

// The whole of `box` (every pixel of its edges and a grid inside) is within
// `tolerance` of `colour` per channel, and the one-pixel ring around it is
// black, except where `skip` covers a pixel. Empty result: all good;
// otherwise the first mismatch, described.
std::string CheckSlide(const ws::Pixels& screen, const Box& box, uint32_t colour, int tolerance,
                       const Box& skip);

// The block at (x, y) equals `picture` pixel for pixel, each channel within
// `tolerance` (a compositing window manager draws windows a level darker).
bool ShowsPicture(const ws::Pixels& screen, int x, int y, const ws::Pixels& picture, int tolerance = 0);

// Every pixel of `box` is exactly black.
bool AllBlack(const ws::Pixels& screen, const Box& box);

// A resource picture of the player (resources/<file>), decoded.
ws::Pixels LoadResourcePicture(const std::string& fileName);

}  // namespace tarn::e2e
