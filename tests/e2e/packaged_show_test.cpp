// A packaged show played for real: tarnpack builds a package from generated
// slides, the package runs as an executable on a private X server, and the
// screen, the keyboard, the mouse and the temporary folder are checked the
// way a person would see them.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "screen_checks.h"
#include "virtual_screen.h"

namespace tarn::e2e {
namespace {

namespace fs = std::filesystem;

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kDelayMs = 4000;

// The slides: one larger than the screen in both directions (so both steps of
// the fit apply, with truncation), one smaller, one clip.
constexpr int kLargeWidth = 2000, kLargeHeight = 1800;
constexpr uint32_t kLargeColour = 0x28A0DC;  // JPEG: compared with a tolerance
constexpr int kSmallWidth = 300, kSmallHeight = 200;
constexpr uint32_t kSmallColour = 0xE6781E;  // PNG: exact, but scaled copies may round
constexpr int kClipWidth = 320, kClipHeight = 240;
constexpr uint32_t kClipColour = 0x3CC85A;  // H.264 in 4:2:0: a wider tolerance

// The control bar: 128 x 32 at 20 pixels from the top right corner.
constexpr Box kBar{kScreenWidth - 128 - 20, 20, 128, 32};
constexpr Box kCloseButton{kBar.left + 96, kBar.top, 32, 32};
constexpr Box kNowhere{-1, -1, 0, 0};
// How far a window manager's shadow around the bar may reach.
constexpr int kShadow = 24;

std::string Hex(uint32_t colour) {
    char text[8];
    std::snprintf(text, sizeof text, "%06X", colour);
    return text;
}

// The generated show and its package, made in a folder of the test's own
// (CTest runs the tests of this file in parallel processes).
class ShowFiles {
public:
    bool ok = false;
    std::string folder;
    std::string package;
    std::string failure;

    explicit ShowFiles(const std::string& where) {
        folder = where;
        fs::create_directories(folder);
        const std::string log = folder + "/make.log";
        auto ff = [&](std::vector<std::string> args) {
            std::vector<std::string> argv{"ffmpeg", "-hide_banner", "-loglevel", "error", "-y"};
            argv.insert(argv.end(), args.begin(), args.end());
            return RunToEnd(argv, 60000, {}, log) == 0;
        };
        auto colour = [](uint32_t c, int w, int h) {
            return "color=c=0x" + Hex(c) + ":s=" + std::to_string(w) + "x" + std::to_string(h);
        };
        if (!ff({"-f", "lavfi", "-i", colour(kLargeColour, kLargeWidth, kLargeHeight), "-frames:v", "1",
                 "-q:v", "2", folder + "/large.jpg"}) ||
            !ff({"-f", "lavfi", "-i", colour(kSmallColour, kSmallWidth, kSmallHeight), "-frames:v", "1",
                 folder + "/small.png"}) ||
            !ff({"-f", "lavfi", "-i", colour(kClipColour, kClipWidth, kClipHeight) + ":r=25:d=3", "-f", "lavfi",
                 "-i", "sine=frequency=440:d=3", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-preset",
                 "veryfast", "-c:a", "aac", "-shortest", folder + "/clip.mp4"})) {
            failure = "ffmpeg could not make the slides; see " + log;
            return;
        }
        {
            std::ofstream ini(folder + "/show.ini", std::ios::binary);
            ini << "[OPTIONS]\r\nAdvanceMethod=2\r\nViewOptions=0\r\nSoundOptions=0\r\n"
                << "BackgroundSound=\r\nDelayBetweenSlidesInMilliseconds=" << kDelayMs << "\r\n"
                << "ShowSplash=1\r\n\r\n[SLIDES]\r\nCount=3\r\n"
                << "Image1000=large.jpg\r\nSound1000=\r\n"
                << "Image1001=small.png\r\nSound1001=\r\n"
                << "Image1002=clip.mp4\r\nSound1002=\r\n";
        }
        package = folder + "/show-package";
        if (RunToEnd({TARN_TARNPACK, "create", folder + "/show.ini", "-o", package, "--player", TARN_PLAYER},
                     60000, {}, log) != 0) {
            failure = "tarnpack could not build the package; see " + log;
            return;
        }
        ok = true;
    }
};

// What is in the temporary folder, except the runtime folder the PulseAudio
// client library makes there (pulse-*) when the machine has no
// XDG_RUNTIME_DIR: that belongs to the sound system, not to the show.
std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename();
        if (entry.is_directory() && name.rfind("pulse-", 0) == 0) continue;
        names.push_back(name);
    }
    return names;
}

class PackagedShow : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::optional<WindowManager> manager = WindowManagerUnderTest();
        ASSERT_TRUE(manager.has_value()) << "TARN_E2E_WM names no window manager the tests know";
        // The same test runs under each window manager, possibly at once.
        const std::string under =
            *manager == WindowManager::kNone ? std::string() : std::string(WindowManagerName(*manager)) + "-";
        work_ = std::string(TARN_BINARY_DIR) + "/tests/e2e/run-" + under + info->name();
        fs::remove_all(work_);
        fs::create_directories(work_ + "/tmp");
        temp_ = work_ + "/tmp";
        files_ = std::make_unique<ShowFiles>(work_ + "/show");
        ASSERT_TRUE(files_->ok) << files_->failure;
        // Mutter's compositor draws every window one level darker per channel,
        // and a shadow around the bar.
        if (*manager == WindowManager::kMutter) {
            exactness_ = 2;
            barArea_ = Box{kBar.left - kShadow, kBar.top - kShadow, kBar.width + 2 * kShadow, kBar.height + 2 * kShadow};
        }
        ASSERT_TRUE(screen_.StartDesktop(kScreenWidth, kScreenHeight, work_ + "/xvfb.log", *manager))
            << "Xvfb, " << WindowManagerName(*manager) << " or the dock did not start; see " << work_
            << "/xvfb.log";
    }

    void TearDown() override { package_.Kill(SIGKILL); }

    void StartPackage(std::map<std::string, std::string> env = {}) {
        env.emplace("DISPLAY", screen_.Name());
        env.emplace("TMPDIR", temp_);
        package_ = ChildProcess::Spawn({files_->package}, env, work_ + "/player.log");
        ASSERT_TRUE(package_.Started());
    }

    // Takes screenshots until `condition` holds for one, at most `timeoutMs`.
    bool WaitForScreen(const std::function<bool(const ws::Pixels&)>& condition, int timeoutMs) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            last_ = screen_.Capture();
            if (condition(last_)) return true;
            if (std::chrono::steady_clock::now() >= until) {
                Save("timed-out-" + std::to_string(++timeouts_));  // for a person to look at
                return false;
            }
            int code = -1;
            if (package_.WaitFor(0, &code)) {
                ADD_FAILURE() << "the package process ended early, exit code " << code;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
    }

    // Keeps the last screenshot for a person to look at.
    void Save(const std::string& name) { SavePng(last_, work_ + "/" + name + ".png"); }

    bool BarShows(const ws::Pixels& screen, const char* previous, const char* next, const char* pause) {
        const char* files[4] = {previous, next, pause, "button_107.bmp"};
        for (int k = 0; k < 4; ++k) {
            const ws::Pixels& picture = Picture(files[k]);
            if (!ShowsPicture(screen, kBar.left + 32 * k, kBar.top, picture, exactness_)) return false;
        }
        return true;
    }
    bool BarHidden(const ws::Pixels& screen) { return AllBlack(screen, kCloseButton); }

    const ws::Pixels& Picture(const std::string& file) {
        auto found = pictures_.find(file);
        if (found == pictures_.end()) found = pictures_.emplace(file, LoadResourcePicture(file)).first;
        return found->second;
    }

    // Ends the test's run: the package process exits and leaves nothing.
    void ExpectEndedCleanly(int timeoutMs) {
        int code = -1;
        ASSERT_TRUE(package_.WaitFor(timeoutMs, &code)) << "the package process did not end";
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(FolderEntries(temp_).empty())
            << "left in the temporary folder: " << ::testing::PrintToString(FolderEntries(temp_));
        // The package process and the player say nothing, even on a machine
        // without a sound card.
        std::ifstream log(work_ + "/player.log");
        const std::string said((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
        EXPECT_EQ(said, "");
    }

    const Box large_ = FitRectangle(kLargeWidth, kLargeHeight, kScreenWidth, kScreenHeight);
    const Box small_ = FitRectangle(kSmallWidth, kSmallHeight, kScreenWidth, kScreenHeight);
    const Box clip_ = FitRectangle(kClipWidth, kClipHeight, kScreenWidth, kScreenHeight);

    std::unique_ptr<ShowFiles> files_;
    int exactness_ = 0;  // tolerance per channel for the player's own pictures
    Box barArea_ = kBar;  // what the bar covers on screen
    int timeouts_ = 0;
    VirtualScreen screen_;
    ChildProcess package_;
    ws::Pixels last_;
    std::string work_;
    std::string temp_;
    std::map<std::string, ws::Pixels> pictures_;
};

TEST_F(PackagedShow, SlidesAreFittedAndCentredAKeyAdvancesAndTheSplashEndsTheShow) {
    // The fit of 2000 x 1800 on 1024 x 768: 1024 x 921 by width, then 853 x 768.
    ASSERT_EQ(large_.left, 85);
    ASSERT_EQ(large_.width, 853);
    ASSERT_EQ(large_.height, 768);
    StartPackage();

    // First slide with the bar: greyed previous, next, pause, close.
    std::string why;
    ASSERT_TRUE(WaitForScreen(
        [&](const ws::Pixels& s) {
            why = CheckSlide(s, large_, kLargeColour, 12, barArea_);
            return why.empty() && BarShows(s, "button_118.bmp", "button_104.bmp", "button_105.bmp");
        },
        20000))
        << "first slide with the bar never shown: " << why;
    Save("1-first-slide");

    // The show window carries the program's icon for the desktop's task list.
    const ws::Pixels& icon = Picture("icon_122.ico");
    ASSERT_GT(icon.width, 0);
    const ws::Pixels shownIcon = screen_.WindowIcon(0, 0, kScreenWidth, kScreenHeight);
    EXPECT_EQ(shownIcon.width, icon.width);
    EXPECT_EQ(shownIcon.height, icon.height);
    EXPECT_TRUE(shownIcon.data == icon.data) << "the show window's icon is not the program's";

    // The bar hides by itself once its check finds the pointer elsewhere; the
    // first slide is still there, whole, and keys reach the show window again.
    ASSERT_TRUE(WaitForScreen([&](const ws::Pixels& s) { return BarHidden(s); }, 5000)) << "bar stays";
    ASSERT_EQ(CheckSlide(last_, large_, kLargeColour, 12, kNowhere), "") << "first slide gone before the key";
    Save("2-bar-hidden");

    // Right brings the second slide, Left the first again (the timer never
    // goes back, so that one was the keyboard's for sure), Right the second.
    auto second = [&](const ws::Pixels& s) {
        why = CheckSlide(s, small_, kSmallColour, 3, kNowhere);
        return why.empty();
    };
    ASSERT_TRUE(screen_.Key("Right"));
    ASSERT_TRUE(WaitForScreen(second, 3000)) << "Right did not bring the second slide: " << why;
    // Nothing of the first slide remains around the smaller one.
    EXPECT_TRUE(AllBlack(last_, Box{large_.left, 0, small_.left - large_.left, kScreenHeight}));
    Save("3-after-right");
    ASSERT_TRUE(screen_.Key("Left"));
    ASSERT_TRUE(WaitForScreen(
        [&](const ws::Pixels& s) {
            why = CheckSlide(s, large_, kLargeColour, 12, kNowhere);
            return why.empty();
        },
        3000))
        << "Left did not bring the first slide back: " << why;
    ASSERT_TRUE(screen_.Key("Right"));
    ASSERT_TRUE(WaitForScreen(second, 3000)) << "Right did not bring the second slide again: " << why;

    // The timer brings the clip.
    ASSERT_TRUE(WaitForScreen(
        [&](const ws::Pixels& s) {
            why = CheckSlide(s, clip_, kClipColour, 24, kNowhere);
            return why.empty();
        },
        kDelayMs + 4000))
        << "the clip never showed: " << why;
    Save("4-clip");

    // Then the closing splash, 420 x 154 at the centre of the screen.
    const ws::Pixels& splash = Picture("splash_110.bmp");
    ASSERT_EQ(splash.width, 420);
    ASSERT_EQ(splash.height, 154);
    const bool splashShown = WaitForScreen(
        [&](const ws::Pixels& s) {
            return ShowsPicture(s, (kScreenWidth - 420) / 2, (kScreenHeight - 154) / 2, splash, exactness_);
        },
        kDelayMs + 4000);
    Save(splashShown ? "5-splash" : "5-no-splash");
    ASSERT_TRUE(splashShown) << "no splash";

    // Five seconds later the show is over and nothing of it is left; the
    // splash stays until then (seen here a moment after it was put up).
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    last_ = screen_.Capture();
    EXPECT_TRUE(ShowsPicture(last_, (kScreenWidth - 420) / 2, (kScreenHeight - 154) / 2, splash, exactness_))
        << "the splash went early";
    ExpectEndedCleanly(5500);
}

TEST_F(PackagedShow, ASlideChangeNeverShowsTheBareBackground) {
    StartPackage();
    // Every screenshot from the first slide to the clip shows one of the three
    // pictures whole: the changes by the timer (photo to picture, picture to
    // clip, whose first frame comes from its decoder a moment later) never
    // put the bare black background on screen in between.
    auto which = [&](const ws::Pixels& s) {
        if (CheckSlide(s, large_, kLargeColour, 12, barArea_).empty()) return 1;
        if (CheckSlide(s, small_, kSmallColour, 3, barArea_).empty()) return 2;
        if (CheckSlide(s, clip_, kClipColour, 24, barArea_).empty()) return 3;
        return 0;
    };
    ASSERT_TRUE(WaitForScreen([&](const ws::Pixels& s) { return which(s) == 1; }, 20000));
    int shots = 0;
    int seen = 1;
    while (seen < 3) {
        ASSERT_TRUE(package_.Running());
        last_ = screen_.Capture();
        ++shots;
        const int now = which(last_);
        if (now == 0) {
            Save("between-slides");
            FAIL() << "a screenshot between slide " << seen << " and the next shows neither";
        }
        ASSERT_GE(now, seen) << "the show went back";
        seen = now;
        ASSERT_LT(shots, 5000) << "the clip never came";
    }
}

TEST_F(PackagedShow, TheMouseBringsTheBarBackAndItsButtonsWork) {
    StartPackage();
    ASSERT_TRUE(WaitForScreen([&](const ws::Pixels& s) { return CheckSlide(s, large_, kLargeColour, 12, barArea_).empty(); },
                              20000));
    ASSERT_TRUE(WaitForScreen([&](const ws::Pixels& s) { return BarHidden(s); }, 5000));

    // A movement that changes both coordinates opens the bar again.
    ASSERT_TRUE(screen_.MoveMouse(300, 300));
    ASSERT_TRUE(screen_.MoveMouse(310, 320));
    ASSERT_TRUE(WaitForScreen(
        [&](const ws::Pixels& s) { return BarShows(s, "button_118.bmp", "button_104.bmp", "button_105.bmp"); },
        3000))
        << "the mouse did not bring the bar back";

    // Next: the second slide, and the bar shows the new position.
    ASSERT_TRUE(screen_.MoveMouse(kBar.left + 48, kBar.top + 16));
    ASSERT_TRUE(screen_.Click(1));
    ASSERT_TRUE(WaitForScreen(
        [&](const ws::Pixels& s) {
            return CheckSlide(s, small_, kSmallColour, 3, kNowhere).empty() &&
                   BarShows(s, "button_103.bmp", "button_104.bmp", "button_105.bmp");
        },
        3000))
        << "the next button did not work";
    Save("1-after-next-button");

    // Pause: the button turns into resume.
    ASSERT_TRUE(screen_.MoveMouse(kBar.left + 80, kBar.top + 16));
    ASSERT_TRUE(screen_.Click(1));
    ASSERT_TRUE(WaitForScreen(
        [&](const ws::Pixels& s) { return BarShows(s, "button_103.bmp", "button_104.bmp", "button_106.bmp"); },
        3000))
        << "the pause button did not turn into resume";
    Save("2-paused");

    // The pointer leaving the bar, moved through the X server's test
    // extension as remote desktops move it, lets the bar hide at its next
    // check; a movement brings it back.
    ASSERT_TRUE(screen_.MoveMouse(300, 300));
    ASSERT_TRUE(WaitForScreen([&](const ws::Pixels& s) { return BarHidden(s); }, 5000))
        << "the bar stayed after the pointer left it";
    ASSERT_TRUE(screen_.MoveMouse(310, 320));
    ASSERT_TRUE(WaitForScreen(
        [&](const ws::Pixels& s) { return BarShows(s, "button_103.bmp", "button_104.bmp", "button_106.bmp"); },
        3000));

    // Previous, while paused: the first slide again (the paused show's timer
    // is stopped, and it never goes back anyway).
    ASSERT_TRUE(screen_.MoveMouse(kBar.left + 16, kBar.top + 16));
    ASSERT_TRUE(screen_.Click(1));
    ASSERT_TRUE(WaitForScreen(
        [&](const ws::Pixels& s) {
            return CheckSlide(s, large_, kLargeColour, 12, barArea_).empty() &&
                   BarShows(s, "button_118.bmp", "button_104.bmp", "button_106.bmp");
        },
        3000))
        << "the previous button did not work";
    Save("3-previous-while-paused");


    // Close ends the show at once.
    ASSERT_TRUE(screen_.MoveMouse(kBar.left + 112, kBar.top + 16));
    ASSERT_TRUE(screen_.Click(1));
    ExpectEndedCleanly(5000);
}

TEST_F(PackagedShow, EscapeEndsTheShowAndNothingIsLeft) {
    StartPackage();
    ASSERT_TRUE(WaitForScreen([&](const ws::Pixels& s) { return CheckSlide(s, large_, kLargeColour, 12, barArea_).empty(); },
                              20000));
    ASSERT_TRUE(WaitForScreen([&](const ws::Pixels& s) { return BarHidden(s); }, 5000));
    ASSERT_TRUE(screen_.Key("Escape"));
    ExpectEndedCleanly(3000);
}

// A desktop without a session bus: the show plays and ends as usual, and no
// bus daemon is launched for it (it would outlive the show). A dbus-launch
// of the test's own, first on the PATH, tells whether anything tried.
TEST_F(PackagedShow, WithoutASessionBusNoneIsLaunchedForTheShow) {
    const std::string tools = work_ + "/tools";
    const std::string marker = work_ + "/dbus-launch-ran";
    fs::create_directories(tools);
    {
        std::ofstream script(tools + "/dbus-launch");
        script << "#!/bin/sh\necho \"$@\" >>'" << marker << "'\nexit 1\n";
    }
    fs::permissions(tools + "/dbus-launch", fs::perms::owner_all);
    const std::string runtime = work_ + "/runtime";  // no bus socket in it
    fs::create_directories(runtime);
    const char* path = std::getenv("PATH");
    StartPackage({{"DBUS_SESSION_BUS_ADDRESS", ""},
                  {"XDG_RUNTIME_DIR", runtime},
                  {"PATH", tools + ":" + (path != nullptr ? path : "/usr/bin:/bin")}});
    ASSERT_TRUE(WaitForScreen([&](const ws::Pixels& s) { return CheckSlide(s, large_, kLargeColour, 12, barArea_).empty(); },
                              20000));
    ASSERT_TRUE(screen_.Key("Escape"));
    ExpectEndedCleanly(3000);
    EXPECT_FALSE(fs::exists(marker)) << "a session bus was launched for the show";
}

TEST_F(PackagedShow, ClosingTheBarAloneLeavesNothingBehind) {
    StartPackage();
    ASSERT_TRUE(WaitForScreen(
        [&](const ws::Pixels& s) { return BarShows(s, "button_118.bmp", "button_104.bmp", "button_105.bmp"); },
        20000));
    // The desktop's close command on the bar: the player's loop ends without
    // the show window's own clean-up; the package process removes the rest.
    ASSERT_TRUE(screen_.RequestClose(kBar.left, kBar.top, kBar.width, kBar.height));
    ExpectEndedCleanly(5000);
}

// The player run on a show description written by hand, from another
// folder: the description's relative names are found in its own folder.
class HandWrittenShow : public PackagedShow {};

TEST_F(HandWrittenShow, RelativeNamesAreFoundInTheDescriptionsFolderFromAnotherOne) {
    const std::string elsewhere = work_ + "/elsewhere";
    fs::create_directories(elsewhere);
    const std::string command = "cd '" + elsewhere + "' && exec '" + TARN_PLAYER + "' '" + files_->folder + "/show.ini'";
    package_ = ChildProcess::Spawn({"sh", "-c", command}, {{"DISPLAY", screen_.Name()}, {"TMPDIR", temp_}},
                                   work_ + "/player.log");
    ASSERT_TRUE(package_.Started());
    std::string why;
    ASSERT_TRUE(WaitForScreen(
        [&](const ws::Pixels& s) {
            why = CheckSlide(s, large_, kLargeColour, 12, barArea_);
            return why.empty();
        },
        20000))
        << "the first picture never showed: " << why;
    ASSERT_TRUE(screen_.Key("Right"));
    ASSERT_TRUE(WaitForScreen(
        [&](const ws::Pixels& s) {
            why = CheckSlide(s, small_, kSmallColour, 3, barArea_);
            return why.empty();
        },
        3000))
        << "the second picture never showed: " << why;
    ASSERT_TRUE(screen_.Key("Escape"));
    ExpectEndedCleanly(3000);
    // The show's own files are all still there.
    for (const char* name : {"large.jpg", "small.png", "clip.mp4", "show.ini"}) {
        EXPECT_TRUE(fs::exists(files_->folder + "/" + name)) << name;
    }
}

// A machine without any display: the package runs its player, which finds no
// screen and ends at once instead of playing where nobody sees it, saying so
// in one line with status 1, which the package passes on; nothing of the
// show is left.
TEST(PackageWithoutDisplay, EndsAtOnceWithOneLineAndLeavesNothing) {
    if (fs::exists("/dev/dri")) GTEST_SKIP() << "this machine may have a console screen to play on";
    const std::string work = std::string(TARN_BINARY_DIR) + "/tests/e2e/run-without-display";
    fs::remove_all(work);
    fs::create_directories(work + "/tmp");
    ShowFiles files(work + "/show");
    ASSERT_TRUE(files.ok) << files.failure;

    ChildProcess package = ChildProcess::Spawn(
        {files.package},
        {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"XDG_RUNTIME_DIR", ""}, {"TMPDIR", work + "/tmp"}},
        work + "/player.log");
    ASSERT_TRUE(package.Started());
    int code = -1;
    // The show itself would take more than twelve seconds.
    ASSERT_TRUE(package.WaitFor(6000, &code)) << "the player played without a display";
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(FolderEntries(work + "/tmp").empty());
    std::ifstream log(work + "/player.log");
    const std::string said((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_EQ(said, "tarnplayer: cannot show the slides: no display (DISPLAY is not set)\n");
}

}  // namespace
}  // namespace tarn::e2e
