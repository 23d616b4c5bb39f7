// Photos taken with the camera held sideways are stored as the sensor saw
// them, with an EXIF Orientation tag (1..8) that tells how to turn or mirror
// the stored pixels to see the picture upright. The imaging component never
// applies it: these read the tag and turn the decoded pixels.
#pragma once

#include <vector>

#include "platform/windows/picture_decode.h"

namespace tarn {

// The orientation a JPEG at `path` is stored with; 1 for any other file,
// and for a tag that is missing, malformed or not one of the eight.
int JpegOrientation(const wchar_t* path);

// True for orientations 5..8, which turn the picture by a quarter: it is
// seen with its width and height exchanged.
inline bool OrientationSwapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }

// The size a picture stored at `stored` is seen at (the same size swapped
// back gives the stored one).
inline PictureSize OrientedSize(PictureSize stored, int orientation) {
    return OrientationSwapsAxes(orientation) ? PictureSize{stored.height, stored.width} : stored;
}

// Top-down 32-bit rows of a picture stored at `stored`, turned and mirrored
// as `orientation` says; the rows as they are for 1 and anything outside
// 1..8.
std::vector<unsigned char> TurnUpright(const std::vector<unsigned char>& rows, PictureSize stored,
                                       int orientation);

}  // namespace tarn
