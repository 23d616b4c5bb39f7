// Geometry of a picture on the screen: the fitted size (never enlarged,
// aspect kept, the same integer steps as the player's own fit), the reduced
// decoding resolution that still covers it, and turning a picture upright.
#pragma once

#include <cstdint>

#include "platform/window_system.h"

namespace tarn::media {

struct Size {
    int width = 0;
    int height = 0;
};

// Width first, then height, each product before its division.
Size FitInside(Size source, Size screen);

// The largest level 0..maxLevel at which a decoder that divides each side by
// 2^level (rounding up) still delivers at least `target` in both directions.
int ChooseReducedLevel(Size stored, Size target, int maxLevel);

// The picture as it should be seen, for an EXIF orientation 1..8 of the
// stored picture `stored` (0x00RRGGBB, rows top to bottom).
ws::Pixels OrientPicture(const ws::Pixels& stored, int orientation);

// The orientation (as above) that turns a clip's stored pictures upright:
// its display matrix tells the turn, in degrees counterclockwise. Only
// quarter turns are applied; anything else is shown as stored.
int OrientationOfDisplayRotation(double counterclockwiseDegrees);

}  // namespace tarn::media
