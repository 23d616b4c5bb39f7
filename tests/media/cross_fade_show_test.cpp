// Cross-fades in whole shows: the controller, the show window and real
// FFmpeg graphs on the headless window system, in virtual time. What the
// screen shows is read from the composed show window, where its middle
// holds the slide's picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "controller/controller.h"
#include "media/media_fixtures.h"
#include "media/media_player.h"
#include "platform/graph.h"
#include "platform/media/audio_output.h"
#include "platform/media/clock_audio_sink.h"
#include "platform/window/headless_edge.h"
#include "platform/window_system.h"
#include "show/show_record.h"
#include "ui/control_bar.h"
#include "ui/show_window.h"

namespace {

namespace fs = std::filesystem;
namespace ws = tarn::ws;

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kGreen = 0x00FF00;

int Channel(uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

// The pictures go through the decoder's colour conversion: a channel may be
// a step or two off.
::testing::AssertionResult Near(uint32_t pixel, uint32_t colour) {
    for (const int shift : {0, 8, 16}) {
        if (std::abs(Channel(pixel, shift) - Channel(colour, shift)) > 4) {
            return ::testing::AssertionFailure() << std::hex << pixel << " is not " << colour;
        }
    }
    return ::testing::AssertionSuccess();
}

// Colour pictures of 320 x 240 (shown as they are on the 1024 x 768 screen).
std::string Solid(const std::string& name, const std::string& colour) {
    return media_test::Fixture(name, "-f lavfi -i color=c=" + colour + ":s=320x240:d=1 -frames:v 1 -update 1");
}

struct Slide {
    std::string file;   // path of a fixture
    std::string delay;  // Delay key value; empty: none
};

class CrossFadeShow : public ::testing::Test {
protected:
    void SetUp() override {
        red_ = Solid("fade-red.png", "0xFF0000");
        blue_ = Solid("fade-blue.png", "0x0000FF");
        green_ = Solid("fade-green.png", "0x00FF00");
        clip_ = media_test::ClipFixture("fade-clip.mp4", "-c:v mpeg4", false, 0.4, 0.4);
        if (red_.empty() || blue_.empty() || green_.empty() || clip_.empty()) {
            GTEST_SKIP() << "the ffmpeg tool cannot make the pictures";
        }
        char pattern[] = "/tmp/tarn-fade-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        edge_ = std::make_unique<ws::HeadlessEdge>();
        sink_ = std::make_shared<tarn::media::ClockAudioSink>(*edge_->VirtualTime());
        tarn::media::InstallAudioOutput(sink_);
    }

    void TearDown() override {
        TheMediaPlayer().Reset();
        tarn::media::InstallAudioOutput(nullptr);
        sink_.reset();
        ws::ResetWindowSystem();
        edge_.reset();
        ResetControllerFlags();
        ResetShowWindowState();
        ResetControlBarState();
        LoadDefaultPaths();
        std::error_code ignored;
        if (!folder_.empty()) fs::remove_all(folder_, ignored);
    }

    // Writes the show (CLEAN=0 keeps the fixtures) and starts it.
    void Start(const std::vector<Slide>& slides, const std::string& options) {
        std::string text = "[OPTIONS]\r\n" + options + "CLEAN=0\r\n[SLIDES]\r\n";
        text += "Count=" + std::to_string(slides.size()) + "\r\n";
        for (size_t i = 0; i < slides.size(); ++i) {
            const std::string number = std::to_string(1000 + i);
            text += "Image" + number + "=" + slides[i].file + "\r\nSound" + number + "=\r\n";
            if (!slides[i].delay.empty()) text += "Delay" + number + "=" + slides[i].delay + "\r\n";
        }
        const std::string description = folder_ + "/show.ini";
        std::ofstream(description, std::ios::binary) << text;

        ws::ResetWindowSystem();
        ResetControllerFlags();
        ResetShowWindowState();
        ResetControlBarState();
        LoadDefaultPaths();
        std::snprintf(g_Show.ShowDescriptionPath, sizeof g_Show.ShowDescriptionPath, "%s", description.c_str());
        ReadShowSettings();
        HINSTANCE instance = GetModuleHandleA(nullptr);
        RegisterWindowClasses(instance);
        ASSERT_EQ(CreateShowWindows(instance, SW_SHOW), 1);
        StartShow();
    }

    // Lets the control bar hide, so that keys reach the show window.
    void WaitForTheBarToHide() {
        ASSERT_TRUE(edge_->RunFor(2100));
        ASSERT_EQ(GetFocus(), g_ShowWindow);
    }

    uint32_t Middle() const {
        const ws::Pixels screen = ws::Compose(g_ShowWindow);
        return screen.At(screen.width / 2, screen.height / 2);
    }

    std::unique_ptr<ws::HeadlessEdge> edge_;
    std::shared_ptr<tarn::media::ClockAudioSink> sink_;
    std::string folder_;
    std::string red_, blue_, green_, clip_;
};

TEST_F(CrossFadeShow, AStepBetweenStillsDissolvesFrameByFrameAndEndsOnTheNewPicture) {
    Start({{red_, ""}, {blue_, ""}}, "TransitionMilliseconds=1000\r\n");
    WaitForTheBarToHide();
    EXPECT_TRUE(Near(Middle(), kRed));
    const int presentsBefore = edge_->PresentCount(g_ShowWindow);

    edge_->KeyPress(VK_RIGHT);
    ASSERT_TRUE(edge_->RunFor(0));
    ASSERT_TRUE(tarn::media::CrossFadeRunning());
    EXPECT_TRUE(Near(Middle(), kRed)) << "the fade starts from the old picture";

    ASSERT_TRUE(edge_->RunFor(500));
    const uint32_t half = Middle();
    EXPECT_NEAR(Channel(half, 16), 128, 12) << std::hex << half;
    EXPECT_NEAR(Channel(half, 0), 128, 12) << std::hex << half;
    EXPECT_EQ(Channel(half, 8), 0);

    ASSERT_TRUE(edge_->RunFor(520));
    EXPECT_FALSE(tarn::media::CrossFadeRunning());
    EXPECT_TRUE(Near(Middle(), kBlue));
    // About 60 frames a second were presented during the fade.
    EXPECT_GE(edge_->PresentCount(g_ShowWindow) - presentsBefore, 50);
    EXPECT_LE(edge_->PresentCount(g_ShowWindow) - presentsBefore, 80);
}

TEST_F(CrossFadeShow, AKeyDuringAFadeFinishesItAndAQuickStepIsACut) {
    Start({{red_, ""}, {blue_, ""}, {green_, ""}}, "TransitionMilliseconds=1000\r\n");
    WaitForTheBarToHide();

    edge_->KeyPress(VK_RIGHT);
    ASSERT_TRUE(edge_->RunFor(200));
    ASSERT_TRUE(tarn::media::CrossFadeRunning());
    // Space pauses, and finishes the fade on the way.
    edge_->KeyPress(VK_SPACE);
    ASSERT_TRUE(edge_->RunFor(0));
    EXPECT_FALSE(tarn::media::CrossFadeRunning());
    EXPECT_TRUE(Near(Middle(), kBlue));
    EXPECT_EQ(Paused, 1);

    // Within the fade time of the last change: the next step is a cut.
    edge_->KeyPress(VK_RIGHT);
    ASSERT_TRUE(edge_->RunFor(0));
    EXPECT_FALSE(tarn::media::CrossFadeRunning());
    EXPECT_TRUE(Near(Middle(), kGreen));

    // Later, going back fades again.
    ASSERT_TRUE(edge_->RunFor(1500));
    edge_->KeyPress(VK_LEFT);
    ASSERT_TRUE(edge_->RunFor(0));
    EXPECT_TRUE(tarn::media::CrossFadeRunning());
    EXPECT_TRUE(Near(Middle(), kGreen));
    ASSERT_TRUE(edge_->RunFor(1100));
    EXPECT_TRUE(Near(Middle(), kBlue));
}

TEST_F(CrossFadeShow, ClipsTheFirstSlideAndTheSplashAreCutsInATimedShow) {
    Start({{red_, ""}, {blue_, ""}, {clip_, ""}, {green_, ""}},
          "AdvanceMethod=2\r\nDelayBetweenSlidesInMilliseconds=1500\r\nShowSplash=1\r\n"
          "TransitionMilliseconds=1000\r\n");
    EXPECT_FALSE(tarn::media::CrossFadeRunning()) << "the first slide";
    EXPECT_TRUE(Near(Middle(), kRed));

    ASSERT_TRUE(edge_->RunFor(1500));
    EXPECT_EQ(g_Show.CurrentSlide, 1);
    EXPECT_TRUE(tarn::media::CrossFadeRunning()) << "red to blue, timed";

    ASSERT_TRUE(edge_->RunFor(1500));
    EXPECT_EQ(g_Show.CurrentSlide, 2);
    EXPECT_FALSE(tarn::media::CrossFadeRunning()) << "still to clip";

    ASSERT_TRUE(edge_->RunFor(1500));
    EXPECT_EQ(g_Show.CurrentSlide, 3);
    EXPECT_FALSE(tarn::media::CrossFadeRunning()) << "clip to still";
    EXPECT_TRUE(Near(Middle(), kGreen));

    ASSERT_TRUE(edge_->RunFor(1500));
    EXPECT_EQ(SplashShowing, 1);
    EXPECT_FALSE(tarn::media::CrossFadeRunning()) << "the closing splash";
}

TEST_F(CrossFadeShow, AFadeLongerThanTheSlidesTimeEndsWithIt) {
    Start({{red_, ""}, {blue_, "400"}, {green_, ""}},
          "AdvanceMethod=2\r\nDelayBetweenSlidesInMilliseconds=2000\r\nTransitionMilliseconds=3000\r\n");
    ASSERT_TRUE(edge_->RunFor(2000));
    ASSERT_EQ(g_Show.CurrentSlide, 1);
    ASSERT_TRUE(tarn::media::CrossFadeRunning());
    ASSERT_TRUE(edge_->RunFor(300));
    EXPECT_FALSE(Near(Middle(), kBlue)) << "still fading";
    ASSERT_TRUE(edge_->RunFor(100));
    EXPECT_EQ(g_Show.CurrentSlide, 2);
}

TEST_F(CrossFadeShow, WithoutTheKeyEveryChangeIsACut) {
    Start({{red_, ""}, {blue_, ""}}, "");
    WaitForTheBarToHide();
    edge_->KeyPress(VK_RIGHT);
    ASSERT_TRUE(edge_->RunFor(0));
    EXPECT_FALSE(tarn::media::CrossFadeRunning());
    EXPECT_TRUE(Near(Middle(), kBlue));
}

}  // namespace
