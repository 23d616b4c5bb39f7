// A single-scan Huffman JPEG whose restart interval is a whole number of MCU
// rows can be cut at a restart marker into two JPEG streams that decode on
// their own: the rows above the marker and the rows below it. Each half gets
// the file's own headers with the frame height changed to its share; the cut
// is made after a marker RST7, so that the bottom half's markers run from
// RST0 as a decoder expects, and the entropy-coded data is used in place.
// Reads the bytes only; any input, however malformed, gives an answer
// without reading out of bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarn::media {

struct JpegHalves {
    int width = 0;
    int height = 0;     // of the whole picture
    int topHeight = 0;  // pixel rows of the top half: a whole number of MCU rows
    // Start of image through the scan header, frame height changed.
    std::vector<uint8_t> topHeader;
    std::vector<uint8_t> bottomHeader;
    // The entropy-coded data of each half within the file: the top half's
    // ends just before the restart marker (an end-of-image marker must
    // follow it), the bottom half's runs from just after that marker to the
    // end of the file.
    size_t topBegin = 0;
    size_t topEnd = 0;
    size_t bottomBegin = 0;
    size_t bottomEnd = 0;
};

// Plans the cut nearest `topShare` (0..1) of the picture's rows. False when
// the file is not such a JPEG, when its markers do not run as its restart
// interval says up to the cut, or when it is too short to be cut.
bool PlanJpegHalves(const uint8_t* data, size_t size, double topShare, JpegHalves* out);

// The two bytes of an end-of-image marker, to end the top half.
inline constexpr uint8_t kJpegEnd[2] = {0xFF, 0xD9};

}  // namespace tarn::media
