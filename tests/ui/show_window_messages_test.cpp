// Timers, private messages, painting and closing of the show window.
#include <gtest/gtest.h>

#include <filesystem>

#include "controller/controller.h"
#include "controller/show_fixture.h"
#include "media/media_player.h"
#include "show/show_record.h"
#include "ui/control_bar.h"
#include "ui/show_window.h"

namespace tarn::test {
namespace {

using ShowWindowMessages = ShowFixture;

bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

// ---- Timers --------------------------------------------------------------------

TEST_F(ShowWindowMessages, SplashTimerClearsTheFlagBeforeClosing) {
    StartShowWith(ShowSpec::Slides(1).Splash());
    NextSlide(false);
    ASSERT_EQ(SplashShowing, 1);

    EXPECT_FALSE(RunFor(5000));

    EXPECT_FALSE(ShowOpen());
    EXPECT_EQ(SplashShowingAtClose(), 0);
    EXPECT_FALSE(Exists(PathOf("show.ini"))) << "the close handling cleaned up";
}

TEST_F(ShowWindowMessages, MouseQuietTimerEndsTheQuietPeriodOnce) {
    StartShowWith(ShowSpec::Slides(3));
    ASSERT_EQ(MouseQuiet, 1);
    ASSERT_TRUE(RunFor(999));
    EXPECT_EQ(MouseQuiet, 1);
    ASSERT_TRUE(RunFor(1));
    EXPECT_EQ(MouseQuiet, 0);
    EXPECT_FALSE(ShowTimer(TIMER_MOUSE_QUIET).has_value());
}

TEST_F(ShowWindowMessages, BarCheckTimerHidesTheBarWhenThePointerIsAway) {
    StartShowWith(ShowSpec::Slides(3));
    edge().SetCursor(10, 700);
    ASSERT_TRUE(BarShown());
    ASSERT_TRUE(RunFor(1994));
    EXPECT_TRUE(BarShown()) << "shown for at least one period";
    ASSERT_TRUE(RunFor(1));
    EXPECT_FALSE(BarShown());
    EXPECT_FALSE(ShowTimer(TIMER_BAR_CHECK).has_value());
}

TEST_F(ShowWindowMessages, UnknownTimerIdsAreIgnored) {
    StartShowWith(ShowSpec::Slides(3));
    media().Mark();
    for (WPARAM id : {4u, 5u, 99u}) EXPECT_EQ(SendMessageA(g_ShowWindow, WM_TIMER, id, 0), 0);
    EXPECT_EQ(Slide(), 0);
    EXPECT_TRUE(ShowOpen());
    EXPECT_TRUE(BarShown());
    EXPECT_TRUE(media().TakeSinceMark().empty());
}

// ---- Private messages ----------------------------------------------------------

TEST_F(ShowWindowMessages, PrivateMessagesStepPauseAndClose) {
    StartShowWith(ShowSpec::Slides(4));
    EXPECT_EQ(Send(UM_NEXT), 0);
    EXPECT_EQ(Send(UM_NEXT), 0);
    EXPECT_EQ(Slide(), 2);
    EXPECT_EQ(Send(UM_PREVIOUS), 0);
    EXPECT_EQ(Slide(), 1);
    EXPECT_EQ(Send(UM_TOGGLE_PAUSE), 0);
    EXPECT_EQ(Paused, 1);
    EXPECT_EQ(Send(UM_TOGGLE_PAUSE), 0);
    EXPECT_EQ(Paused, 0);
    ASSERT_TRUE(Exists(PathOf("show.ini")));

    EXPECT_EQ(Send(UM_CLOSE), 0);

    EXPECT_FALSE(ShowOpen());
    EXPECT_FALSE(Exists(PathOf("show.ini")));
    EXPECT_TRUE(Exists(PathOf("slide0.png"))) << "CLEAN=0 keeps the slides";
    int exitCode = -1;
    EXPECT_TRUE(ws::QuitPosted(&exitCode));
    EXPECT_EQ(exitCode, 0);
}

TEST_F(ShowWindowMessages, SlideSoundEventsReachTheMediaSoTheWaitEnds) {
    // The sound ends at 3 s; its notification must reach the media through
    // the show window, or the advance at 6 s would be refused.
    ShowSpec spec = ShowSpec::Slides(3).Timed(6000, true);
    spec.slides[0].sound = "short.wav";
    spec.slides[0].soundMs = 3000;
    StartShowWith(spec);
    ASSERT_TRUE(RunFor(6000));
    EXPECT_EQ(Slide(), 1);
}

TEST_F(ShowWindowMessages, BackgroundSoundEventsReachTheMediaSoTheTuneLoops) {
    ShowSpec spec = ShowSpec::Slides(2);
    spec.soundOptions = SOUND_LOOP_BACKGROUND;
    spec.backgroundSound = "tune.wav";
    spec.backgroundMs = 2000;
    StartShowWith(spec);
    ASSERT_TRUE(RunFor(5000));
    EXPECT_EQ(media().TimesOf("rewind tune.wav"), (std::vector<int64_t>{2000, 4000}));
    EXPECT_TRUE(media().SoundRunning("tune.wav"));
}

TEST_F(ShowWindowMessages, SoundEventsOfOtherGraphsAreHandedOnAndIgnored) {
    ShowSpec spec = ShowSpec::Slides(3).Timed(6000, true);
    spec.slides[0].sound = "long.wav";
    spec.slides[0].soundMs = 14000;
    StartShowWith(spec);
    EXPECT_EQ(Send(UM_SLIDE_SOUND_EVENT, 0, 987654321), 0);
    EXPECT_EQ(Send(UM_BACKGROUND_SOUND_EVENT, 0, 987654321), 0);
    ASSERT_TRUE(RunFor(6000));
    EXPECT_EQ(Slide(), 0) << "a stranger's event did not end the slide's sound";
}

// ---- Close and destroy ---------------------------------------------------------

TEST_F(ShowWindowMessages, EscapeClosesCleansUpAndEndsTheLoop) {
    StartShowWith(ShowSpec::Slides(3));
    edge().SetCursor(10, 700);
    ASSERT_TRUE(RunFor(2000));
    ASSERT_EQ(edge().KeyPress(VK_ESCAPE), g_ShowWindow);

    EXPECT_FALSE(RunFor(0));
    EXPECT_FALSE(ShowOpen());
    EXPECT_FALSE(IsWindow(g_ControlBarWindow)) << "the bar goes with its owner";
    EXPECT_FALSE(TheMediaPlayer().HoldsDisplayGraph());
    EXPECT_FALSE(Exists(PathOf("show.ini")));
}

// ---- Painting -------------------------------------------------------------------

TEST_F(ShowWindowMessages, BackgroundIsFilledWithTheFillColour) {
    StartShowWith(ShowSpec::Slides(2));
    ASSERT_TRUE(RunFor(0));
    const ws::Pixels* surface = ws::Surface(g_ShowWindow);
    ASSERT_NE(surface, nullptr);
    ASSERT_EQ(surface->width, 1024);
    EXPECT_EQ(surface->At(0, 0), 0u);
    EXPECT_EQ(surface->At(1023, 767), 0u);

    g_Show.FillColour = RGB(10, 20, 30);
    InvalidateRect(g_ShowWindow, nullptr, TRUE);
    UpdateWindow(g_ShowWindow);

    surface = ws::Surface(g_ShowWindow);
    EXPECT_EQ(surface->At(0, 0), 0x0A141Eu);
    EXPECT_EQ(surface->At(700, 500), 0x0A141Eu);
    EXPECT_EQ(surface->At(1023, 767), 0x0A141Eu);
}

TEST_F(ShowWindowMessages, SplashPictureIsCentredInTheClientArea) {
    StartShowWith(ShowSpec::Slides(2));
    ASSERT_TRUE(RunFor(0));
    // The flag alone, on the full-screen window: the picture goes to the
    // centre and the rest stays at the background colour.
    SplashShowing = 1;
    InvalidateRect(g_ShowWindow, nullptr, TRUE);
    UpdateWindow(g_ShowWindow);

    const ws::Pixels* splash = ws::BitmapPixels(g_SplashBitmap);
    const ws::Pixels* surface = ws::Surface(g_ShowWindow);
    ASSERT_NE(splash, nullptr);
    ASSERT_NE(surface, nullptr);
    const int left = (1024 - 420) / 2;
    const int top = (768 - 154) / 2;
    for (int y = 0; y < 154; y += 17) {
        for (int x = 0; x < 420; x += 13) {
            ASSERT_EQ(surface->At(left + x, top + y), splash->At(x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(surface->At(left + 419, top + 153), splash->At(419, 153));
    EXPECT_EQ(surface->At(left - 1, top), 0u);
    EXPECT_EQ(surface->At(left + 420, top + 153), 0u);
    EXPECT_EQ(surface->At(left, top + 154), 0u);
    SplashShowing = 0;
}

TEST_F(ShowWindowMessages, SplashOnAScreenSmallerThanThePictureIsPlacedByTruncation) {
    edge().SetScreenSize(301, 101);
    StartShowWith(ShowSpec::Slides(1).Splash());
    NextSlide(false);

    RECT window{};
    GetWindowRect(g_ShowWindow, &window);
    EXPECT_EQ(window.left, (301 - 420) / 2) << "-59, truncated toward zero";
    EXPECT_EQ(window.top, (101 - 154) / 2) << "-26, truncated toward zero";
    EXPECT_EQ(window.left, -59);
    EXPECT_EQ(window.top, -26);
}

}  // namespace
}  // namespace tarn::test
