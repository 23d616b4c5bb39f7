// The Windows build's behaviour where its users meet it: tarnplayer.exe under
// Wine on a 1024x768 desktop with a window manager, in player mode, checked
// on screenshots with the Linux screen tests' probes. Timed changes, the
// closing splash's time, clips in a timed show with sounds, the bar, keys
// and the wait for a slide's sound.
//
// Run by scripts/windows.sh with TARN_WINE_PLAYER naming the player and the
// Wine prefix and home it prepared in the environment.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "screen_checks.h"
#include "wine_show.h"

namespace tarn::e2e::wine {
namespace {

namespace fs = std::filesystem;

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
// The control bar's buttons: its client area of 128 x 32 inside a dialog
// frame. The bar window is placed 20 pixels below the top and 20 pixels
// left of the right edge of a maximised window, which Windows makes wider
// than the screen by its sizing frame on each side. With Wine's metrics
// (a sizing frame of 4 pixels, SM_CXFRAME; a dialog frame of 3, SM_CXDLGFRAME)
// the buttons begin at x = 1024 + 2 * 4 - (128 + 2 * 3) - 20 + 3 and
// y = 20 + 3. The window manager draws its own border in the dialog frame's
// place.
constexpr int kSizingFrame = 4;
constexpr int kDialogFrame = 3;
constexpr Box kBar{kScreenWidth + 2 * kSizingFrame - (128 + 2 * kDialogFrame) - 20 + kDialogFrame, 20 + kDialogFrame,
                   128, 32};
constexpr Box kCloseButton{kBar.left + 96, kBar.top, 32, 32};
// Where the bar may cover a slide: its buttons and the frame around them.
constexpr Box kAroundBar{kBar.left - 8, kBar.top - 8, kBar.width + 16, kBar.height + 16};

// A timed change may come this much early or late.
constexpr double kChangeToleranceMs = 100;
// A clip's first picture comes once the clip is cued on it, which decodes
// it: a frame or two after its slide's change, and later on a busy machine.
constexpr double kClipStartToleranceMs = 150;
// A clip's second second, from its first picture. Under Wine an MP4 whose
// pictures come reordered (B-frames, as phones make them) shows every
// picture after its first two frames late (80 ms at 25 a second; the same
// file without B-frames, and the AVI, keep their times within 10 ms), and a
// loaded machine adds to it.
constexpr double kClipPaceToleranceMs = 200;

struct Picture {
    std::string file;
    uint32_t colour;
    int width;
    int height;
    int tolerance;  // per channel: JPEG stills keep flat colours closer than clips
    Box Where() const { return FitRectangle(width, height, kScreenWidth, kScreenHeight); }
    bool On(const ws::Pixels& screen) const {
        return CheckSlide(screen, Where(), colour, tolerance, kAroundBar).empty();
    }
};

class WineShow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char* player = std::getenv("TARN_WINE_PLAYER");
        player_ = player != nullptr ? player : "";
        root_ = std::string(TARN_BINARY_DIR) + "/tests/wine/run";
        fs::remove_all(root_);
        fs::create_directories(root_);
        if (player_.empty() || std::getenv("WINEPREFIX") == nullptr) return;
        desktop_ = new WineDesktop;
        if (!desktop_->Start(kScreenWidth, kScreenHeight, root_)) {
            delete desktop_;
            desktop_ = nullptr;
        }
    }
    static void TearDownTestSuite() {
        delete desktop_;
        desktop_ = nullptr;
    }

    void SetUp() override {
        ASSERT_FALSE(player_.empty()) << "TARN_WINE_PLAYER names no player (run through scripts/windows.sh)";
        ASSERT_NE(desktop_, nullptr) << "the desktop or the Wine session did not start; see " << root_;
        folder_ = root_ + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(folder_);
        log_ = folder_ + "/make.log";
    }
    void TearDown() override { player_run_.Kill(9); }

    void Still(const Picture& p) { ASSERT_TRUE(MakeStill(folder_ + "/" + p.file, p.colour, p.width, p.height, log_)); }
    void Tone(const std::string& file, double seconds) { ASSERT_TRUE(MakeTone(folder_ + "/" + file, seconds, log_)); }

    void Play(const std::vector<std::pair<std::string, std::string>>& options, const std::vector<Slide>& slides) {
        ASSERT_TRUE(WriteShow(folder_ + "/show.ini", options, slides));
        // With the show description's full path (Z: is the machine's root
        // under Wine; a bare name would be looked for in the Windows folder).
        std::string description = "Z:" + folder_ + "/show.ini";
        std::replace(description.begin(), description.end(), '/', '\\');
        Start(description);
    }
    // The player in player mode on `description`, from the show's folder,
    // whose files the slides name.
    void Start(const std::string& description) {
        player_run_ = ChildProcess::Spawn({"sh", "-c", "cd \"$0\" && exec wine \"$1\" \"$2\"", folder_, player_,
                                           description},
                                          desktop_->Environment(), folder_ + "/player.log");
        ASSERT_TRUE(player_run_.Started());
    }

    Watch WatchFor(const std::function<int(const ws::Pixels&)>& classify,
                   const std::function<bool(const Sighting&)>& done, int timeoutMs) {
        return WatchScreen(desktop_->Screen(), player_run_, classify, done, timeoutMs, &last_);
    }
    Watch WatchUntil(const std::function<int(const ws::Pixels&)>& classify, int what, int timeoutMs) {
        return WatchFor(classify, [&](const Sighting& s) { return s.what == what; }, timeoutMs);
    }
    void Save(const std::string& name) { SavePng(last_, folder_ + "/" + name + ".png"); }

    void ExpectEnds(int timeoutMs) {
        int code = -1;
        ASSERT_TRUE(player_run_.WaitFor(timeoutMs, &code)) << "the player did not end";
        EXPECT_EQ(code, 0);
    }

    bool BarShows(const ws::Pixels& screen, const char* previous, const char* next, const char* pause) {
        const char* files[4] = {previous, next, pause, "button_107.bmp"};
        for (int k = 0; k < 4; ++k) {
            auto found = buttons_.find(files[k]);
            if (found == buttons_.end()) found = buttons_.emplace(files[k], LoadResourcePicture(files[k])).first;
            if (!ShowsPicture(screen, kBar.left + 32 * k, kBar.top, found->second)) return false;
        }
        return true;
    }

    // Every sighting from index `from` to `to` (inclusive) shows one of the
    // slides: the next picture replaces the previous one with no bare
    // background between them.
    static void ExpectNoBareBackground(const Watch& watch, int from, int to) {
        for (int i = from; i <= to; ++i) {
            if (watch.sightings[i].what == 0) {
                ADD_FAILURE() << "the bare background at " << watch.sightings[i].ms << " ms: " << watch.Changes();
                return;
            }
        }
    }

    static inline std::string player_;
    static inline std::string root_;
    static inline WineDesktop* desktop_ = nullptr;
    std::string folder_;
    std::string log_;
    ChildProcess player_run_;
    ws::Pixels last_;
    std::map<std::string, ws::Pixels> buttons_;
};

#define EXPECT_AT(measured, expected, tolerance, watch)                                              \
    EXPECT_LE(std::abs((measured) - (expected)), (tolerance))                                        \
        << #measured " is " << (measured) << " ms, expected " << (expected) << "; seen: " << (watch).Changes()

// Four pictures of different shapes at 1000 ms, then the closing splash for
// 5000 ms: each change on its time, each picture fitted and centred, never
// the bare background between two of them.
TEST_F(WineShow, TimedPicturesChangeOnTimeWithoutBlackAndTheSplashLastsFiveSeconds) {
    const Picture slides[4] = {{"wide.jpg", 0x28A0DC, 1600, 1200, 12},
                               {"small.jpg", 0xE6781E, 800, 600, 12},
                               {"band.jpg", 0x3CC85A, 1000, 400, 12},
                               {"tall.jpg", 0xB43CC8, 500, 700, 12}};
    for (const Picture& p : slides) Still(p);
    Play({{"AdvanceMethod", "2"}, {"DelayBetweenSlidesInMilliseconds", "1000"}, {"ShowSplash", "1"}},
         {{"wide.jpg", ""}, {"small.jpg", ""}, {"band.jpg", ""}, {"tall.jpg", ""}});
    const ws::Pixels splash = LoadResourcePicture("splash_110.bmp");
    ASSERT_EQ(splash.width, 420);
    auto classify = [&](const ws::Pixels& s) {
        for (int k = 0; k < 4; ++k) {
            if (slides[k].On(s)) return k + 1;
        }
        if (ShowsPicture(s, (kScreenWidth - 420) / 2, (kScreenHeight - 154) / 2, splash)) return 5;
        return 0;
    };
    const Watch watch = WatchFor(classify, [](const Sighting&) { return false; }, 40000);
    std::cout << "seen (what@ms): " << watch.Changes() << "\n";
    ASSERT_TRUE(watch.ended) << watch.Changes();
    ExpectEnds(1000);

    const int first = watch.First(1);
    ASSERT_GE(first, 0) << "the first picture never showed fitted: " << watch.Changes();
    const double start = watch.sightings[first].ms;
    int previous = first;
    for (int k = 2; k <= 5; ++k) {
        const int shown = watch.First(k, previous);
        ASSERT_GE(shown, 0) << "slide " << k << " never showed: " << watch.Changes();
        EXPECT_AT(watch.sightings[shown].ms - start, 1000.0 * (k - 1), kChangeToleranceMs, watch);
        // From one picture to the next nothing but whole pictures.
        if (k <= 4) ExpectNoBareBackground(watch, previous, shown);
        previous = shown;
    }
    const int splashGone = watch.FirstOther(5, previous);
    const double splashEnd = splashGone >= 0 ? watch.sightings[splashGone].ms : watch.sightings.back().ms;
    EXPECT_AT(splashEnd - watch.sightings[previous].ms, 5000.0, 250.0, watch);
}

// Clips among pictures in a timed show with a background tune and slide
// sounds: a phone's MP4 (H.264 and AAC) and an MJPEG AVI, each shown at its
// size in the middle of the screen, its first picture when its slide comes
// and its second second one second later.
TEST_F(WineShow, ClipsInATimedShowWithSoundsAreFittedAndPlayOnTime) {
    const Picture first{"first.jpg", 0x28A0DC, 900, 600, 12};
    const Picture third{"third.jpg", 0xB43CC8, 600, 400, 12};
    // Clip colours come through two colour conversions: a wider tolerance.
    const Picture phone[2] = {{"phone.mp4", 0xE6781E, 320, 240, 24}, {"phone.mp4", 0x3CC85A, 320, 240, 24}};
    const Picture camera[2] = {{"camera.avi", 0xDCDC28, 640, 480, 24}, {"camera.avi", 0x2828DC, 640, 480, 24}};
    Still(first);
    Still(third);
    ASSERT_TRUE(MakeClip(folder_ + "/phone.mp4", phone[0].colour, phone[1].colour, 320, 240, log_));
    ASSERT_TRUE(MakeClip(folder_ + "/camera.avi", camera[0].colour, camera[1].colour, 640, 480, log_));
    Tone("chime.wav", 0.5);
    Tone("tune.wav", 3);
    constexpr int kDelay = 2500;
    Play({{"AdvanceMethod", "2"},
          {"SoundOptions", "32"},
          {"BackgroundSound", "tune.wav"},
          {"DelayBetweenSlidesInMilliseconds", std::to_string(kDelay)},
          {"ShowSplash", "0"}},
         {{"first.jpg", "chime.wav"}, {"phone.mp4", ""}, {"third.jpg", "chime.wav"}, {"camera.avi", ""}});
    auto classify = [&](const ws::Pixels& s) {
        if (first.On(s)) return 1;
        if (phone[0].On(s)) return 2;
        if (phone[1].On(s)) return 3;
        if (third.On(s)) return 4;
        if (camera[0].On(s)) return 5;
        if (camera[1].On(s)) return 6;
        return 0;
    };
    const Watch watch = WatchFor(classify, [](const Sighting&) { return false; }, 40000);
    std::cout << "seen (what@ms): " << watch.Changes() << "\n";
    ASSERT_TRUE(watch.ended) << watch.Changes();
    ExpectEnds(1000);

    const int shown[6] = {watch.First(1), watch.First(2), watch.First(3),
                          watch.First(4), watch.First(5), watch.First(6)};
    for (int k = 0; k < 6; ++k) {
        ASSERT_GE(shown[k], 0) << "picture " << k + 1 << " never showed fitted: " << watch.Changes();
    }
    auto at = [&](int k) { return watch.sightings[shown[k]].ms; };
    const double start = at(0);
    EXPECT_AT(at(1) - start, 1.0 * kDelay, kClipStartToleranceMs, watch);   // the MP4's first picture
    EXPECT_AT(at(2) - at(1), 1000.0, kClipPaceToleranceMs, watch);           // its second second
    EXPECT_AT(at(3) - start, 2.0 * kDelay, kChangeToleranceMs, watch);       // the still after it
    EXPECT_AT(at(4) - start, 3.0 * kDelay, kClipStartToleranceMs, watch);   // the AVI's first picture
    EXPECT_AT(at(5) - at(4), 1000.0, kClipPaceToleranceMs, watch);           // its second second
    // From the first picture to the AVI's last: always a picture.
    int last = shown[5];
    while (last + 1 < static_cast<int>(watch.sightings.size()) && watch.sightings[last + 1].what == 6) ++last;
    ExpectNoBareBackground(watch, shown[0], last);
}

// A show changed by hand: the bar shows at the start and hides by itself,
// Right, Left and Right step, Space pauses (the bar, brought back by the
// mouse, offers resume), and the bar's close button ends the show.
TEST_F(WineShow, KeysStepAndPauseAndTheBarHidesAndCloses) {
    const Picture slides[2] = {{"one.jpg", 0x28A0DC, 800, 600, 12}, {"two.jpg", 0xE6781E, 600, 600, 12}};
    for (const Picture& p : slides) Still(p);
    Play({{"AdvanceMethod", "0"}, {"ShowSplash", "0"}}, {{"one.jpg", ""}, {"two.jpg", ""}});
    VirtualScreen& screen = desktop_->Screen();
    auto classify = [&](const ws::Pixels& s) {
        if (slides[0].On(s)) return 1;
        if (slides[1].On(s)) return 2;
        return 0;
    };
    auto withBar = [&](const ws::Pixels& s) {
        return classify(s) == 1 && BarShows(s, "button_118.bmp", "button_104.bmp", "button_105.bmp") ? 1 : 0;
    };
    Watch watch = WatchUntil(withBar, 1, 30000);
    ASSERT_FALSE(watch.timedOut || watch.ended) << "the first slide with the bar never showed";
    Save("1-first-slide-and-bar");
    auto barHidden = [&](const ws::Pixels& s) { return classify(s) == 1 && AllBlack(s, kCloseButton) ? 1 : 0; };
    watch = WatchUntil(barHidden, 1, 6000);
    ASSERT_FALSE(watch.timedOut || watch.ended) << "the bar did not hide";

    for (const auto& [key, slide] : {std::pair{"Right", 2}, std::pair{"Left", 1}, std::pair{"Right", 2}}) {
        ASSERT_TRUE(screen.Key(key));
        watch = WatchUntil(classify, slide, 3000);
        ASSERT_FALSE(watch.timedOut || watch.ended) << key << " did not bring slide " << slide << ": "
                                                    << watch.Changes();
    }
    ASSERT_TRUE(screen.Key("space"));
    // A movement that changes both coordinates brings the bar back, once
    // the second after the last change, when movements are ignored, is over.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    ASSERT_TRUE(screen.MoveMouse(300, 300));
    ASSERT_TRUE(screen.MoveMouse(310, 320));
    watch = WatchUntil(
        [&](const ws::Pixels& s) {
            return classify(s) == 2 && BarShows(s, "button_103.bmp", "button_116.bmp", "button_106.bmp") ? 1 : 0;
        },
        1, 3000);
    if (watch.timedOut) Save("2-paused-bar");
    ASSERT_FALSE(watch.timedOut || watch.ended) << "the bar did not come back offering resume";
    ASSERT_TRUE(screen.MoveMouse(kCloseButton.left + 16, kCloseButton.top + 16));
    ASSERT_TRUE(screen.Click(1));
    ExpectEnds(5000);
}

// A timed step waits for the slide's sound: with 1000 ms between slides and
// a 2.5-second sound the second slide comes with the third tick; Escape
// then ends the show.
TEST_F(WineShow, ATimedStepWaitsForTheSlidesSoundAndEscapeEnds) {
    const Picture slides[2] = {{"one.jpg", 0x28A0DC, 800, 600, 12}, {"two.jpg", 0xE6781E, 600, 600, 12}};
    for (const Picture& p : slides) Still(p);
    Tone("long.wav", 2.5);
    Play({{"AdvanceMethod", "6"}, {"DelayBetweenSlidesInMilliseconds", "1000"}, {"ShowSplash", "0"}},
         {{"one.jpg", "long.wav"}, {"two.jpg", ""}});
    auto classify = [&](const ws::Pixels& s) {
        if (slides[0].On(s)) return 1;
        if (slides[1].On(s)) return 2;
        return 0;
    };
    const Watch watch = WatchUntil(classify, 2, 30000);
    ASSERT_FALSE(watch.timedOut || watch.ended) << watch.Changes();
    const int first = watch.First(1);
    ASSERT_GE(first, 0) << watch.Changes();
    EXPECT_AT(watch.sightings.back().ms - watch.sightings[first].ms, 3000.0, kChangeToleranceMs, watch);
    ASSERT_TRUE(desktop_->Screen().Key("Escape"));
    ExpectEnds(3000);
}

// A show description the player cannot find (a bare name is looked for in
// the Windows folder, not in the current one) reads as one without keys: a
// show of no slides, changed by hand, on the bare background. It waits for
// its viewer, who ends it with a step past its end.
TEST_F(WineShow, AShowDescriptionThatCannotBeFoundIsAnEmptyShowThatAStepEnds) {
    const Picture slide{"one.jpg", 0x28A0DC, 800, 600, 12};
    Still(slide);
    ASSERT_TRUE(WriteShow(folder_ + "/show.ini", {{"AdvanceMethod", "2"}, {"DelayBetweenSlidesInMilliseconds", "500"}},
                          {{"one.jpg", ""}}));
    // Away from the bar, which stays while the pointer is on it.
    ASSERT_TRUE(desktop_->Screen().MoveMouse(100, 700));
    Start("show.ini");
    // The bar shows at the start, both steps greyed, and holds the keys
    // until it hides.
    auto seen = [&](const ws::Pixels& s) {
        if (slide.On(s)) return 3;
        if (BarShows(s, "button_118.bmp", "button_116.bmp", "button_105.bmp")) return 1;
        return AllBlack(s, kCloseButton) ? 2 : 0;
    };
    Watch watch = WatchUntil(seen, 1, 30000);
    ASSERT_FALSE(watch.ended || watch.timedOut) << "the bar never showed: " << watch.Changes();
    const Watch hidden = WatchFor(seen, [](const Sighting& s) { return s.what == 2 || s.what == 3; }, 6000);
    ASSERT_FALSE(hidden.ended || hidden.timedOut) << "the bar did not hide: " << hidden.Changes();
    EXPECT_LT(watch.First(3) + hidden.First(3), -1) << "the slide of a show description that was not read";
    ASSERT_TRUE(desktop_->Screen().Key("Right"));
    ExpectEnds(5000);
}

}  // namespace
}  // namespace tarn::e2e::wine
