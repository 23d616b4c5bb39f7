// The roads of a show through the controller, on virtual time: timed advance,
// the wait for a slide's sound, the end of the show with and without the
// closing splash, odd slide counts, pause and resume.
#include <gtest/gtest.h>

#include <vector>

#include "controller/controller.h"
#include "controller/show_fixture.h"
#include "media/media_player.h"
#include "show/show_record.h"
#include "ui/control_bar.h"
#include "ui/show_window.h"

namespace tarn::test {
namespace {

using Roads = ShowFixture;

std::vector<int64_t> Times(std::initializer_list<int64_t> values) {
    return std::vector<int64_t>(values);
}

TEST_F(Roads, TimedShowOfEightSlidesChangesEverySixSecondsAndClosesAt48) {
    ShowSpec spec = ShowSpec::Slides(8).Timed(6000, /*waitForSound=*/true);
    StartShowWith(spec);
    ASSERT_EQ(g_Show.AdvanceMethod, 6);

    EXPECT_TRUE(edge().RunUntilQuit(60000));

    EXPECT_EQ(media().TimesOf("render slide0.png"), Times({0}));
    for (int k = 1; k < 8; ++k) {
        EXPECT_EQ(media().TimesOf("render slide" + std::to_string(k) + ".png"), Times({6000 * k}))
            << "slide " << k;
    }
    EXPECT_EQ(media().TimesOf("show destroyed"), Times({48000}));
    EXPECT_EQ(Slide(), 8) << "the show ends with CurrentSlide past the last slide";
    int exitCode = -1;
    EXPECT_TRUE(ws::QuitPosted(&exitCode));
    EXPECT_EQ(exitCode, 0);
}

TEST_F(Roads, TimedAdvanceKeepsItsScheduleWhenSlidesTakeTimeToRender) {
    // Every slide takes 350 ms of (virtual) time to render. The slides must
    // still change on the 6-second grid, not 350 ms later each time.
    media().SetRenderCost(350);
    StartShowWith(ShowSpec::Slides(8).Timed(6000, true));

    EXPECT_TRUE(edge().RunUntilQuit(60000));

    for (int k = 1; k < 8; ++k) {
        EXPECT_EQ(media().TimesOf("render slide" + std::to_string(k) + ".png"), Times({350 + 6000 * k}))
            << "slide " << k << " (the first slide's render pushes the start by 350 ms)";
    }
    EXPECT_EQ(media().TimesOf("show destroyed"), Times({350 + 48000}));
}

TEST_F(Roads, WaitForSoundRefusesExpiriesUntilTheSlideSoundHasEnded) {
    ShowSpec spec = ShowSpec::Slides(3).Timed(6000, true);
    spec.slides[0].sound = "long.wav";
    spec.slides[0].soundMs = 14000;
    StartShowWith(spec);
    ASSERT_TRUE(media().SoundRunning("long.wav"));

    ASSERT_TRUE(RunFor(6000));
    EXPECT_EQ(Slide(), 0) << "expiry at 6 s refused";
    ASSERT_TRUE(RunFor(6000));
    EXPECT_EQ(Slide(), 0) << "expiry at 12 s refused";
    ASSERT_TRUE(RunFor(2001));
    EXPECT_FALSE(media().SoundRunning("long.wav")) << "the sound has ended at 14 s";
    EXPECT_EQ(Slide(), 0) << "the end of the sound does not change the slide by itself";
    ASSERT_TRUE(RunFor(3999));
    EXPECT_EQ(Slide(), 1);
    EXPECT_EQ(media().TimesOf("render slide1.png"), Times({18000}));
    ASSERT_TRUE(RunFor(6000));
    EXPECT_EQ(Slide(), 2) << "slide 1 has no sound and changes one delay later";
}

TEST_F(Roads, WithoutTheWaitBitTheSoundDoesNotHoldTheSlide) {
    ShowSpec spec = ShowSpec::Slides(3).Timed(6000, /*waitForSound=*/false);
    spec.slides[0].sound = "long.wav";
    spec.slides[0].soundMs = 14000;
    StartShowWith(spec);

    ASSERT_TRUE(RunFor(6000));
    EXPECT_EQ(Slide(), 1);
    EXPECT_FALSE(media().SoundRunning("long.wav"));
}

TEST_F(Roads, NextSlideDuringTheWaitChangesAtOnceAndStopsTheOldSound) {
    ShowSpec spec = ShowSpec::Slides(3).Timed(6000, true);
    spec.slides[0].sound = "long.wav";
    spec.slides[0].soundMs = 14000;
    spec.slides[1].sound = "next.wav";
    spec.slides[1].soundMs = 1000;
    StartShowWith(spec);
    ASSERT_TRUE(RunFor(7000));
    ASSERT_EQ(Slide(), 0);
    ASSERT_EQ(GetFocus(), g_ShowWindow) << "the bar has hidden and given the focus back";

    ASSERT_EQ(edge().KeyPress(VK_RIGHT), g_ShowWindow);
    ASSERT_TRUE(RunFor(0));

    EXPECT_EQ(Slide(), 1);
    EXPECT_EQ(media().TimesOf("render slide1.png"), Times({7000}));
    EXPECT_EQ(media().TimesOf("stop long.wav"), Times({7000}));
    EXPECT_FALSE(media().SoundRunning("long.wav"));
    EXPECT_TRUE(media().SoundRunning("next.wav"));
    // The manual step restarted the advance timer from now.
    ASSERT_TRUE(ShowTimer(TIMER_ADVANCE).has_value());
    EXPECT_EQ(ShowTimer(TIMER_ADVANCE)->deadlineMicros, 13000 * 1000);
}

TEST_F(Roads, LastSlideWithSplashShrinksTheWindowStopsSoundsAndClosesFiveSecondsLater) {
    ShowSpec spec = ShowSpec::Slides(2).Splash();
    spec.backgroundSound = "tune.wav";
    spec.slides[1].sound = "last.wav";
    StartShowWith(spec);
    NextSlide(false);
    ASSERT_TRUE(RunFor(1000));
    ASSERT_TRUE(media().SoundRunning("tune.wav"));
    ASSERT_TRUE(media().SoundRunning("last.wav"));
    ShowControlBar();
    ASSERT_TRUE(BarShown());

    NextSlide(false);

    EXPECT_EQ(SplashShowing, 1);
    EXPECT_TRUE(ShowOpen());
    RECT window{};
    GetWindowRect(g_ShowWindow, &window);
    EXPECT_EQ(window.left, (1024 - 420) / 2);
    EXPECT_EQ(window.top, (768 - 154) / 2);
    EXPECT_EQ(window.right - window.left, 420);
    EXPECT_EQ(window.bottom - window.top, 154);
    EXPECT_FALSE(media().SoundRunning("tune.wav"));
    EXPECT_FALSE(media().SoundRunning("last.wav"));
    EXPECT_FALSE(TheMediaPlayer().HoldsDisplayGraph()) << "the slide is torn down";
    EXPECT_FALSE(BarShown());
    EXPECT_FALSE(ShowTimer(TIMER_BAR_CHECK).has_value());
    ASSERT_TRUE(ShowTimer(TIMER_SPLASH).has_value());
    EXPECT_EQ(ShowTimer(TIMER_SPLASH)->periodMs, 5000u);

    // The splash picture fills the shrunken window.
    const ws::Pixels* splash = ws::BitmapPixels(g_SplashBitmap);
    const ws::Pixels* surface = ws::Surface(g_ShowWindow);
    ASSERT_NE(splash, nullptr);
    ASSERT_NE(surface, nullptr);
    ASSERT_EQ(surface->width, 420);
    ASSERT_EQ(surface->height, 154);
    EXPECT_EQ(surface->data, splash->data);

    const int64_t splashStart = NowMs();
    ASSERT_TRUE(RunFor(4999));
    EXPECT_TRUE(ShowOpen());
    EXPECT_FALSE(RunFor(1));
    EXPECT_FALSE(ShowOpen());
    EXPECT_EQ(media().TimesOf("show destroyed"), Times({splashStart + 5000}));
}

TEST_F(Roads, LastSlideWithoutSplashClosesAtOnce) {
    StartShowWith(ShowSpec::Slides(2));
    NextSlide(false);
    ASSERT_TRUE(ShowOpen());

    NextSlide(false);

    EXPECT_FALSE(ShowOpen());
    EXPECT_EQ(SplashShowing, 0);
    int exitCode = -1;
    EXPECT_TRUE(ws::QuitPosted(&exitCode));
}

TEST_F(Roads, LastSlideIsNotHeldBackByItsSound) {
    ShowSpec spec = ShowSpec::Slides(1).Timed(6000, true);
    spec.slides[0].sound = "long.wav";
    spec.slides[0].soundMs = 14000;
    StartShowWith(spec);

    EXPECT_TRUE(edge().RunUntilQuit(20000));
    EXPECT_EQ(media().TimesOf("show destroyed"), Times({6000}));
}

class OddCounts : public ShowFixture, public ::testing::WithParamInterface<int32_t> {};

TEST_P(OddCounts, FirstSlideIsShownAndAnyNextSlideEndsTheShow) {
    ShowSpec spec = ShowSpec::Slides(1);
    spec.slides[0].sound = "first.wav";
    spec.count = GetParam();
    StartShowWith(spec);
    EXPECT_EQ(media().TimesOf("render slide0.png"), Times({0}));
    EXPECT_EQ(media().TimesOf("render first.wav"), Times({0}));

    NextSlide(false);
    EXPECT_FALSE(ShowOpen());
}

TEST_P(OddCounts, TimedExpiryEndsTheShowToo) {
    ShowSpec spec = ShowSpec::Slides(1).Timed(3000, true);
    spec.count = GetParam();
    StartShowWith(spec);
    EXPECT_TRUE(edge().RunUntilQuit(10000));
    EXPECT_EQ(media().TimesOf("show destroyed"), Times({3000}));
}

TEST_P(OddCounts, PreviousSlideOnlyRestartsTheMouseQuietPeriod) {
    ShowSpec spec = ShowSpec::Slides(1);
    spec.count = GetParam();
    StartShowWith(spec);
    ASSERT_TRUE(RunFor(1500));
    ASSERT_EQ(MouseQuiet, 0);
    media().Mark();

    PreviousSlide();

    EXPECT_EQ(MouseQuiet, 1);
    ASSERT_TRUE(ShowTimer(TIMER_MOUSE_QUIET).has_value());
    EXPECT_EQ(ShowTimer(TIMER_MOUSE_QUIET)->deadlineMicros, (1500 + 1000) * 1000);
    EXPECT_EQ(Slide(), 0);
    ASSERT_TRUE(RunFor(0));
    EXPECT_TRUE(media().TakeSinceMark().empty()) << "no media call and no bar repaint";
}

INSTANTIATE_TEST_SUITE_P(ZeroOneNegative, OddCounts, ::testing::Values(0, 1, -3));

TEST_F(Roads, PreviousSlideOnSlideZeroDoesNothingButTheQuietPeriod) {
    StartShowWith(ShowSpec::Slides(3).Timed(6000));
    ASSERT_TRUE(RunFor(2500));
    const int64_t advanceDeadline = ShowTimer(TIMER_ADVANCE)->deadlineMicros;
    media().Mark();

    PreviousSlide();
    ASSERT_TRUE(RunFor(0));

    EXPECT_EQ(Slide(), 0);
    EXPECT_EQ(MouseQuiet, 1);
    EXPECT_EQ(ShowTimer(TIMER_ADVANCE)->deadlineMicros, advanceDeadline);
    EXPECT_TRUE(media().TakeSinceMark().empty());
}

TEST_F(Roads, PreviousSlideStepsBackAndRestartsTheAdvanceTimer) {
    StartShowWith(ShowSpec::Slides(3).Timed(6000));
    ASSERT_TRUE(RunFor(6000));
    ASSERT_EQ(Slide(), 1);
    ASSERT_TRUE(RunFor(2000));

    PreviousSlide();

    EXPECT_EQ(Slide(), 0);
    EXPECT_EQ(media().TimesOf("render slide0.png"), Times({0, 8000}));
    EXPECT_EQ(ShowTimer(TIMER_ADVANCE)->deadlineMicros, 14000 * 1000);
}

TEST_F(Roads, NextSlideWhilePausedShowsTheSlideAndKeepsPaused) {
    ShowSpec spec = ShowSpec::Slides(3).Timed(6000);
    spec.slides[1].sound = "one.wav";
    StartShowWith(spec);
    TogglePause();
    ASSERT_EQ(Paused, 1);
    ASSERT_FALSE(ShowTimer(TIMER_ADVANCE).has_value());

    NextSlide(false);

    EXPECT_EQ(Slide(), 1);
    EXPECT_EQ(Paused, 1);
    EXPECT_TRUE(media().SoundRunning("one.wav"));
    EXPECT_TRUE(ShowTimer(TIMER_ADVANCE).has_value()) << "a timed show keeps advancing";

    TogglePause();
    EXPECT_EQ(Paused, 0) << "the next toggle takes the resume path";
}

TEST_F(Roads, PauseStopsTheAdvanceAndResumeRestartsItWithAFullDelay) {
    ShowSpec spec = ShowSpec::Slides(3).Timed(6000);
    spec.slides[0].sound = "zero.wav";
    StartShowWith(spec);
    ASSERT_TRUE(RunFor(4000));

    TogglePause();
    EXPECT_FALSE(media().SoundRunning("zero.wav"));
    ASSERT_TRUE(RunFor(10000));
    EXPECT_EQ(Slide(), 0) << "nothing advances while paused";

    TogglePause();
    EXPECT_TRUE(media().SoundRunning("zero.wav"));
    ASSERT_TRUE(RunFor(5999));
    EXPECT_EQ(Slide(), 0);
    ASSERT_TRUE(RunFor(1));
    EXPECT_EQ(Slide(), 1);
}

TEST_F(Roads, PauseAndResumeInAManualShowStaysManual) {
    ShowSpec spec = ShowSpec::Slides(3);
    spec.delayMs = 6000;  // a delay, but ADVANCE_TIMED is clear
    StartShowWith(spec);

    TogglePause();
    TogglePause();

    EXPECT_EQ(Paused, 0);
    EXPECT_FALSE(ShowTimer(TIMER_ADVANCE).has_value());
    ASSERT_TRUE(RunFor(30000));
    EXPECT_EQ(Slide(), 0);
}

TEST_F(Roads, ResumeInATimedShowWithoutDelayArmsNothing) {
    StartShowWith(ShowSpec::Slides(3).Timed(0));
    EXPECT_FALSE(ShowTimer(TIMER_ADVANCE).has_value());

    TogglePause();
    TogglePause();
    NextSlide(false);

    EXPECT_FALSE(ShowTimer(TIMER_ADVANCE).has_value());
    ASSERT_TRUE(RunFor(30000));
    EXPECT_EQ(Slide(), 1);
}

TEST_F(Roads, ResumeDuringTheSplashLetsTheAdvanceTimerCutItShort) {
    StartShowWith(ShowSpec::Slides(1).Timed(3000).Splash());
    ASSERT_TRUE(RunFor(3000));
    ASSERT_EQ(SplashShowing, 1);
    ASSERT_FALSE(ShowTimer(TIMER_ADVANCE).has_value());
    ASSERT_TRUE(RunFor(500));

    TogglePause();  // pause at 3.5 s
    ASSERT_TRUE(RunFor(500));
    TogglePause();  // resume at 4 s: the advance timer runs again

    EXPECT_TRUE(edge().RunUntilQuit(10000));
    EXPECT_EQ(media().TimesOf("show destroyed"), Times({7000})) << "before the splash's own 8 s";
}

TEST_F(Roads, PreviousSlideDuringTheSplashDoesNothing) {
    StartShowWith(ShowSpec::Slides(2).Splash());
    NextSlide(false);
    NextSlide(false);
    ASSERT_EQ(SplashShowing, 1);
    ASSERT_TRUE(RunFor(1500));
    media().Mark();

    PreviousSlide();

    EXPECT_EQ(Slide(), 2);
    EXPECT_EQ(MouseQuiet, 0) << "not even the quiet period restarts";
    EXPECT_TRUE(media().TakeSinceMark().empty());
    EXPECT_TRUE(ShowOpen());
}

TEST_F(Roads, AnyNextSlideDuringTheSplashCloses) {
    StartShowWith(ShowSpec::Slides(1).Splash());
    NextSlide(false);
    ASSERT_EQ(SplashShowing, 1);

    NextSlide(false);

    EXPECT_FALSE(ShowOpen());
    EXPECT_EQ(SplashShowingAtClose(), 1);
}

}  // namespace
}  // namespace tarn::test
