// Whole shows, one after another in one process, on the headless window
// system with real media in virtual time: 5000 slide changes over stills,
// clips, sounds, damaged and missing files, with timed advances, keys,
// clicks, pauses, the control bar, going back, closing and the closing
// splash. What the process holds after a warm-up and at the end is printed;
// it must not grow beyond a small constant.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "controller/controller.h"
#include "media/media_player.h"
#include "platform/media/audio_output.h"
#include "platform/media/clock_audio_sink.h"
#include "platform/window/headless_edge.h"
#include "platform/window_system.h"
#include "show/show_record.h"
#include "soak/process_figures.h"
#include "soak/soak_media.h"
#include "ui/control_bar.h"
#include "ui/show_window.h"

namespace {

using tarn::test::ProcessFigures;

constexpr int kSlideChanges = 5000;
constexpr int kSlidesPerShow = 18;
constexpr int kWarmUpShows = 2;
constexpr int32_t kDelayMs = 150;

// Bounds on what a finished run may hold beyond the warmed-up start.
constexpr int kExtraDescriptors = 2;
constexpr int kExtraThreads = 2;
constexpr int64_t kExtraHeapBytes = 4 << 20;
constexpr int64_t kExtraResidentBytes = 16 << 20;

// A small deterministic sequence of choices.
class Choices {
public:
    int Next(int below) {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<int>((state_ >> 33) % static_cast<uint64_t>(below));
    }

private:
    uint64_t state_ = 2024;
};

class ShowSoak : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        if (!tarn::test::MakeSoakMedia(std::string(TARN_BINARY_DIR) + "/soak-media", &media_, &error)) {
            GTEST_SKIP() << error;
        }
        char pattern[] = "/tmp/tarn-soak-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        if (const char* old = std::getenv("TMPDIR")) savedTmpDir_ = old;
        setenv("TMPDIR", folder_.c_str(), 1);
        decorator_ = folder_ + "/KTZ5A.tmp";
        // Laid out as extraction leaves a show: every file beside the decorator.
        for (const auto& item : std::filesystem::directory_iterator(media_.folder)) {
            std::filesystem::copy_file(item.path(), Path(item.path().filename().string()));
        }

        edge_ = std::make_unique<tarn::ws::HeadlessEdge>();
        sink_ = std::make_shared<tarn::media::ClockAudioSink>(*edge_->VirtualTime());
        tarn::media::InstallAudioOutput(sink_);
    }

    void TearDown() override {
        TheMediaPlayer().Reset();
        tarn::media::InstallAudioOutput(nullptr);
        sink_.reset();
        edge_.reset();
        ResetControllerFlags();
        ResetShowWindowState();
        ResetControlBarState();
        LoadDefaultPaths();
        if (savedTmpDir_.empty()) {
            unsetenv("TMPDIR");
        } else {
            setenv("TMPDIR", savedTmpDir_.c_str(), 1);
        }
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }

    static bool PictureOnScreen() {
        if (g_ShowWindow == nullptr || !IsWindow(g_ShowWindow)) return false;
        for (const auto& overlay : tarn::ws::VideoOverlays(g_ShowWindow)) {
            if (overlay.visible && overlay.frame) return true;
        }
        return false;
    }

    std::string Path(const std::string& name) const { return decorator_ + "." + name; }

    // Writes the show description of show number `run` and starts the show.
    void StartShowNumber(int run) {
        std::string text = "[OPTIONS]\r\nAdvanceMethod=6\r\nViewOptions=8\r\nSoundOptions=32\r\n";
        text += "BackgroundSound=" + Path(media_.tune) + "\r\n";
        text += "DelayBetweenSlidesInMilliseconds=" + std::to_string(kDelayMs) + "\r\n";
        text += "ShowSplash=" + std::to_string(run % 2) + "\r\n";
        // Two shows in three fade between their stills; some slides keep longer.
        if (run % 3 != 0) text += "TransitionMilliseconds=" + std::to_string(150 * (run % 3)) + "\r\n";
        text += "TempFileDecorator=" + decorator_ + "\r\nCLEAN=0\r\n[SLIDES]\r\n";
        text += "Count=" + std::to_string(kSlidesPerShow) + "\r\n";
        for (int i = 0; i < kSlidesPerShow; ++i) {
            const std::string number = std::to_string(1000 + i);
            text += "Image" + number + "=" + Path(media_.pictures[(i + run) % media_.pictures.size()]) + "\r\n";
            if ((i + run) % 4 == 1) text += "Delay" + number + "=" + std::to_string(kDelayMs * 2) + "\r\n";
            // Every third slide has no sound key at all, the others cycle.
            if (i % 3 != 2) {
                text += "Sound" + number + "=" + Path(media_.sounds[(i + run) % media_.sounds.size()]) + "\r\n";
            }
        }
        // Clean-up at the end of the previous show took these.
        std::ofstream(decorator_, std::ios::binary);
        std::filesystem::copy_file(media_.folder + "/" + media_.tune, Path(media_.tune),
                                   std::filesystem::copy_options::overwrite_existing);
        const std::string description = Path("show.ini");
        std::ofstream(description, std::ios::binary) << text;

        tarn::ws::ResetWindowSystem();
        ResetControllerFlags();
        ResetShowWindowState();
        ResetControlBarState();
        LoadDefaultPaths();
        std::snprintf(g_Show.ShowDescriptionPath, sizeof g_Show.ShowDescriptionPath, "%s",
                      description.c_str());
        ReadShowSettings();
        HINSTANCE instance = GetModuleHandleA(nullptr);
        RegisterWindowClasses(instance);
        ASSERT_EQ(CreateShowWindows(instance, SW_SHOW), 1);
        StartShow();
    }

    // One input or one stretch of time, chosen by `choices`. False once the
    // show has ended.
    bool Act(Choices& choices) {
        tarn::ws::HeadlessEdge& edge = *edge_;
        const int width = edge.ScreenWidth();
        const int height = edge.ScreenHeight();
        switch (choices.Next(10)) {
            case 0:
            case 1:
                return edge.RunFor(kDelayMs + 5);  // a timed advance, unless a sound holds it
            case 2:
                edge.KeyPress(VK_RIGHT);
                break;
            case 3:
                edge.KeyPress(choices.Next(2) ? VK_NEXT : VK_DOWN);
                break;
            case 4:
                edge.KeyPress(choices.Next(2) ? VK_LEFT : VK_PRIOR);
                break;
            case 5:
                edge.KeyPress(VK_SPACE);  // pause, some time, resume
                if (!edge.RunFor(400)) return false;
                edge.KeyPress(VK_SPACE);
                break;
            case 6:
                edge.MouseMove(choices.Next(width), choices.Next(height));  // may bring the bar
                return edge.RunFor(60);
            case 7:
                edge.Click(tarn::ws::MouseButton::Left, width / 2, height / 2);
                break;
            case 8:
                edge.KeyPress(VK_UP);
                break;
            default:
                return edge.RunFor(choices.Next(40));
        }
        return edge.RunFor(1);
    }

    // Ends the show one of the ways a viewer does; runs until it has quit.
    void EndShow(Choices& choices) {
        tarn::ws::HeadlessEdge& edge = *edge_;
        bool open = true;
        switch (choices.Next(3)) {
            case 0:
                edge.KeyPress(VK_ESCAPE);
                break;
            case 1:
                // Past the last slide: the show closes, or its splash shows
                // and is clicked away.
                for (int i = 0; i <= kSlidesPerShow && open; ++i) {
                    edge.KeyPress(VK_RIGHT);
                    open = edge.RunFor(1);
                }
                if (open && SplashShowing) {
                    edge.Click(tarn::ws::MouseButton::Left, 10, 10);
                }
                break;
            default:
                // Past the last slide and the splash runs out by itself.
                for (int i = 0; i <= kSlidesPerShow && open; ++i) {
                    edge.KeyPress(VK_NEXT);
                    open = edge.RunFor(1);
                }
                break;
        }
        for (int step = 0; open && step < 100; ++step) open = edge.RunFor(1000);
        ASSERT_FALSE(open) << "the show did not end";
        // The player releases its media when the process ends; here the
        // next show follows in the same process.
        TheMediaPlayer().Reset();
    }

    tarn::test::SoakMedia media_;
    std::string folder_;
    std::string decorator_;
    std::string savedTmpDir_;
    std::unique_ptr<tarn::ws::HeadlessEdge> edge_;
    std::shared_ptr<tarn::media::ClockAudioSink> sink_;
};

TEST_F(ShowSoak, FiveThousandSlideChangesLeaveMemoryDescriptorsAndThreadsFlat) {
    Choices choices;
    int changes = 0;
    int shows = 0;
    int picturesSeen = 0;  // moments a decoded picture was on screen
    ProcessFigures start;
    while (changes < kSlideChanges) {
        if (shows == kWarmUpShows) start = tarn::test::MeasureProcess();
        StartShowNumber(shows);
        if (HasFatalFailure()) return;
        const int actions = 150 + choices.Next(250);
        bool open = true;
        for (int i = 0; i < actions && open && changes < kSlideChanges; ++i) {
            const int32_t before = g_Show.CurrentSlide;
            open = Act(choices);
            if (g_Show.CurrentSlide != before) ++changes;
            if (open && PictureOnScreen()) ++picturesSeen;
        }
        if (open) EndShow(choices);
        if (HasFatalFailure()) return;
        // Clean-up kept the slides (CLEAN=0) and took the rest.
        EXPECT_FALSE(std::filesystem::exists(decorator_)) << "show " << shows;
        EXPECT_FALSE(std::filesystem::exists(Path("show.ini"))) << "show " << shows;
        ++shows;
    }
    const ProcessFigures end = tarn::test::MeasureProcess();

    char summary[512];
    std::snprintf(summary, sizeof summary,
                  "soak: %d slide changes in %d shows; a picture on screen at %d moments, %.1f s of sound mixed\n"
                  "soak: after warm-up: %s\n"
                  "soak: at the end:    %s\n",
                  changes, shows, picturesSeen,
                  static_cast<double>(sink_->ConsumedFrames()) / sink_->SampleRate(),
                  tarn::test::Describe(start).c_str(), tarn::test::Describe(end).c_str());
    std::fputs(summary, stdout);
    // Kept beside the build for the test command to show (CTest keeps the
    // output of tests that pass to itself).
    std::ofstream(std::string(TARN_BINARY_DIR) + "/soak-figures.txt") << summary;
    RecordProperty("slide_changes", changes);
    RecordProperty("shows", shows);

    EXPECT_GE(changes, kSlideChanges);
    EXPECT_GT(picturesSeen, 0) << "no picture was ever decoded: the media did not play";
    EXPECT_GT(shows, kWarmUpShows + 5) << "too few whole shows to tell growth from warm-up";
    EXPECT_LE(end.descriptors, start.descriptors + kExtraDescriptors);
    EXPECT_LE(end.threads, start.threads + kExtraThreads);
    EXPECT_LE(end.heapBytes, start.heapBytes + kExtraHeapBytes);
    // The sanitizer's quarantine keeps freed memory resident by design; its
    // heap figure above is exact, so the resident set is only checked without it.
    if (!tarn::test::UnderAddressSanitizer()) {
        EXPECT_LE(end.residentBytes, start.residentBytes + kExtraResidentBytes);
    }
}

}  // namespace
