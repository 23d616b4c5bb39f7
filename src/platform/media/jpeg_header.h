// What the player needs from a JPEG file before decoding it: the stored
// picture size (to choose a reduced decoding resolution) and the EXIF
// orientation (to show photos upright). Reads markers only; any input,
// however malformed, gives an answer without reading out of bounds.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarn::media {

struct JpegHeader {
    bool valid = false;  // a start of image and a frame header were found
    int width = 0;       // stored size, before orientation
    int height = 0;
    int orientation = 1;  // EXIF orientation 1..8 (1 when absent or invalid)
    bool progressive = false;
    size_t scanOffset = 0;  // where the first scan starts (0: not found)
};

JpegHeader ParseJpegHeader(const uint8_t* data, size_t size);
// Reads the start of the file (up to the frame header) and parses it.
JpegHeader ReadJpegHeader(const char* path);

// True when the file holds an end-of-image marker after `scanOffset`: a
// JPEG cut short has none, and is not shown half-drawn.
bool JpegHasEnd(const char* path, size_t scanOffset);

// The orientation tag of an EXIF block (the APP1 payload after "Exif\0\0",
// starting with the TIFF header); 1 when absent or invalid.
int ParseExifOrientation(const uint8_t* tiff, size_t size);

// True for orientations 5..8, which turn the picture by a quarter.
inline bool OrientationSwapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }

}  // namespace tarn::media
