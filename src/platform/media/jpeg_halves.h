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
#include <functional>
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
    uint64_t topBegin = 0;
    uint64_t topEnd = 0;
    uint64_t bottomBegin = 0;
    uint64_t bottomEnd = 0;
};

// Reads up to `size` bytes of the file at `offset` into `into`; the count
// read, short only at the end of the file (or on an error).
using JpegByteReader = std::function<size_t(uint64_t offset, uint8_t* into, size_t size)>;

// Plans the cut nearest `topShare` (0..1) of the picture's rows, reading the
// file of `fileSize` bytes through `read`: its headers, then the scan data
// up to the cut, `chunkBytes` at a time. False when the file is not such a
// JPEG, when its markers do not run as its restart interval says up to the
// cut, or when it is too short to be cut.
bool PlanJpegHalvesFrom(const JpegByteReader& read, uint64_t fileSize, double topShare, size_t chunkBytes,
                        JpegHalves* out);

// The same for a file in memory.
bool PlanJpegHalves(const uint8_t* data, size_t size, double topShare, JpegHalves* out);

// The two bytes of an end-of-image marker, to end the top half.
inline constexpr uint8_t kJpegEnd[2] = {0xFF, 0xD9};

}  // namespace tarn::media
