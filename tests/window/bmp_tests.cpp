// Decoding BMP and ICO files written by the test, and loading them as
// resources.
#include "platform/window/bmp_decoder.h"
#include "platform/window/resources.h"
#include "window_test_support.h"

using namespace window_test;
using tarn::DecodeBmp;
using tarn::ws::Pixels;

namespace {

std::optional<Pixels> Decode(const std::vector<unsigned char>& bytes) {
    return DecodeBmp(bytes.data(), bytes.size());
}

// Expected colours of a paletted picture.
std::vector<uint32_t> Expand(const BmpSpec& spec) {
    std::vector<uint32_t> colours;
    for (uint32_t index : spec.pixels) colours.push_back(spec.palette.at(index));
    return colours;
}

BmpSpec Colourful(int width, int height, int bitsPerPixel) {
    BmpSpec spec;
    spec.width = width;
    spec.height = height;
    spec.bitsPerPixel = bitsPerPixel;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            spec.pixels.push_back(static_cast<uint32_t>((x * 37 + 11) << 16 | (y * 53 + 7) << 8 | (x * y + 3)) & 0xFFFFFF);
    return spec;
}

TEST(BmpDecoding, TrueColourBottomUpAndTopDownWithRowPadding) {
    for (bool topDown : {false, true}) {
        for (int bits : {24, 32}) {
            BmpSpec spec = Colourful(5, 3, bits);  // 5 * 3 bytes: rows padded to 16
            spec.topDown = topDown;
            const auto picture = Decode(WriteBmp(spec));
            ASSERT_TRUE(picture) << bits << " bits, top-down " << topDown;
            EXPECT_EQ(picture->width, 5);
            EXPECT_EQ(picture->height, 3);
            EXPECT_EQ(picture->data, spec.pixels) << bits << " bits, top-down " << topDown;
        }
    }
}

TEST(BmpDecoding, PalettedDepthsWithOddWidths) {
    struct Case { int bits; int width; };
    for (const Case c : {Case{1, 10}, Case{4, 5}, Case{8, 3}}) {
        BmpSpec spec;
        spec.width = c.width;
        spec.height = 4;
        spec.bitsPerPixel = c.bits;
        const int colours = 1 << c.bits;
        for (int i = 0; i < std::min(colours, 16); ++i) spec.palette.push_back(0x010101u * (i * 13 + 1));
        for (int y = 0; y < spec.height; ++y)
            for (int x = 0; x < spec.width; ++x)
                spec.pixels.push_back(static_cast<uint32_t>((x + 3 * y) % spec.palette.size()));
        const auto picture = Decode(WriteBmp(spec));
        ASSERT_TRUE(picture) << c.bits << " bits";
        EXPECT_EQ(picture->data, Expand(spec)) << c.bits << " bits";
    }
}

TEST(BmpDecoding, IndexesBeyondAShortPaletteReadAsBlack) {
    BmpSpec spec;
    spec.width = 4;
    spec.height = 1;
    spec.bitsPerPixel = 8;
    spec.palette = {0xFF0000, 0x00FF00, 0x0000FF};
    spec.pixels = {0, 1, 2, 200};
    const auto picture = Decode(WriteBmp(spec));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->data, (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0}));
}

TEST(BmpDecoding, SixteenBitDefaultAndBitFieldLayouts) {
    BmpSpec spec;
    spec.width = 3;
    spec.height = 1;
    spec.bitsPerPixel = 16;
    spec.pixels = {0x7C00, 0x03E0, 0x001F};  // 5-5-5 red, green, blue
    auto picture = Decode(WriteBmp(spec));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->data, (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF}));

    spec.bitFields = true;
    spec.masks[0] = 0xF800;
    spec.masks[1] = 0x07E0;
    spec.masks[2] = 0x001F;
    spec.pixels = {0xF800, 0x0400, 0x0010};  // 5-6-5: full red, half green, half blue
    picture = Decode(WriteBmp(spec));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->data, (std::vector<uint32_t>{0xFF0000, 0x008200, 0x000084}));
}

TEST(BmpDecoding, ThirtyTwoBitWithSwappedMasks) {
    BmpSpec spec;
    spec.width = 2;
    spec.height = 1;
    spec.bitsPerPixel = 32;
    spec.bitFields = true;
    spec.masks[0] = 0x000000FF;  // red in the low byte
    spec.masks[1] = 0x0000FF00;
    spec.masks[2] = 0x00FF0000;
    spec.pixels = {0x00332211, 0xFF0000AA};
    const auto picture = Decode(WriteBmp(spec));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->data, (std::vector<uint32_t>{0x112233, 0xAA0000}));
}

TEST(BmpDecoding, TheOldCoreHeaderWithThreeBytePaletteEntries) {
    BmpSpec spec;
    spec.coreHeader = true;
    spec.width = 3;
    spec.height = 2;
    spec.bitsPerPixel = 8;
    spec.palette = {0x102030, 0x405060};
    spec.pixels = {0, 1, 0, 1, 1, 0};
    const auto picture = Decode(WriteBmp(spec));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->data, Expand(spec));
}

TEST(BmpDecoding, MalformedFilesAreRefusedWithoutReadingPastTheEnd) {
    BmpSpec spec = Colourful(7, 5, 24);
    const std::vector<unsigned char> good = WriteBmp(spec);
    ASSERT_TRUE(Decode(good));
    // Every truncation is refused (the pixel rows are needed in full).
    for (size_t length = 0; length < good.size(); ++length) {
        const std::vector<unsigned char> cut(good.begin(), good.begin() + static_cast<long>(length));
        EXPECT_FALSE(DecodeBmp(cut.data(), cut.size())) << "length " << length;
    }
    auto patched = [&](size_t offset, uint32_t value) {
        std::vector<unsigned char> bytes = good;
        for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
        return bytes;
    };
    EXPECT_FALSE(Decode(patched(0, 0x00004D42 ^ 0x0100))) << "bad magic";
    EXPECT_FALSE(Decode(patched(10, 0xFFFFFFF0))) << "pixels beyond the file";
    EXPECT_FALSE(Decode(patched(14, 0x7FFFFFFF))) << "header larger than the file";
    EXPECT_FALSE(Decode(patched(18, 0))) << "zero width";
    EXPECT_FALSE(Decode(patched(18, 100000))) << "width beyond the limit";
    EXPECT_FALSE(Decode(patched(22, 0x80000000))) << "the most negative height";
    EXPECT_FALSE(Decode(patched(30, 1))) << "run-length compression";
    {
        BmpSpec paletted;
        paletted.width = 1;
        paletted.height = 1;
        paletted.bitsPerPixel = 4;
        paletted.palette = {0, 0};
        paletted.pixels = {1};
        std::vector<unsigned char> bytes = WriteBmp(paletted);
        bytes[46] = 17;  // more colours than four bits can index
        EXPECT_FALSE(Decode(bytes));
    }
    EXPECT_FALSE(DecodeBmp(nullptr, 100));
}

TEST(IconDecoding, TheLargestBmpImageOfAnIcoFileIsUsed) {
    BmpSpec small = Colourful(2, 2, 32);
    BmpSpec large = Colourful(4, 4, 32);
    const auto smallDib = WriteIconDib(small);
    const auto largeDib = WriteIconDib(large);
    std::vector<unsigned char> ico = {0, 0, 1, 0, 2, 0};
    auto entry = [&](int size, size_t length, size_t offset) {
        const unsigned char e[16] = {static_cast<unsigned char>(size), static_cast<unsigned char>(size), 0, 0, 1, 0, 32, 0,
                                     static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8), 0, 0,
                                     static_cast<unsigned char>(offset), static_cast<unsigned char>(offset >> 8), 0, 0};
        ico.insert(ico.end(), e, e + 16);
    };
    const size_t first = 6 + 32;
    entry(2, smallDib.size(), first);
    entry(4, largeDib.size(), first + smallDib.size());
    ico.insert(ico.end(), smallDib.begin(), smallDib.end());
    ico.insert(ico.end(), largeDib.begin(), largeDib.end());

    const auto picture = tarn::DecodeIco(ico.data(), ico.size());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 4);
    EXPECT_EQ(picture->height, 4);
    EXPECT_EQ(picture->data, large.pixels);

    std::vector<unsigned char> broken = ico;
    broken.resize(first + smallDib.size() + 10);  // the large image is cut off
    const auto fallback = tarn::DecodeIco(broken.data(), broken.size());
    ASSERT_TRUE(fallback) << "the next image is tried";
    EXPECT_EQ(fallback->data, small.pixels);
    EXPECT_FALSE(tarn::DecodeIco(ico.data(), 20));
}

class ResourceTest : public WindowTest {
protected:
    void TearDown() override {
        tarn::ClearEmbeddedResources();
        WindowTest::TearDown();
    }
};

TEST_F(ResourceTest, BitmapsAndIconsAreLoadedByIdFromTheRegisteredTable) {
    BmpSpec red;
    red.width = 2;
    red.height = 2;
    red.pixels = {0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000};
    BmpSpec blue = red;
    blue.pixels = {0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF};
    const auto redBytes = WriteBmp(red);
    const auto blueBytes = WriteBmp(blue);
    const unsigned char junk[] = {'B', 'M', 1, 2, 3};
    const tarn::EmbeddedResource table[] = {
        {103, redBytes.data(), redBytes.size()},
        {122, blueBytes.data(), blueBytes.size()},
        {104, junk, sizeof junk},
    };
    tarn::RegisterEmbeddedResources(table, 3);

    const HBITMAP bitmap = LoadBitmapA(nullptr, MAKEINTRESOURCEA(103));
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(tarn::ws::BitmapPixels(bitmap)->At(1, 1), 0xFF0000u);
    EXPECT_EQ(LoadBitmapA(nullptr, MAKEINTRESOURCEA(105)), nullptr) << "no such id";
    EXPECT_EQ(LoadBitmapA(nullptr, MAKEINTRESOURCEA(104)), nullptr) << "undecodable";
    const HBITMAP byName = LoadBitmapA(nullptr, "#103");
    ASSERT_NE(byName, nullptr);
    EXPECT_NE(byName, bitmap) << "each load is a new object";

    const HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(122));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(tarn::ws::IconPixels(icon)->At(0, 0), 0x0000FFu);
    EXPECT_EQ(tarn::ws::BitmapPixels(reinterpret_cast<HBITMAP>(icon)), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);

    // A later registration of an id replaces the earlier one.
    const tarn::EmbeddedResource replacement[] = {{103, blueBytes.data(), blueBytes.size()}};
    tarn::RegisterEmbeddedResources(replacement, 1);
    const HBITMAP replaced = LoadBitmapA(nullptr, MAKEINTRESOURCEA(103));
    EXPECT_EQ(tarn::ws::BitmapPixels(replaced)->At(0, 0), 0x0000FFu);
    EXPECT_EQ(tarn::ws::BitmapPixels(bitmap)->At(0, 0), 0xFF0000u) << "loaded bitmaps are unaffected";
}

}  // namespace
