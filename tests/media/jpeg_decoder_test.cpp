// JPEG decoding through libjpeg-turbo: reduced in the DCT, scaled to the exact
// target, in the right colours, and refusing what is damaged.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "media_fixtures.h"
#include "platform/media/jpeg_decoder.h"
#include "platform/media/jpeg_header.h"

namespace {

namespace fs = std::filesystem;
namespace tm = tarn::media;

int Red(uint32_t p) { return static_cast<int>((p >> 16) & 0xFF); }
int Blue(uint32_t p) { return static_cast<int>(p & 0xFF); }
bool IsRed(uint32_t p) { return Red(p) > 200 && Blue(p) < 60; }
bool IsBlue(uint32_t p) { return Blue(p) > 200 && Red(p) < 60; }

class JpegDecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::path(TARN_BINARY_DIR) / "jpeg-decoder-test";
        fs::create_directories(folder_);
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = (folder_ / name).string();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path;
    }
    // The red-and-blue halves, made progressive.
    std::string ProgressiveHalves() {
        const std::string halves = media_test::HalvesJpeg();
        const std::string path = (folder_ / "progressive-halves.jpg").string();
        const std::string command =
            "jpegtran -progressive -outfile '" + path + "' '" + halves + "' >/dev/null 2>&1";
        return !halves.empty() && std::system(command.c_str()) == 0 ? path : std::string();
    }
    fs::path folder_;
};

TEST_F(JpegDecoderTest, AProgressivePictureComesOutReducedAtTheTargetSizeInItsColours) {
    const std::string path = ProgressiveHalves();
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(tm::ReadJpegHeader(path.c_str()).progressive);

    // The half-size decode covers 160 x 120 and 100 x 75; only a target of
    // at most 160 x 120 could have come from the quarter (80 x 60 is less).
    tm::JpegDecoded half;
    ASSERT_TRUE(tm::DecodeJpegScaled(path.c_str(), {320, 240}, {160, 120}, &half));
    EXPECT_EQ(half.reducedLevel, 1);
    ASSERT_EQ(half.picture.width, 160);
    ASSERT_EQ(half.picture.height, 120);
    ASSERT_EQ(half.picture.data.size(), 160u * 120u);
    EXPECT_TRUE(IsRed(half.picture.At(20, 60)));
    EXPECT_TRUE(IsBlue(half.picture.At(140, 60)));
    for (uint32_t p : half.picture.data) ASSERT_EQ(p >> 24, 0u) << "pixels are 0x00RRGGBB";

    tm::JpegDecoded quarter;
    ASSERT_TRUE(tm::DecodeJpegScaled(path.c_str(), {320, 240}, {100, 75}, &quarter));
    EXPECT_EQ(quarter.reducedLevel, 1) << "80 x 60 would not cover 100 x 75";
    EXPECT_EQ(quarter.picture.width, 100);
    EXPECT_EQ(quarter.picture.height, 75);
    EXPECT_TRUE(IsRed(quarter.picture.At(10, 37)));
    EXPECT_TRUE(IsBlue(quarter.picture.At(90, 37)));

    tm::JpegDecoded full;
    ASSERT_TRUE(tm::DecodeJpegScaled(path.c_str(), {320, 240}, {300, 225}, &full));
    EXPECT_EQ(full.reducedLevel, 0);
    EXPECT_EQ(full.picture.width, 300);
}

TEST_F(JpegDecoderTest, AStretchOfDamagedScanDataIsRefusedNotPapered) {
    std::string bytes = media_test::ReadBytes(media_test::HalvesJpeg());
    ASSERT_FALSE(bytes.empty());
    const tm::JpegHeader header = tm::ParseJpegHeader(
        reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ASSERT_TRUE(header.valid);
    const size_t scan = header.scanOffset;
    ASSERT_GT(bytes.size(), scan + 200);
    const std::string whole = Write("whole.jpg", bytes);
    tm::JpegDecoded decoded;
    ASSERT_TRUE(tm::DecodeJpegScaled(whole.c_str(), {320, 240}, {320, 240}, &decoded));

    // A marker in the middle of the entropy-coded data ends it early; the
    // library would fill the rest with grey and only warn.
    const size_t middle = scan + (bytes.size() - scan) / 2;
    bytes[middle] = '\xFF';
    bytes[middle + 1] = '\xD9';
    const std::string damaged = Write("damaged.jpg", bytes);
    EXPECT_FALSE(tm::DecodeJpegScaled(damaged.c_str(), {320, 240}, {320, 240}, &decoded));
}

TEST_F(JpegDecoderTest, ASizeOtherThanTheHeadersOrAMissingFileIsRefused) {
    const std::string halves = media_test::HalvesJpeg();
    ASSERT_FALSE(halves.empty());
    tm::JpegDecoded decoded;
    EXPECT_FALSE(tm::DecodeJpegScaled(halves.c_str(), {640, 480}, {320, 240}, &decoded));
    EXPECT_FALSE(tm::DecodeJpegScaled(halves.c_str(), {320, 240}, {0, 240}, &decoded));
    EXPECT_FALSE(tm::DecodeJpegScaled((folder_ / "none.jpg").c_str(), {320, 240}, {160, 120},
                                      &decoded));
    EXPECT_TRUE(tm::DecodeJpegScaled(halves.c_str(), {320, 240}, {160, 120}, &decoded));
}

}  // namespace
