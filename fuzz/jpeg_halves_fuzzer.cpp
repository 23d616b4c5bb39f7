// Arbitrary bytes as a JPEG file for the planner that cuts a picture with
// restart markers in two for the player's two-thread decode.
//
// A plan must describe the input as an independent reading sees it: both
// halves' headers are the file's own headers with only the frame height
// changed, to heights that add up to the picture's; the top half's data run
// from the end of those headers to an RST7, through whole cycles of restart
// markers in turn and nothing else; the bottom half's data run from just
// after that marker to the end of the file.
#include <cstddef>
#include <cstdint>

#include "platform/media/jpeg_halves.h"
#include "platform/media/jpeg_header.h"
#include "support/fuzz_folder.h"

namespace {

namespace tm = tarn::media;

int DifferingBytes(const std::vector<uint8_t>& header, const uint8_t* data) {
    int differing = 0;
    for (size_t i = 0; i < header.size(); ++i) differing += header[i] != data[i] ? 1 : 0;
    return differing;
}

void CheckPlan(const uint8_t* data, size_t size, double share) {
    tm::JpegHalves halves;
    if (!tm::PlanJpegHalves(data, size, share, &halves)) return;

    FUZZ_CHECK(halves.topHeader.size() == halves.topBegin && halves.bottomHeader.size() == halves.topBegin,
               "the headers are not the file's headers");
    FUZZ_CHECK(halves.topBegin <= halves.topEnd && halves.topEnd + 2 == halves.bottomBegin &&
                   halves.bottomEnd == size && halves.bottomBegin <= size,
               "the halves' data are not where the cut is");
    FUZZ_CHECK(data[halves.topEnd] == 0xFF && data[halves.topEnd + 1] == 0xD7, "the cut is not at an RST7");
    FUZZ_CHECK(halves.topHeight > 0 && halves.topHeight < halves.height, "a half without rows");
    FUZZ_CHECK(DifferingBytes(halves.topHeader, data) <= 2 && DifferingBytes(halves.bottomHeader, data) <= 2,
               "a header differs in more than the height");

    const tm::JpegHeader top = tm::ParseJpegHeader(halves.topHeader.data(), halves.topHeader.size());
    const tm::JpegHeader bottom = tm::ParseJpegHeader(halves.bottomHeader.data(), halves.bottomHeader.size());
    const tm::JpegHeader whole = tm::ParseJpegHeader(data, size);
    FUZZ_CHECK(top.valid && bottom.valid && whole.valid, "a header the reader refuses");
    FUZZ_CHECK(whole.width == halves.width && whole.height == halves.height, "another picture size");
    FUZZ_CHECK(top.height == halves.topHeight && bottom.height == halves.height - halves.topHeight,
               "the heights do not add up");
    FUZZ_CHECK(top.width == halves.width && bottom.width == halves.width, "a half of another width");

    // The top half's data: stuffed bytes, fill bytes and restart markers in
    // turn only, ending with the marker before the cut.
    int markers = 0;
    for (size_t at = halves.topBegin; at + 1 < halves.topEnd + 2; ++at) {
        if (data[at] != 0xFF) continue;
        const uint8_t next = data[at + 1];
        if (next == 0x00 || next == 0xFF) continue;
        FUZZ_CHECK(next >= 0xD0 && next <= 0xD7, "another marker above the cut");
        FUZZ_CHECK(next - 0xD0 == markers % 8, "a marker out of turn above the cut");
        ++markers;
        ++at;
    }
    FUZZ_CHECK(markers % 8 == 0 && markers > 0, "the cut is not after whole cycles of markers");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckPlan(data, size, 0.44);
    if (size > 0) CheckPlan(data, size, (data[size - 1] + 1) / 258.0);
    return 0;
}
