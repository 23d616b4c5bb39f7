// A cross-fade seen on a real X server: a packaged timed show of a red and
// a blue slide with a one-second fade, watched through screenshots. Its
// middle must pass through mixed colours, in step with the time since the
// change began, and end on the pure blue.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "child_process.h"
#include "virtual_screen.h"

namespace tarn::e2e {
namespace {

namespace fs = std::filesystem;

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kFadeMs = 1000;

int Red(uint32_t pixel) { return static_cast<int>((pixel >> 16) & 0xFF); }
int Blue(uint32_t pixel) { return static_cast<int>(pixel & 0xFF); }
bool IsRed(uint32_t pixel) { return Red(pixel) >= 250 && Blue(pixel) <= 5; }
bool IsBlue(uint32_t pixel) { return Red(pixel) <= 5 && Blue(pixel) >= 250; }

struct Sample {
    double ms;  // since the first screenshot
    uint32_t middle;
};

TEST(CrossFadeOnScreen, RedDissolvesIntoBlueInStepWithTimeAndEndsOnBlue) {
    const std::string work = std::string(TARN_BINARY_DIR) + "/tests/e2e/run-cross-fade";
    fs::remove_all(work);
    fs::create_directories(work + "/show");
    fs::create_directories(work + "/tmp");
    const std::string log = work + "/make.log";
    for (const auto& [name, colour] : {std::pair{"red.png", "0xFF0000"}, std::pair{"blue.png", "0x0000FF"}}) {
        ASSERT_EQ(RunToEnd({"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                            std::string("color=c=") + colour + ":s=640x480", "-frames:v", "1",
                            work + "/show/" + name},
                           60000, {}, log),
                  0);
    }
    {
        std::ofstream ini(work + "/show/show.ini", std::ios::binary);
        ini << "[OPTIONS]\r\nAdvanceMethod=2\r\nDelayBetweenSlidesInMilliseconds=3000\r\n"
            << "TransitionMilliseconds=" << kFadeMs << "\r\nShowSplash=0\r\n\r\n[SLIDES]\r\nCount=2\r\n"
            << "Image1000=red.png\r\nImage1001=blue.png\r\n";
    }
    const std::string package = work + "/show-package";
    ASSERT_EQ(RunToEnd({TARN_TARNPACK, "create", work + "/show/show.ini", "-o", package, "--player", TARN_PLAYER},
                       60000, {}, log),
              0);

    VirtualScreen screen;
    ASSERT_TRUE(screen.Start(kScreenWidth, kScreenHeight, work + "/xvfb.log"));
    ChildProcess player =
        ChildProcess::Spawn({package}, {{"DISPLAY", screen.Name()}, {"TMPDIR", work + "/tmp"}}, work + "/player.log");
    ASSERT_TRUE(player.Started());

    // Screenshots as fast as they come, from the red slide to the blue one
    // and a little after.
    const auto begin = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count(); };
    std::vector<Sample> samples;
    bool sawRed = false;
    double blueSince = -1;
    while (elapsed() < 20000) {
        const ws::Pixels shot = screen.Capture();
        if (shot.width != kScreenWidth) continue;
        const Sample sample{elapsed(), shot.At(kScreenWidth / 2, kScreenHeight / 2)};
        sawRed = sawRed || IsRed(sample.middle);
        if (sawRed) samples.push_back(sample);
        if (sawRed && IsBlue(sample.middle) && blueSince < 0) blueSince = sample.ms;
        if (blueSince >= 0 && sample.ms > blueSince + 300) break;
    }
    player.Kill(SIGKILL);
    ASSERT_TRUE(sawRed) << "the red slide never showed";
    ASSERT_GE(blueSince, 0) << "the blue slide never showed whole";

    // The fade: from the last pure red screenshot to the first pure blue one.
    auto lastRed = std::find_if(samples.rbegin(), samples.rend(), [](const Sample& s) { return IsRed(s.middle); });
    const double fadeStart = lastRed->ms;
    std::set<uint32_t> mixed;
    int checked = 0;
    for (const Sample& s : samples) {
        if (s.ms <= fadeStart || s.ms >= blueSince) continue;
        mixed.insert(s.middle);
        // Between two screenshots a frame of at most ~1/30 s may lie, and a
        // screenshot of the whole screen takes a few milliseconds more.
        const double passed = (s.ms - fadeStart) / kFadeMs;
        const double blueShare = Blue(s.middle) / 255.0;
        EXPECT_NEAR(blueShare, passed, 0.2) << "at " << s.ms - fadeStart << " ms into the fade";
        EXPECT_NEAR(Red(s.middle) + Blue(s.middle), 255, 8) << "red and blue share the pixel";
        ++checked;
    }
    const double fadeTook = blueSince - fadeStart;
    std::printf("fade seen over %.0f ms: %d screenshots, %zu distinct mixed colours\n", fadeTook, checked,
                mixed.size());
    EXPECT_GT(fadeTook, kFadeMs * 0.8);
    EXPECT_LT(fadeTook, kFadeMs * 1.3);
    EXPECT_GE(mixed.size(), 10u) << "too few distinct mixed frames seen (" << checked << " screenshots in the fade)";
    EXPECT_TRUE(std::any_of(samples.begin(), samples.end(), [&](const Sample& s) {
        return s.ms > fadeStart + 350 && s.ms < fadeStart + 650 && Red(s.middle) > 60 && Blue(s.middle) > 60;
    })) << "no half-way colour in the middle of the fade";
}

}  // namespace
}  // namespace tarn::e2e
