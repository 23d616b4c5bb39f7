// JPEGs rewritten as one baseline scan with a restart marker at every row of
// MCUs: the same pixels and markers, and every other file left alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jpeg_baseline.h"
#include "jpeg_samples.h"
#include "package/package_builder.h"
#include "package/scratch_folder.h"

namespace {

using namespace tarn::test;
using tarnpack::BaselineResult;
using tarnpack::WriteAsBaseline;

// MCUs in a row of the samples' default (4:2:0) colour or grey pictures.
int McusPerRow(const JpegSample& sample) {
    return sample.components == 3 ? (sample.width + 15) / 16 : (sample.width + 7) / 8;
}

class JpegBaseline : public ::testing::Test {
protected:
    // Transcodes `bytes` from a file; the result, and the output in out_.
    BaselineResult Transcode(const std::string& bytes) { return TranscodeFirst(bytes, bytes.size()); }
    BaselineResult TranscodeFirst(const std::string& bytes, uint64_t size) {
        const std::string path = scratch_.outside() + "/in.jpg";
        WriteBytes(path, bytes);
        out_.clear();
        return WriteAsBaseline(path, size, [this](const char* data, size_t length) {
            out_.append(data, length);
            return true;
        });
    }

    ScratchFolder scratch_;
    std::string out_;
};

TEST_F(JpegBaseline, MultiScanPicturesBecomeOneScanWithTheSamePixelsAndMarkers) {
    struct Case {
        const char* what;
        JpegSample sample;
    };
    const auto withMarkers = [](JpegSample sample) {
        sample.markers = {ExifMarker(sample.seed), CommentMarker("taken at dusk"),
                          {0xE2, std::string("ICC_PROFILE\0\x01\x01", 14) + std::string(300, 'p')}};
        return sample;
    };
    const std::vector<Case> cases = {
        {"progressive colour 4:2:0", withMarkers({64, 48, 3, JpegSample::Progressive, false, 85, 1, {}})},
        {"progressive grey, odd size", withMarkers({37, 23, 1, JpegSample::Progressive, false, 92, 2, {}})},
        {"progressive CMYK", withMarkers({40, 24, 4, JpegSample::Progressive, false, 75, 3, {}})},
        {"progressive, best quality", {33, 17, 3, JpegSample::Progressive, false, 100, 4, {}}},
        {"sequential, one scan per component",
         withMarkers({33, 17, 3, JpegSample::OneScanPerComponent, false, 85, 5, {}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string original = MakeJpeg(c.sample);
        ASSERT_GT(CountSegments(JpegSegments(original), 0xDA), 1) << "the sample has several scans";

        ASSERT_EQ(Transcode(original), BaselineResult::Written);
        const std::vector<JpegSegment> segments = JpegSegments(out_);
        ASSERT_FALSE(segments.empty());
        EXPECT_EQ(segments.front().marker, 0xD8);
        EXPECT_EQ(segments.back().marker, 0xD9);
        EXPECT_EQ(CountSegments(segments, 0xC0) + CountSegments(segments, 0xC1), 1) << "a sequential frame";
        EXPECT_EQ(CountSegments(segments, 0xC2), 0);
        EXPECT_EQ(CountSegments(segments, 0xDA), 1) << "one scan";
        EXPECT_EQ(MetadataSegments(segments), MetadataSegments(JpegSegments(original)))
            << "every APPn and COM, in order, and no other";
        EXPECT_EQ(RestartInterval(segments), McusPerRow(c.sample)) << "a restart marker after every row";

        const JpegPixels before = DecodeJpeg(original);
        const JpegPixels after = DecodeJpeg(out_);
        ASSERT_TRUE(before.ok);
        ASSERT_TRUE(after.ok);
        EXPECT_EQ(after.width, c.sample.width);
        EXPECT_EQ(after.height, c.sample.height);
        EXPECT_EQ(after.components, before.components);
        EXPECT_TRUE(after.samples == before.samples) << "the same pixels";
    }
}

TEST_F(JpegBaseline, SingleScanPicturesGetARestartMarkerAtEveryRowUnlessTheyHaveOne) {
    struct Case {
        const char* what;
        JpegSample sample;
    };
    JpegSample everyThreeMcus{64, 48, 3, JpegSample::Baseline, false, 85, 13, {ExifMarker(13)}};
    everyThreeMcus.restartMcus = 3;
    const std::vector<Case> rewritten = {
        {"colour 4:2:0", {64, 48, 3, JpegSample::Baseline, false, 85, 14, {ExifMarker(14)}}},
        {"grey, odd size", {37, 23, 1, JpegSample::Baseline, false, 90, 15, {CommentMarker("grey")}}},
        {"restart markers within rows", everyThreeMcus},
    };
    for (const Case& c : rewritten) {
        SCOPED_TRACE(c.what);
        const std::string original = MakeJpeg(c.sample);
        ASSERT_EQ(Transcode(original), BaselineResult::Written);
        const std::vector<JpegSegment> segments = JpegSegments(out_);
        EXPECT_EQ(CountSegments(segments, 0xDA), 1);
        EXPECT_EQ(RestartInterval(segments), McusPerRow(c.sample));
        EXPECT_EQ(MetadataSegments(segments), MetadataSegments(JpegSegments(original)));
        const JpegPixels before = DecodeJpeg(original);
        const JpegPixels after = DecodeJpeg(out_);
        ASSERT_TRUE(before.ok && after.ok);
        EXPECT_TRUE(after.samples == before.samples) << "the same pixels";
    }

    // Markers at whole rows already: nothing to gain.
    for (const int rows : {1, 2}) {
        JpegSample sample{64, 48, 3, JpegSample::Baseline, false, 85, 16, {}};
        sample.restartRows = rows;
        const std::string original = MakeJpeg(sample);
        ASSERT_EQ(RestartInterval(JpegSegments(original)), rows * McusPerRow(sample));
        EXPECT_EQ(Transcode(original), BaselineResult::LeftAsItIs) << rows;
        EXPECT_EQ(out_, "");
    }
}

TEST_F(JpegBaseline, TheCallerLearnsWhetherAMultiScanPictureWasMadeOneScan) {
    const std::string path = scratch_.outside() + "/told.jpg";
    const auto written = [&](const JpegSample& sample, bool* multiScan) {
        const std::string bytes = MakeJpeg(sample);
        WriteBytes(path, bytes);
        *multiScan = !*multiScan;  // set either way
        return WriteAsBaseline(path, bytes.size(), [](const char*, size_t) { return true; }, multiScan);
    };
    bool multiScan = false;
    ASSERT_EQ(written({64, 48, 3, JpegSample::Progressive, false, 85, 17, {}}, &multiScan), BaselineResult::Written);
    EXPECT_TRUE(multiScan);
    ASSERT_EQ(written({64, 48, 3, JpegSample::Baseline, false, 85, 18, {}}, &multiScan), BaselineResult::Written);
    EXPECT_FALSE(multiScan);
    JpegSample atRows{64, 48, 3, JpegSample::Baseline, false, 85, 19, {}};
    atRows.restartRows = 1;
    multiScan = true;
    ASSERT_EQ(written(atRows, &multiScan), BaselineResult::LeftAsItIs);
    EXPECT_FALSE(multiScan);
}

TEST_F(JpegBaseline, EveryOtherFileIsLeftAsItIsAndNothingWritten) {
    const std::string progressive = MakeJpeg({64, 48, 3, JpegSample::Progressive, false, 85, 6, {}});
    JpegSample arithmetic{64, 48, 3, JpegSample::Progressive, true, 85, 7, {}};
    struct Case {
        const char* what;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"an arithmetic-coded progressive picture", MakeJpeg(arithmetic)},
        // Decoders smooth the blocks of an unfinished progression: one scan
        // of the same coefficients would decode to other pixels.
        {"a progression without its AC coefficients",
         MakeJpeg({64, 48, 3, JpegSample::ProgressiveDcOnly, false, 85, 9, {}})},
        {"a truncated progressive picture", progressive.substr(0, progressive.size() * 2 / 3)},
        {"a progressive picture with data after its end", progressive + "trailing thumbnail"},
        // A marker in the middle of a scan: the library warns, fills the
        // rest of the scan with zeros and goes on to the end.
        {"a progressive picture with a damaged scan", [&] {
             std::string damaged = progressive;
             const size_t lastScan = damaged.rfind("\xFF\xDA");
             damaged.replace(lastScan + 20, 2, "\xFF\xD5");
             return damaged;
         }()},
        {"garbage after a JPEG start", std::string("\xFF\xD8\xFF\xE0", 4) + Placeholder(5000, 10)},
        {"the start of a JPEG only", std::string("\xFF\xD8\xFF", 3)},
        {"a PNG", std::string("\x89PNG\r\n\x1a\n", 8) + Placeholder(300, 11)},
        {"an empty file", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Transcode(c.bytes), BaselineResult::LeftAsItIs) << c.what;
        EXPECT_EQ(out_, "") << c.what;
    }
    // A file that is not the size it was measured at.
    EXPECT_EQ(TranscodeFirst(progressive, progressive.size() - 1), BaselineResult::LeftAsItIs);
    EXPECT_EQ(TranscodeFirst(progressive, progressive.size() + 1), BaselineResult::LeftAsItIs);
    EXPECT_EQ(WriteAsBaseline(scratch_.outside() + "/absent.jpg", 10, [](const char*, size_t) { return true; }),
              BaselineResult::LeftAsItIs);
}

TEST_F(JpegBaseline, ASinkThatRefusesStopsTheOutput) {
    const std::string path = scratch_.outside() + "/big.jpg";
    const std::string original = MakeJpeg({1200, 900, 3, JpegSample::Progressive, false, 95, 12, {}});
    WriteBytes(path, original);
    int calls = 0;
    EXPECT_EQ(WriteAsBaseline(path, original.size(),
                              [&](const char*, size_t) {
                                  ++calls;
                                  return false;
                              }),
              BaselineResult::SinkRefused);
    EXPECT_EQ(calls, 1) << "nothing more after a refusal";

    // The output comes in chunks, not as one block the size of the file.
    std::vector<size_t> chunks;
    ASSERT_EQ(WriteAsBaseline(path, original.size(),
                              [&](const char*, size_t size) {
                                  chunks.push_back(size);
                                  return true;
                              }),
              BaselineResult::Written);
    EXPECT_GT(chunks.size(), 1u);
}

}  // namespace
