// JPEGs with restart markers at whole rows, cut in two and decoded on two
// threads: the same pixels as the picture decoded whole, and anything
// malformed either decoded whole or refused, never drawn wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media_fixtures.h"
#include "platform/media/jpeg_decoder.h"
#include "platform/media/jpeg_halves.h"
#include "platform/media/jpeg_header.h"
#include "platform/media/picture_cache.h"
#include "platform/media/still_picture.h"

namespace {

namespace fs = std::filesystem;
namespace tm = tarn::media;

const uint8_t* Data(const std::string& bytes) { return reinterpret_cast<const uint8_t*>(bytes.data()); }

class JpegHalvesTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::path(TARN_BINARY_DIR) / "jpeg-halves-test";
        fs::create_directories(folder_);
    }

    // ffmpeg's test pattern under noise, `width` x `height`, in the given
    // sampling (yuvj420p, yuvj422p, yuvj444p); made once per build tree.
    static std::string Pattern(int width, int height, const std::string& sampling) {
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        return media_test::Fixture("halves-" + size + "-" + sampling + ".jpg",
                                   "-f lavfi -i testsrc2=s=" + size + ":d=1,noise=alls=30:allf=t,format=" +
                                       sampling + " -frames:v 1 -update 1 -q:v 3");
    }

    // `source` through jpegtran with `options` (lossless), as `name`.
    std::string Jpegtran(const std::string& source, const std::string& options, const std::string& name) {
        const std::string path = (folder_ / name).string();
        const std::string command =
            "jpegtran " + options + " -outfile '" + path + "' '" + source + "' >/dev/null 2>&1";
        return !source.empty() && std::system(command.c_str()) == 0 ? path : std::string();
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = (folder_ / name).string();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path;
    }

    static tm::Size StoredSize(const std::string& path) {
        const tm::JpegHeader header = tm::ReadJpegHeader(path.c_str());
        return {header.width, header.height};
    }

    fs::path folder_;
};

TEST_F(JpegHalvesTest, CutPicturesDecodeToThePixelsOfTheWholeOnes) {
    struct Case {
        const char* what;
        int width, height;
        const char* sampling;
        const char* restart;  // jpegtran's restart option
        tm::Size target;
        bool cut;  // whether the halves can give the whole picture's rows
    };
    const std::vector<Case> cases = {
        {"4:2:0 at half size", 640, 480, "yuvj420p", "-restart 1", {320, 240}, true},
        {"4:2:0, part rows and columns, fitted", 632, 470, "yuvj420p", "-restart 1", {300, 223}, true},
        {"4:4:4, odd size, fitted", 321, 397, "yuvj444p", "-restart 1", {160, 198}, true},
        {"4:2:0 at an eighth", 640, 480, "yuvj420p", "-restart 1", {80, 60}, true},
        {"4:2:0, markers every other row", 640, 480, "yuvj420p", "-restart 2", {320, 240}, true},
        {"4:4:4 at full size", 320, 400, "yuvj444p", "-restart 1", {320, 400}, true},
        {"4:2:2 at full size", 320, 400, "yuvj422p", "-restart 1", {320, 400}, true},
        {"grey at a quarter", 640, 480, "yuvj420p", "-grayscale -restart 1", {160, 120}, true},
        // Full-size 4:2:0 blends chroma rows across the cut: decoded whole.
        {"4:2:0 at full size", 640, 480, "yuvj420p", "-restart 1", {640, 480}, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string pattern = Pattern(c.width, c.height, c.sampling);
        ASSERT_FALSE(pattern.empty());
        // The same coefficients with and without markers.
        const std::string grey = std::string(c.restart).find("-grayscale") != std::string::npos ? "-grayscale " : "";
        const std::string plain = Jpegtran(pattern, grey + "-copy all", "plain-" + std::to_string(n) + ".jpg");
        const std::string marked = Jpegtran(pattern, std::string(c.restart) + " -copy all",
                                            "marked-" + std::to_string(n) + ".jpg");
        ++n;
        ASSERT_FALSE(plain.empty());
        ASSERT_FALSE(marked.empty());
        const tm::Size stored = StoredSize(marked);
        ASSERT_EQ(stored.width, c.width);

        tm::JpegDecoded whole;
        tm::JpegDecoded halves;
        ASSERT_TRUE(tm::DecodeJpegScaled(plain.c_str(), stored, c.target, &whole));
        ASSERT_TRUE(tm::DecodeJpegScaled(marked.c_str(), stored, c.target, &halves));
        EXPECT_FALSE(whole.cutInTwo) << "no markers, nothing to cut at";
        EXPECT_EQ(halves.cutInTwo, c.cut);
        EXPECT_EQ(halves.reducedLevel, whole.reducedLevel);
        ASSERT_EQ(halves.picture.width, c.target.width);
        ASSERT_EQ(halves.picture.height, c.target.height);
        ASSERT_EQ(halves.picture.data.size(), whole.picture.data.size());
        size_t differing = 0;
        for (size_t i = 0; i < whole.picture.data.size(); ++i) differing += whole.picture.data[i] != halves.picture.data[i];
        EXPECT_EQ(differing, 0u) << "pixels differ";
    }
}

TEST_F(JpegHalvesTest, OnlyPicturesSomeoneWaitsForAreCutInTwo) {
    const std::string marked = Jpegtran(Pattern(640, 480, "yuvj420p"), "-restart 1", "wanted-a.jpg");
    ASSERT_FALSE(marked.empty());
    const std::string bytes = media_test::ReadBytes(marked);
    const std::string second = Write("wanted-b.jpg", bytes);
    const std::string third = Write("wanted-c.jpg", bytes);
    const tm::Size screen{320, 240};

    tm::JpegDecoded one;
    tm::JpegDecoded two;
    ASSERT_TRUE(tm::DecodeJpegScaled(marked.c_str(), {640, 480}, screen, &one, false));
    ASSERT_TRUE(tm::DecodeJpegScaled(marked.c_str(), {640, 480}, screen, &two, true));
    EXPECT_FALSE(one.cutInTwo);
    EXPECT_TRUE(two.cutInTwo);
    EXPECT_TRUE(one.picture.data == two.picture.data);

    tm::ClearPreparedPictures();
    // The show's first picture, decoded ahead while the show starts, is
    // awaited: two threads.
    tm::PreparePicture(marked, screen);
    ASSERT_TRUE(tm::PictureIsPrepared(marked, screen));
    tm::StillPicture picture;
    ASSERT_EQ(tm::DecodeStillPictureCached(marked, screen, &picture), tm::StillResult::Decoded);
    EXPECT_TRUE(picture.cutInTwo);
    // Once the show runs, the next slide's picture is decoded ahead on one.
    tm::PreparePicture(second, screen);
    ASSERT_TRUE(tm::PictureIsPrepared(second, screen));
    ASSERT_EQ(tm::DecodeStillPictureCached(second, screen, &picture), tm::StillResult::Decoded);
    EXPECT_FALSE(picture.cutInTwo);
    ASSERT_TRUE(picture.frame);
    EXPECT_TRUE(picture.frame->data == two.picture.data) << "the same pixels either way";
    // A picture nobody prepared is decoded by the caller, who waits for it.
    ASSERT_EQ(tm::DecodeStillPictureCached(third, screen, &picture), tm::StillResult::Decoded);
    EXPECT_TRUE(picture.cutInTwo);
    // A new show starts again.
    tm::ClearPreparedPictures();
    tm::PreparePicture(second, screen);
    ASSERT_EQ(tm::DecodeStillPictureCached(second, screen, &picture), tm::StillResult::Decoded);
    EXPECT_TRUE(picture.cutInTwo);
    tm::ClearPreparedPictures();
}

TEST_F(JpegHalvesTest, TheCutFallsAfterAnRst7AtWholeRowsNearTheShareAsked) {
    const std::string marked = Jpegtran(Pattern(640, 480, "yuvj420p"), "-restart 1", "plan.jpg");
    ASSERT_FALSE(marked.empty());
    const std::string bytes = media_test::ReadBytes(marked);

    // 30 rows of 16 pixels, cuts possible after 8, 16 and 24 rows.
    for (const auto& [share, rows] : {std::pair{0.44, 16}, std::pair{0.01, 8}, std::pair{0.3, 8},
                                      std::pair{0.99, 24}, std::pair{0.75, 24}}) {
        SCOPED_TRACE(share);
        tm::JpegHalves halves;
        ASSERT_TRUE(tm::PlanJpegHalves(Data(bytes), bytes.size(), share, &halves));
        EXPECT_EQ(halves.width, 640);
        EXPECT_EQ(halves.height, 480);
        EXPECT_EQ(halves.topHeight, rows * 16);
        ASSERT_LT(halves.topEnd + 1, bytes.size());
        EXPECT_EQ(static_cast<uint8_t>(bytes[halves.topEnd]), 0xFF);
        EXPECT_EQ(static_cast<uint8_t>(bytes[halves.topEnd + 1]), 0xD7);
        EXPECT_EQ(halves.bottomBegin, halves.topEnd + 2);
        EXPECT_EQ(halves.bottomEnd, bytes.size());
        EXPECT_EQ(halves.topBegin, halves.topHeader.size());
        const tm::JpegHeader top = tm::ParseJpegHeader(halves.topHeader.data(), halves.topHeader.size());
        const tm::JpegHeader bottom = tm::ParseJpegHeader(halves.bottomHeader.data(), halves.bottomHeader.size());
        EXPECT_EQ(top.height, rows * 16);
        EXPECT_EQ(bottom.height, 480 - rows * 16);
        EXPECT_EQ(top.width, 640);
        // Apart from the height, the headers are the file's own.
        std::string header = bytes.substr(0, halves.topBegin);
        std::string topHeader(halves.topHeader.begin(), halves.topHeader.end());
        size_t differ = 0;
        for (size_t i = 0; i < header.size(); ++i) differ += header[i] != topHeader[i];
        EXPECT_LE(differ, 2u);
    }
    // Shares outside 0..1 plan nothing.
    tm::JpegHalves halves;
    EXPECT_FALSE(tm::PlanJpegHalves(Data(bytes), bytes.size(), 0.0, &halves));
    EXPECT_FALSE(tm::PlanJpegHalves(Data(bytes), bytes.size(), 1.0, &halves));
}

TEST_F(JpegHalvesTest, TheCutIsFoundAlikeWhateverPiecesTheFileIsReadIn) {
    const std::string marked = Jpegtran(Pattern(640, 480, "yuvj420p"), "-restart 1", "pieces.jpg");
    ASSERT_FALSE(marked.empty());
    const std::string bytes = media_test::ReadBytes(marked);
    int reads = 0;
    uint64_t shortAt = UINT64_MAX;  // the file seems to end here
    const tm::JpegByteReader read = [&](uint64_t offset, uint8_t* into, size_t size) -> size_t {
        ++reads;
        const uint64_t end = std::min<uint64_t>(bytes.size(), shortAt);
        if (offset >= end) return 0;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(size, end - offset));
        std::memcpy(into, bytes.data() + offset, n);
        return n;
    };
    tm::JpegHalves expected;
    ASSERT_TRUE(tm::PlanJpegHalves(Data(bytes), bytes.size(), 0.44, &expected));
    // Pieces of two bytes, odd sizes, and more than the file: a marker, a
    // stuffed byte or fill bytes split across two reads are read as one.
    for (const size_t chunk : {size_t{2}, size_t{3}, size_t{7}, size_t{4096}, size_t{1} << 24}) {
        SCOPED_TRACE(chunk);
        tm::JpegHalves halves;
        reads = 0;
        ASSERT_TRUE(tm::PlanJpegHalvesFrom(read, bytes.size(), 0.44, chunk, &halves));
        EXPECT_EQ(halves.topEnd, expected.topEnd);
        EXPECT_EQ(halves.topHeader, expected.topHeader);
        EXPECT_EQ(halves.bottomHeader, expected.bottomHeader);
        EXPECT_EQ(halves.bottomEnd, bytes.size());
        // The scan data past the cut are not read.
        if (chunk == 4096) {
            EXPECT_LT(static_cast<uint64_t>(reads) * chunk, halves.topEnd + 2 * chunk + 64 * 1024);
        }
    }
    // A file that ends (or cannot be read) before the cut plans nothing.
    shortAt = expected.topEnd + 1;
    tm::JpegHalves halves;
    EXPECT_FALSE(tm::PlanJpegHalvesFrom(read, bytes.size(), 0.44, 4096, &halves));
    shortAt = 100;
    EXPECT_FALSE(tm::PlanJpegHalvesFrom(read, bytes.size(), 0.44, 4096, &halves));
}

TEST_F(JpegHalvesTest, PicturesWithoutMarkersAtWholeRowsAreNotCut) {
    const std::string pattern = Pattern(640, 480, "yuvj420p");
    struct Case {
        const char* what;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"no markers", Jpegtran(pattern, "-copy all", "none.jpg")},
        {"markers every 5 MCUs", Jpegtran(pattern, "-restart 5B", "blocks.jpg")},
        {"progressive with markers", Jpegtran(pattern, "-progressive -restart 1", "progressive.jpg")},
        // 3 rows of 16: fewer rows than one cycle of eight markers needs.
        {"too short to cut", Jpegtran(Pattern(64, 48, "yuvj420p"), "-restart 1", "short.jpg")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_FALSE(c.path.empty());
        const std::string bytes = media_test::ReadBytes(c.path);
        tm::JpegHalves halves;
        EXPECT_FALSE(tm::PlanJpegHalves(Data(bytes), bytes.size(), 0.44, &halves));
        tm::JpegDecoded decoded;
        const tm::Size stored = StoredSize(c.path);
        ASSERT_TRUE(tm::DecodeJpegScaled(c.path.c_str(), stored, {stored.width / 2, stored.height / 2}, &decoded));
        EXPECT_FALSE(decoded.cutInTwo);
    }
}

TEST_F(JpegHalvesTest, DamagedMarkersOrDataAreRefusedAsAWholeDecodeRefusesThem) {
    const std::string marked = Jpegtran(Pattern(640, 480, "yuvj420p"), "-restart 1", "damage.jpg");
    ASSERT_FALSE(marked.empty());
    const std::string bytes = media_test::ReadBytes(marked);
    tm::JpegHalves plan;
    ASSERT_TRUE(tm::PlanJpegHalves(Data(bytes), bytes.size(), 0.44, &plan));
    tm::JpegDecoded decoded;
    ASSERT_TRUE(tm::DecodeJpegScaled(marked.c_str(), {640, 480}, {320, 240}, &decoded));
    ASSERT_TRUE(decoded.cutInTwo);

    // The n-th restart marker from `from`.
    const auto nthMarker = [&](size_t from, int n) {
        for (size_t i = from; i + 1 < bytes.size(); ++i) {
            const auto next = static_cast<uint8_t>(bytes[i + 1]);
            if (static_cast<uint8_t>(bytes[i]) == 0xFF && next >= 0xD0 && next <= 0xD7 && --n == 0) return i;
        }
        return std::string::npos;
    };
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::vector<Case> cases;
    {
        std::string b = bytes;  // the top half's second marker out of turn
        b[nthMarker(plan.topBegin, 2) + 1] = '\xD5';
        cases.push_back({"a marker out of turn above the cut", b});
    }
    {
        std::string b = bytes;  // the bottom half's third marker out of turn
        b[nthMarker(plan.bottomBegin, 3) + 1] = '\xD0';
        cases.push_back({"a marker out of turn below the cut", b});
    }
    {
        std::string b = bytes;
        const size_t middle = plan.bottomBegin + (bytes.size() - plan.bottomBegin) / 2;
        b[middle] = '\xFF';
        b[middle + 1] = '\xD9';
        cases.push_back({"an end of image in the bottom half", b});
    }
    {
        std::string b = bytes;
        const size_t middle = plan.topBegin + (plan.topEnd - plan.topBegin) / 2;
        b[middle] = '\xFF';
        b[middle + 1] = '\xD9';
        cases.push_back({"an end of image in the top half", b});
    }
    cases.push_back({"cut short below the cut", bytes.substr(0, plan.bottomBegin + 4000)});
    // Every row there, only the end-of-image marker missing.
    cases.push_back({"without its end", bytes.substr(0, bytes.size() - 2)});
    cases.push_back({"cut short at the cut", bytes.substr(0, plan.bottomBegin) + "\xFF\xD9"});
    {
        std::string b = bytes;  // a restart interval that is not a whole row
        const size_t dri = b.find("\xFF\xDD");
        ASSERT_NE(dri, std::string::npos);
        b[dri + 5] = static_cast<char>(b[dri + 5] - 1);
        cases.push_back({"an interval one MCU short of a row", b});
    }
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Write("damaged-" + std::to_string(n++) + ".jpg", c.bytes);
        EXPECT_FALSE(tm::DecodeJpegScaled(path.c_str(), {640, 480}, {320, 240}, &decoded));
    }
}

TEST_F(JpegHalvesTest, PlanningAnyPrefixOrAlteredHeaderStaysInBounds) {
    const std::string marked = Jpegtran(Pattern(320, 400, "yuvj444p"), "-restart 1", "prefix.jpg");
    ASSERT_FALSE(marked.empty());
    const std::string bytes = media_test::ReadBytes(marked);
    tm::JpegHalves whole;
    ASSERT_TRUE(tm::PlanJpegHalves(Data(bytes), bytes.size(), 0.5, &whole));

    // Every prefix is planned in a buffer of exactly its size (a sanitizer
    // build sees any read past it); those that reach the cut plan it the same.
    for (size_t size = 0; size < bytes.size(); size += size < whole.topBegin + 64 ? 1 : 61) {
        const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<long>(size));
        tm::JpegHalves halves;
        const bool planned = tm::PlanJpegHalves(prefix.data(), prefix.size(), 0.5, &halves);
        EXPECT_EQ(planned, size >= whole.topEnd + 2) << size;
        if (planned) {
            EXPECT_EQ(halves.topEnd, whole.topEnd) << size;
        }
    }

    // Every header byte altered in turn: a plan, when there is one, points
    // inside the file at an RST7 and keeps a row on each side.
    for (size_t at = 2; at < whole.topBegin; ++at) {
        for (const uint8_t value : {0x00, 0x01, 0x10, 0x7F, 0xFF}) {
            std::vector<uint8_t> altered(bytes.begin(), bytes.end());
            altered[at] = value;
            tm::JpegHalves halves;
            if (!tm::PlanJpegHalves(altered.data(), altered.size(), 0.5, &halves)) continue;
            ASSERT_LT(halves.topEnd + 1, altered.size());
            EXPECT_EQ(altered[halves.topEnd + 1], 0xD7);
            EXPECT_GT(halves.topHeight, 0);
            EXPECT_LT(halves.topHeight, halves.height);
            EXPECT_EQ(halves.topHeader.size(), halves.topBegin);
        }
    }
}

}  // namespace
