// The MediaPlayer over real FFmpeg graphs on the virtual clock: waiting for
// slide sounds, pausing, looping, late notifications, and corrupt or hostile
// files that must leave the show going.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <vector>
#include <functional>
#include <memory>
#include <string>

#include "media/media_fixtures.h"
#include "media/media_player.h"
#include "media/media_test_support.h"
#include "platform/media/audio_output.h"
#include "platform/media/clock_audio_sink.h"
#include "platform/media/picture_cache.h"
#include "platform/window_system.h"
#include "show/show_record.h"

namespace {

namespace tm = tarn::media;

constexpr UINT kBackgroundMessage = WM_USER + 5;
constexpr UINT kSlideMessage = WM_USER + 6;

class PlaybackTest : public media_test::MediaWindowTest {
protected:
    void SetUp() override {
        MediaWindowTest::SetUp();
        saved = g_Show;
        g_Show.AdvanceMethod = ADVANCE_TIMED | ADVANCE_WAIT_FOR_SOUND;
        g_Show.SoundOptions = 0;
        sink = std::make_shared<tm::ClockAudioSink>(*edge->VirtualTime());
        tm::InstallAudioOutput(sink);
    }
    void TearDown() override {
        player.reset();
        tm::InstallAudioOutput(nullptr);
        sink.reset();
        g_Show = saved;
        MediaWindowTest::TearDown();
    }

    // Advances virtual time and hands the sound notifications to the player,
    // as the show window does.
    void Advance(int64_t ms) {
        edge->RunFor(ms);
        Deliver();
    }
    void Deliver() {
        Pump();
        for (; delivered < media_test::g_received.size(); ++delivered) {
            const auto n = media_test::g_received[delivered];
            if (n.message == kSlideMessage) player->OnSlideSoundEvent(n.message, n.wParam, n.lParam);
            if (n.message == kBackgroundMessage) player->OnBackgroundSoundEvent(n.message, n.wParam, n.lParam);
        }
    }
    bool ShowsPicture() {
        for (const auto& overlay : tarn::ws::VideoOverlays(window))
            if (overlay.visible && overlay.frame) return true;
        return false;
    }
    bool PumpUntil(const std::function<bool()>& done) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < giveUp) {
            Pump();
            if (done()) return true;
            edge->WaitForPost(std::chrono::milliseconds(20));
        }
        return false;
    }

    std::unique_ptr<MediaPlayer> player = std::make_unique<MediaPlayer>();
    std::shared_ptr<tm::ClockAudioSink> sink;
    media_test::TempFolder folder;
    ShowRecord saved{};
    size_t delivered = 0;
};

// ---- Sounds in virtual time ------------------------------------------------------

TEST_F(PlaybackTest, AdvanceWaitsUntilAFourteenSecondSlideSoundHasPlayed) {
    const std::string tone = media_test::ToneFixture("tone14.wav", 14.0);
    ASSERT_FALSE(tone.empty());
    player->StartSlideSound(tone.c_str(), window, kSlideMessage);
    EXPECT_FALSE(player->MayAdvance());
    Advance(13900);
    EXPECT_FALSE(player->MayAdvance());
    Advance(200);
    EXPECT_TRUE(player->MayAdvance());
}

TEST_F(PlaybackTest, APausedSoundDoesNotComplete) {
    player->StartSlideSound(media_test::ToneFixture("tone1000.wav", 1.0).c_str(), window, kSlideMessage);
    Advance(300);
    player->PauseSounds();
    Advance(10000);
    EXPECT_FALSE(player->MayAdvance());
    player->ResumeSounds();
    Advance(650);
    EXPECT_FALSE(player->MayAdvance());
    Advance(100);
    EXPECT_TRUE(player->MayAdvance());
}

TEST_F(PlaybackTest, ALoopingBackgroundRewindsAndNeverFinishes) {
    g_Show.SoundOptions = SOUND_LOOP_BACKGROUND;
    player->StartBackgroundSound(media_test::ToneFixture("tone1000.wav", 1.0).c_str(), window,
                                 kBackgroundMessage);
    for (int round = 1; round <= 4; ++round) {
        Advance(1000);
        EXPECT_EQ(Received(kBackgroundMessage).size(), static_cast<size_t>(round));
        EXPECT_FALSE(player->BackgroundSoundFinished());
        ASSERT_TRUE(player->BackgroundChannel().graph) << "still held, playing again";
    }
    // Still sounding: the sink mixes something other than silence.
    sink->CaptureMix(4800);
    Advance(100);
    float peak = 0;
    for (float s : sink->CapturedMix()) peak = std::max(peak, std::abs(s));
    EXPECT_GT(peak, 0.1f);
}

TEST_F(PlaybackTest, ABackgroundWithoutLoopEndsOnce) {
    player->StartBackgroundSound(media_test::ToneFixture("tone1000.wav", 1.0).c_str(), window,
                                 kBackgroundMessage);
    Advance(5000);
    EXPECT_EQ(Received(kBackgroundMessage).size(), 1u);
    EXPECT_TRUE(player->BackgroundSoundFinished());
}

TEST_F(PlaybackTest, ALateNotificationOfThePreviousSlidesSoundChangesNothing) {
    player->StartSlideSound(media_test::ToneFixture("tone300.wav", 0.3).c_str(), window, kSlideMessage);
    edge->RunFor(400);  // the first sound completes; its notification waits
    Pump();
    ASSERT_EQ(Received(kSlideMessage).size(), 1u);
    // The slide changes before the notification is handled: the first
    // graph is stopped and released.
    player->StartSlideSound(media_test::ToneFixture("tone1000.wav", 1.0).c_str(), window, kSlideMessage);
    Deliver();
    EXPECT_FALSE(player->MayAdvance());
    Advance(1100);
    EXPECT_TRUE(player->MayAdvance());
}

TEST_F(PlaybackTest, SoundsStillHeldAtTheEndAreStoppedAndReleased) {
    player->StartBackgroundSound(media_test::ToneFixture("tone1000.wav", 1.0).c_str(), window,
                                 kBackgroundMessage);
    player->StartSlideSound(media_test::ToneFixture("tone14.wav", 14.0).c_str(), window, kSlideMessage);
    Advance(100);
    EXPECT_EQ(sink->AttachedSources(), 2);
    player.reset();
    EXPECT_EQ(sink->AttachedSources(), 0);
}

// ---- Slides -------------------------------------------------------------------------

TEST_F(PlaybackTest, AClipPlaysOnWhileTheSoundsArePaused) {
    const std::string clip = media_test::ClipFixture("clip.mp4", "-c:v libx264 -preset ultrafast -c:a aac", true);
    player->StartSlideSound(media_test::ToneFixture("tone14.wav", 14.0).c_str(), window, kSlideMessage);
    player->ShowSlide(clip.c_str(), window);
    EXPECT_TRUE(ShowsPicture());
    player->PauseSounds();
    const auto red = tarn::ws::VideoOverlays(window)[0].frame;
    Advance(800);
    EXPECT_TRUE(PumpUntil([&] {
        const auto overlays = tarn::ws::VideoOverlays(window);
        return !overlays.empty() && overlays[0].frame != red && (overlays[0].frame->At(80, 60) & 0xFF) > 200;
    })) << "the clip reached its blue half";
}

TEST_F(PlaybackTest, ASoundNamedAsASlideRendersWithoutAPicture) {
    player->ShowSlide(media_test::ToneFixture("tone1000.wav", 1.0).c_str(), window);
    EXPECT_TRUE(player->HoldsDisplayGraph());
    EXPECT_FALSE(ShowsPicture());
    EXPECT_EQ(sink->AttachedSources(), 1) << "it plays through the display graph";
}

TEST_F(PlaybackTest, ShowingASlidePreparesItsNeighbours) {
    tm::ClearPreparedPictures();
    std::vector<std::string> slides;
    for (int i = 0; i < 3; ++i) {
        slides.push_back(folder.Path("slide" + std::to_string(i) + ".jpg"));
        folder.Write("slide" + std::to_string(i) + ".jpg",
                     media_test::ReadBytes(i == 1 ? media_test::HalvesJpeg()
                                                  : media_test::StillFixture("baseline.jpg", 320, 240)));
    }
    const std::string show = folder.Write(
        "show.ini", "[SLIDES]\nCount=3\nImage1000=" + slides[0] + "\nImage1001=" + slides[1] +
                        "\nImage1002=" + slides[2] + "\n");
    std::snprintf(g_Show.ShowDescriptionPath, sizeof g_Show.ShowDescriptionPath, "%s", show.c_str());
    g_Show.Count = 3;
    g_Show.CurrentSlide = 0;
    const tm::Size screen{1024, 768};
    EXPECT_FALSE(tm::PictureIsPrepared(slides[1], screen));
    player->ShowSlide(slides[0].c_str(), window);
    EXPECT_TRUE(tm::PictureIsPrepared(slides[1], screen));
    EXPECT_FALSE(tm::PictureIsPrepared(slides[2], screen)) << "only the neighbours";
    g_Show.CurrentSlide = 1;
    player->ShowSlide(slides[1].c_str(), window);
    EXPECT_TRUE(tm::PictureIsPrepared(slides[2], screen));
    EXPECT_TRUE(tm::PictureIsPrepared(slides[0], screen));
    tm::ClearPreparedPictures();
}

std::string Patched(std::string bytes, size_t at, const std::string& with) {
    if (at + with.size() <= bytes.size()) bytes.replace(at, with.size(), with);
    return bytes;
}

struct HostileSlide {
    const char* name;
    std::function<std::string(const media_test::TempFolder&)> make;
};

class HostileSlides : public PlaybackTest, public ::testing::WithParamInterface<HostileSlide> {};

TEST_P(HostileSlides, LeaveTheBackgroundAndTheNextSlideWorks) {
    const std::string path = GetParam().make(folder);
    ASSERT_FALSE(path.empty());
    const auto started = std::chrono::steady_clock::now();
    player->ShowSlide(path.c_str(), window);
    Advance(2000);
    EXPECT_FALSE(ShowsPicture());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));

    player->ShowSlide(media_test::StillFixture("baseline.jpg", 320, 240).c_str(), window);
    EXPECT_TRUE(ShowsPicture());
}

const std::string& Jpeg() {
    static const std::string bytes = media_test::ReadBytes(media_test::StillFixture("baseline.jpg", 320, 240));
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Each, HostileSlides,
    ::testing::Values(
        HostileSlide{"Missing", [](const auto& f) { return f.Path("missing.jpg"); }},
        HostileSlide{"ZeroBytes", [](const auto& f) { return f.Write("empty.jpg", ""); }},
        HostileSlide{"TextNamedJpeg", [](const auto& f) { return f.Write("text.jpg", "This is not a picture.\n"); }},
        HostileSlide{"TruncatedJpeg",
                     [](const auto& f) { return f.Write("cut.jpg", Jpeg().substr(0, Jpeg().size() / 3)); }},
        HostileSlide{"HeaderOnlyJpeg", [](const auto& f) { return f.Write("head.jpg", Jpeg().substr(0, 700)); }},
        HostileSlide{"HugeClaimedJpeg",
                     [](const auto& f) {
                         const size_t sof = Jpeg().find("\xFF\xC0");
                         return f.Write("huge.jpg", Patched(Jpeg(), sof + 5, "\xEA\x60\xEA\x60"));
                     }},
        HostileSlide{"HugeClaimedPng",
                     [](const auto& f) {
                         const std::string png = media_test::ReadBytes(media_test::StillFixture("still.png", 320, 240));
                         return f.Write("huge.png", Patched(png, 16, std::string("\0\0\xEA\x60\0\0\xEA\x60", 8)));
                     }},
        HostileSlide{"GarbageMp4",
                     [](const auto& f) {
                         std::string junk("\0\0\0\x18" "ftypisom", 12);
                         for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 7919) & 0xFF);
                         return f.Write("junk.mp4", junk);
                     }}),
    [](const auto& param) { return std::string(param.param.name); });

// ---- Hostile sounds ------------------------------------------------------------------------

std::string Tone() { return media_test::ReadBytes(media_test::ToneFixture("tone500.wav", 0.5)); }

TEST_F(PlaybackTest, AWavWhoseHeaderClaimsMoreDataEndsWithItsRealData) {
    const std::string wav = Tone();
    const size_t data = wav.find("data");
    ASSERT_NE(data, std::string::npos);
    const std::string lying = Patched(Patched(wav, 4, "\xF0\xFF\xFF\x7F"), data + 4, "\xF0\xFF\xFF\x7F");
    player->StartSlideSound(folder.Write("lying.wav", lying).c_str(), window, kSlideMessage);
    Advance(400);
    EXPECT_FALSE(player->MayAdvance());
    Advance(200);
    EXPECT_TRUE(player->MayAdvance());
}

TEST_F(PlaybackTest, AWavClaimingNoChannelsOrAnAbsurdRateNeverBlocksTheShow) {
    const std::string wav = Tone();
    const size_t fmt = wav.find("fmt ");
    ASSERT_NE(fmt, std::string::npos);
    for (const std::string& bad : {Patched(wav, fmt + 10, std::string("\0\0", 2)),
                                   Patched(wav, fmt + 12, "\x00\xCA\x9A\x3B"),
                                   Patched(wav, fmt + 10, "\xFF\xFF")}) {
        player->StartSlideSound(folder.Write("bad.wav", bad).c_str(), window, kSlideMessage);
        Advance(1000);
        EXPECT_TRUE(player->MayAdvance());
    }
}

TEST_F(PlaybackTest, TextNamedAsASoundCountsAsFinished) {
    player->StartSlideSound(folder.Write("words.wav", "not a sound").c_str(), window, kSlideMessage);
    EXPECT_TRUE(player->MayAdvance());
    EXPECT_TRUE(player->SlideChannel().graph) << "the un-rendered graph stays until the next slide";
}

}  // namespace
