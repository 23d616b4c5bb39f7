// The media's small parts on their own: names between their 8-bit and
// UTF-16 forms, the JPEG header reader on well-formed and hostile bytes,
// picture geometry and orientation, and the audio sources, mixer and clock
// sink without any decoder.
#include <gtest/gtest.h>

#include <cmath>

#include <climits>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/graph.h"
#include "platform/clock.h"
#include "platform/media/audio_output.h"
#include "platform/media/clock_audio_sink.h"
#include "platform/media/jpeg_header.h"
#include "platform/media/picture_fit.h"

namespace {

namespace tm = tarn::media;

// ---- Names ----------------------------------------------------------------------

std::string RoundTrip(const std::string& name) {
    std::vector<tm::WCHAR> wide(name.size() + 1);
    EXPECT_GT(tm::AnsiToWide(name.c_str(), wide.data(), static_cast<int>(wide.size())), 0);
    std::vector<char> back(name.size() * 3 + 1);
    EXPECT_GT(tm::WideToAnsi(wide.data(), back.data(), static_cast<int>(back.size())), 0);
    return back.data();
}

TEST(Names, SurviveTheTripToUtf16AndBack) {
    EXPECT_EQ(RoundTrip("plain.jpg"), "plain.jpg");
    EXPECT_EQ(RoundTrip("M\xC3\xBCller \xE2\x82\xAC.png"), "M\xC3\xBCller \xE2\x82\xAC.png");
    EXPECT_EQ(RoundTrip("note \xF0\x9F\x8E\xB5.wav"), "note \xF0\x9F\x8E\xB5.wav");
    // Latin-1 bytes and broken sequences are not UTF-8, yet come back unchanged.
    EXPECT_EQ(RoundTrip("caf\xE9 \xC3 \xED\xA0\x80 \xF8.mp3"), "caf\xE9 \xC3 \xED\xA0\x80 \xF8.mp3");
}

TEST(Names, BecomeTheExpectedUnits) {
    tm::WCHAR wide[8];
    ASSERT_EQ(tm::AnsiToWide("a\xC3\xA9\xF0\x9F\x8E\xB5", wide, 8), 5);
    EXPECT_EQ(wide[0], u'a');
    EXPECT_EQ(wide[1], 0x00E9);
    EXPECT_EQ(wide[2], 0xD83C);  // a surrogate pair for U+1F3B5
    EXPECT_EQ(wide[3], 0xDFB5);
    EXPECT_EQ(wide[4], 0);
}

TEST(Names, ThatDoNotFitGiveNothing) {
    tm::WCHAR wide[4] = {1, 1, 1, 1};
    EXPECT_EQ(tm::AnsiToWide("long name", wide, 4), 0);
    EXPECT_EQ(wide[0], 0);
    char narrow[3] = {1, 1, 1};
    EXPECT_EQ(tm::WideToAnsi(u"\u00E9\u00E9", narrow, 3), 0);
    EXPECT_EQ(narrow[0], 0);
    EXPECT_EQ(tm::AnsiToWide(nullptr, wide, 4), 0);
}

// ---- JPEG header ------------------------------------------------------------------

std::string Segment(uint8_t marker, const std::string& payload) {
    const size_t length = payload.size() + 2;
    return std::string{'\xFF', static_cast<char>(marker), static_cast<char>(length >> 8),
                       static_cast<char>(length & 0xFF)} +
           payload;
}

std::string Exif(int orientation, bool little) {
    auto u16 = [&](int v) {
        return little ? std::string{char(v & 0xFF), char(v >> 8)} : std::string{char(v >> 8), char(v & 0xFF)};
    };
    auto u32 = [&](uint32_t v) {
        return little ? u16(v & 0xFFFF) + u16(v >> 16) : u16(v >> 16) + u16(v & 0xFFFF);
    };
    std::string tiff = (little ? std::string("II") : std::string("MM")) + u16(42) + u32(8);
    tiff += u16(2);                                             // two entries
    tiff += u16(0x010F) + u16(2) + u32(4) + std::string("Cam", 4);  // Make
    tiff += u16(0x0112) + u16(3) + u32(1) + u16(orientation) + u16(0);
    tiff += u32(0);
    return std::string("Exif\0\0", 6) + tiff;
}

std::string Frame(uint8_t sof, int width, int height) {
    return Segment(sof, std::string{8, char(height >> 8), char(height & 0xFF), char(width >> 8),
                                    char(width & 0xFF), 1, 1, 0x11, 0});
}

std::string Jpeg(const std::string& middle) {
    return std::string("\xFF\xD8", 2) + middle + Segment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6)) +
           std::string("\x12\x34\xFF\x00\x56", 5) + std::string("\xFF\xD9", 2);
}

tm::JpegHeader Parse(const std::string& bytes) {
    return tm::ParseJpegHeader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(JpegHeader, ReadsTheSizeAndTheKindOfFrame) {
    auto h = Parse(Jpeg(Segment(0xE0, "JFIF") + Frame(0xC0, 6000, 4000)));
    EXPECT_TRUE(h.valid);
    EXPECT_EQ(h.width, 6000);
    EXPECT_EQ(h.height, 4000);
    EXPECT_FALSE(h.progressive);
    EXPECT_EQ(h.orientation, 1);
    EXPECT_GT(h.scanOffset, 0u);
    h = Parse(Jpeg(Segment(0xC4, std::string(20, '\0')) + Frame(0xC2, 640, 480)));
    EXPECT_TRUE(h.progressive) << "a table before the frame is skipped, SOF2 is progressive";
    EXPECT_EQ(h.width, 640);
}

TEST(JpegHeader, ReadsTheExifOrientationInBothByteOrders) {
    for (int o = 1; o <= 8; ++o) {
        EXPECT_EQ(Parse(Jpeg(Segment(0xE1, Exif(o, true)) + Frame(0xC0, 10, 20))).orientation, o);
        EXPECT_EQ(Parse(Jpeg(Segment(0xE1, Exif(o, false)) + Frame(0xC0, 10, 20))).orientation, o);
    }
    EXPECT_EQ(Parse(Jpeg(Segment(0xE1, Exif(9, true)) + Frame(0xC0, 10, 20))).orientation, 1);
    EXPECT_EQ(Parse(Jpeg(Segment(0xE1, Exif(0, false)) + Frame(0xC0, 10, 20))).orientation, 1);
    EXPECT_EQ(Parse(Jpeg(Segment(0xE1, "http://ns.adobe.com/xap/1.0/") + Frame(0xC0, 10, 20))).orientation, 1);
}

TEST(JpegHeader, RefusesWhatIsNotAJpegWithAPicture) {
    EXPECT_FALSE(Parse("").valid);
    EXPECT_FALSE(Parse("GIF89a").valid);
    EXPECT_FALSE(Parse(std::string("\xFF\xD8\xFF\xD9", 4)).valid);
    EXPECT_FALSE(Parse(std::string("\xFF\xD8", 2) + Frame(0xC0, 0, 100)).valid) << "zero width";
    EXPECT_FALSE(Parse(std::string("\xFF\xD8", 2) + Frame(0xC0, 10, 10)).valid) << "no scan follows";
}

TEST(JpegHeader, SurvivesEveryCutAndRandomDamage) {
    const std::string good = Jpeg(Segment(0xE1, Exif(6, true)) + Frame(0xC0, 300, 200));
    for (size_t cut = 0; cut <= good.size(); ++cut) {
        const auto h = Parse(good.substr(0, cut));
        if (h.valid) {
            EXPECT_EQ(h.width, 300);
        }
    }
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string bad = good;
        for (int flips = 0; flips < 4; ++flips)
            bad[random() % bad.size()] = static_cast<char>(random() & 0xFF);
        const auto h = Parse(bad);
        EXPECT_TRUE(h.orientation >= 1 && h.orientation <= 8);
        // An EXIF block whose offsets point anywhere.
        std::string exif = Exif(3, round & 1);
        for (int flips = 0; flips < 3; ++flips)
            exif[6 + random() % (exif.size() - 6)] = static_cast<char>(random() & 0xFF);
        const int o = tm::ParseExifOrientation(reinterpret_cast<const uint8_t*>(exif.data()) + 6, exif.size() - 6);
        EXPECT_TRUE(o >= 1 && o <= 8);
    }
}

// ---- Geometry --------------------------------------------------------------------------

TEST(PictureFit, FitsAsThePlayerDoes) {
    const tm::Size screen{1024, 768};
    EXPECT_EQ(tm::FitInside({3000, 2000}, screen).height, 682);
    EXPECT_EQ(tm::FitInside({2000, 2000}, screen).width, 768);
    EXPECT_EQ(tm::FitInside({640, 480}, screen).width, 640);
    const tm::Size tall = tm::FitInside({100, INT_MAX}, screen);
    EXPECT_EQ(tall.height, 768);
    EXPECT_EQ(tall.width, 0);
}

TEST(PictureFit, ChoosesTheSmallestDecodingThatStillCovers) {
    EXPECT_EQ(tm::ChooseReducedLevel({6000, 4000}, {1024, 682}, 3), 2);
    EXPECT_EQ(tm::ChooseReducedLevel({8192, 5464}, {1024, 683}, 3), 3);
    EXPECT_EQ(tm::ChooseReducedLevel({2047, 1000}, {1024, 500}, 3), 1) << "1024 x 500 rounds up";
    EXPECT_EQ(tm::ChooseReducedLevel({2047, 998}, {1024, 500}, 3), 0);
    EXPECT_EQ(tm::ChooseReducedLevel({640, 480}, {640, 480}, 3), 0);
    EXPECT_EQ(tm::ChooseReducedLevel({6000, 4000}, {1024, 682}, 0), 0) << "a decoder without reduction";
}

TEST(PictureFit, AClipsDisplayRotationBecomesTheTurnThatShowsItUpright) {
    // The display matrix turns counterclockwise: 90 degrees is the phone's
    // "rotate 270", a quarter turn to the left.
    EXPECT_EQ(tm::OrientationOfDisplayRotation(0), 1);
    EXPECT_EQ(tm::OrientationOfDisplayRotation(90), 8);
    EXPECT_EQ(tm::OrientationOfDisplayRotation(-90), 6);
    EXPECT_EQ(tm::OrientationOfDisplayRotation(270), 6);
    EXPECT_EQ(tm::OrientationOfDisplayRotation(180), 3);
    EXPECT_EQ(tm::OrientationOfDisplayRotation(-180), 3);
    EXPECT_EQ(tm::OrientationOfDisplayRotation(89.99), 8) << "a matrix of rounded numbers";
    EXPECT_EQ(tm::OrientationOfDisplayRotation(450), 8);
    EXPECT_EQ(tm::OrientationOfDisplayRotation(45), 1) << "only quarter turns";
    EXPECT_EQ(tm::OrientationOfDisplayRotation(std::nan("")), 1) << "a matrix that is no rotation";
    EXPECT_EQ(tm::OrientationOfDisplayRotation(1e300), 1);
}

TEST(PictureFit, TurnsEveryOrientationUpright) {
    // Stored 3 x 2:  a b c / d e f. Each orientation names how the stored
    // picture lies; upright it must read as the expected rows.
    tarn::ws::Pixels stored;
    stored.width = 3;
    stored.height = 2;
    stored.data = {'a', 'b', 'c', 'd', 'e', 'f'};
    const std::vector<std::pair<int, std::string>> expected = {
        {1, "abc/def"}, {2, "cba/fed"}, {3, "fed/cba"}, {4, "def/abc"},
        {5, "ad/be/cf"}, {6, "da/eb/fc"}, {7, "fc/eb/da"}, {8, "cf/be/ad"}};
    for (const auto& [orientation, rows] : expected) {
        const tarn::ws::Pixels upright = tm::OrientPicture(stored, orientation);
        std::string text;
        for (int y = 0; y < upright.height; ++y) {
            if (y) text += '/';
            for (int x = 0; x < upright.width; ++x) text += static_cast<char>(upright.At(x, y));
        }
        EXPECT_EQ(text, rows) << "orientation " << orientation;
    }
}

// ---- Audio -----------------------------------------------------------------------------

std::vector<float> Constant(size_t frames, float value) { return std::vector<float>(frames * 2, value); }

TEST(AudioSource, CompletesOnceWhenItsEndHasBeenPlayed) {
    tm::AudioSource source(1000, 1.0);
    int completions = 0;
    source.SetOnComplete([&] { ++completions; });
    const auto gen = source.Generation();
    ASSERT_TRUE(source.Write(Constant(300, 0.5f).data(), 300, gen));
    source.MarkEnd(gen);
    std::vector<float> mix(400 * 2, 0.0f);
    EXPECT_EQ(source.MixInto(mix.data(), 200), 200u);
    EXPECT_EQ(completions, 0);
    EXPECT_EQ(source.MixInto(mix.data(), 200), 100u);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(source.MixInto(mix.data(), 200), 0u);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(source.PlayedFrames(), 300);
}

TEST(AudioSource, AFlushDropsDataAndRefusesStaleWrites) {
    tm::AudioSource source(1000, 1.0);
    const auto old = source.Generation();
    source.Write(Constant(100, 0.5f).data(), 100, old);
    source.Flush();
    EXPECT_EQ(source.BufferedFrames(), 0u);
    EXPECT_EQ(source.PlayedFrames(), 0);
    EXPECT_FALSE(source.Write(Constant(10, 0.5f).data(), 10, old));
    source.MarkEnd(old);
    EXPECT_FALSE(source.EndMarked()) << "an end of the old generation is not this one's";
}

TEST(AudioSource, AFullRingHoldsTheWriterUntilReadOrClosed) {
    tm::AudioSource source(1024, 1.0);  // room for 1024 frames
    const auto gen = source.Generation();
    bool finished = false;
    bool accepted = true;
    std::thread writer([&] {
        accepted = source.Write(Constant(3000, 0.1f).data(), 3000, gen);
        finished = true;
    });
    std::vector<float> mix(1024 * 2);
    // Read 1024 frames, twice: the writer gets further but cannot finish.
    while (source.BufferedFrames() < 1024) std::this_thread::yield();
    source.MixInto(mix.data(), 1024);
    while (source.BufferedFrames() < 1024) std::this_thread::yield();
    EXPECT_FALSE(finished);
    source.Close();
    writer.join();
    EXPECT_FALSE(accepted);
}

class SinkTest : public ::testing::Test {
protected:
    void SetUp() override { tarn::InstallClock(&clock); }
    void TearDown() override {
        sink.reset();
        tarn::InstallClock(nullptr);
    }
    std::shared_ptr<tm::AudioSource> Source(size_t frames, float value, bool end = true) {
        auto source = std::make_shared<tm::AudioSource>(sink->SampleRate(), 60.0);
        const auto gen = source->Generation();
        source->Write(Constant(frames, value).data(), frames, gen);
        if (end) source->MarkEnd(gen);
        return source;
    }
    tarn::VirtualClock clock;
    std::unique_ptr<tm::ClockAudioSink> sink = std::make_unique<tm::ClockAudioSink>(clock, true, 1000);
};

TEST_F(SinkTest, ConsumesExactlyAsFastAsVirtualTimeRuns) {
    auto source = Source(5000, 0.25f);
    int64_t completedAt = -1;
    source->SetOnComplete([&] { completedAt = clock.NowMicros(); });
    sink->Attach(source);
    source->SetPlaying(true);
    clock.AdvanceBy(3'000'000);
    EXPECT_EQ(source->PlayedFrames(), 3000);
    EXPECT_EQ(completedAt, -1);
    clock.AdvanceBy(10'000'000);
    EXPECT_EQ(completedAt, 5'000'000) << "stepped to the very moment of the last frame";
    EXPECT_EQ(sink->ConsumedFrames(), 13000);
}

TEST_F(SinkTest, APausedSourceStandsStillAndALateOneStartsWhereTimeIs) {
    auto first = Source(4000, 0.25f);
    sink->Attach(first);
    first->SetPlaying(true);
    clock.AdvanceBy(1'000'000);
    first->SetPlaying(false);
    clock.AdvanceBy(5'000'000);
    EXPECT_EQ(first->PlayedFrames(), 1000);

    auto second = Source(4000, 0.25f);
    sink->Attach(second);
    second->SetPlaying(true);
    first->SetPlaying(true);
    clock.AdvanceBy(500'000);
    EXPECT_EQ(first->PlayedFrames(), 1500);
    EXPECT_EQ(second->PlayedFrames(), 500);
}

TEST_F(SinkTest, MixesSourcesAndClipsTheSum) {
    auto a = Source(2000, 0.25f);
    auto b = Source(2000, 0.5f);
    auto c = Source(2000, 0.5f);
    sink->Attach(a);
    sink->Attach(b);
    a->SetPlaying(true);
    b->SetPlaying(true);
    sink->CaptureMix(100);
    clock.AdvanceBy(100'000);
    auto mix = sink->CapturedMix();
    ASSERT_EQ(mix.size(), 200u);
    EXPECT_FLOAT_EQ(mix[0], 0.75f);
    sink->Attach(c);
    c->SetPlaying(true);
    sink->CaptureMix(100);
    clock.AdvanceBy(100'000);
    mix = sink->CapturedMix();
    EXPECT_FLOAT_EQ(mix[0], 1.0f) << "clipped";
    sink->Detach(a);
    sink->Detach(b);
    sink->Detach(c);
    EXPECT_EQ(sink->AttachedSources(), 0);
}

TEST_F(SinkTest, WaitsForADecoderThatIsBehind) {
    auto source = std::make_shared<tm::AudioSource>(1000, 60.0);
    sink->Attach(source);
    source->SetPlaying(true);
    const auto gen = source->Generation();
    std::thread decoder([&] {
        for (int i = 0; i < 20; ++i) {
            source->Write(Constant(100, 0.1f).data(), 100, gen);
            std::this_thread::yield();
        }
        source->MarkEnd(gen);
    });
    clock.AdvanceBy(1'500'000);
    decoder.join();
    EXPECT_EQ(source->PlayedFrames(), 1500) << "an ideal device never underruns";
}

}  // namespace
