// JPEG files made for tests with libjpeg, and what tests look at in them:
// their marker segments and their decoded pixels.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tarn::test {

struct JpegSample {
    int width = 64;
    int height = 48;
    int components = 3;  // 1 grey, 3 colour (YCbCr), 4 CMYK
    enum Scans { Baseline, Progressive, OneScanPerComponent, ProgressiveDcOnly } scans = Baseline;
    bool arithmetic = false;
    int quality = 85;
    unsigned seed = 1;
    // Segments written after the library's own header: marker code, data.
    std::vector<std::pair<int, std::string>> markers;
    // A restart marker every this many rows of MCUs, or else every this many
    // MCUs (0: none).
    int restartRows = 0;
    int restartMcus = 0;
};

std::string MakeJpeg(const JpegSample& sample);

// An APP1 segment's data that looks like EXIF, and one COM, both distinct
// for distinct seeds.
std::pair<int, std::string> ExifMarker(unsigned seed);
std::pair<int, std::string> CommentMarker(const std::string& text);

struct JpegSegment {
    int marker = 0;    // 0xD8 for SOI, 0xC0 for SOF0, ...
    std::string data;  // the segment's data without its length; empty for SOI and EOI
};

// The marker segments of `bytes` in order, entropy-coded data skipped, up to
// and including EOI; whatever follows EOI is left out.
std::vector<JpegSegment> JpegSegments(const std::string& bytes);

// The restart interval (in MCUs) of the DRI segment, 0 when there is none.
int RestartInterval(const std::vector<JpegSegment>& segments);

// How many segments carry `marker`.
int CountSegments(const std::vector<JpegSegment>& segments, int marker);

// Only the APPn and COM segments, in order.
std::vector<JpegSegment> MetadataSegments(const std::vector<JpegSegment>& segments);

struct JpegPixels {
    bool ok = false;  // false when libjpeg refused the file or warned
    int width = 0;
    int height = 0;
    int components = 0;
    std::vector<uint8_t> samples;
};

JpegPixels DecodeJpeg(const std::string& bytes);

inline bool operator==(const JpegSegment& a, const JpegSegment& b) {
    return a.marker == b.marker && a.data == b.data;
}

}  // namespace tarn::test
