// Timed shows with a time of their own for some slides (Delay keys) and
// cross-fades (TransitionMilliseconds), on virtual time: every slide's time
// counts from the deadline that ended the previous one, whatever rendering
// or fading costs, and the wait for a slide's sound uses the slide's time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller/controller.h"
#include "controller/show_fixture.h"
#include "show/show_record.h"
#include "ui/show_window.h"

namespace tarn::test {
namespace {

using SlideTimes = ShowFixture;

std::vector<int64_t> RenderTimes(MediaRecorder& media, int slides) {
    std::vector<int64_t> times;
    for (int k = 0; k < slides; ++k) {
        const auto at = media.TimesOf("render slide" + std::to_string(k) + ".png");
        times.push_back(at.size() == 1 ? at[0] : -1);
    }
    return times;
}

TEST_F(SlideTimes, OwnDelaysReplaceTheShowsDelayAndDeadlinesAddUpWithoutDrift) {
    // Slides 0 and 3 have times of their own; the others keep the show's
    // 2000 ms. Each render takes 150 ms of virtual time, which must not push
    // any later change.
    media().SetRenderCost(150);
    ShowSpec spec = ShowSpec::Slides(5).Timed(2000);
    spec.slides[0].delay = "5000";
    spec.slides[3].delay = "700";
    spec.slides[2].delay = "-40";   // not a time: the show's delay
    spec.slides[4].delay = "soon";  // not a number: the show's delay
    spec.transition = "1000";
    StartShowWith(spec);

    EXPECT_TRUE(edge().RunUntilQuit(30000));

    // Starts: 150 (first render) + 5000, + 2000, + 2000, + 700; closes 2000 later.
    EXPECT_EQ(RenderTimes(media(), 5), (std::vector<int64_t>{0, 5150, 7150, 9150, 9850}));
    EXPECT_EQ(media().TimesOf("show destroyed"), (std::vector<int64_t>{11850}));
}

TEST_F(SlideTimes, TwentySlidesWithOneSecondFadesEndOnTheirDeadline) {
    media().SetRenderCost(40);
    ShowSpec spec = ShowSpec::Slides(20).Timed(1000);
    spec.transition = "1000";
    StartShowWith(spec);

    EXPECT_TRUE(edge().RunUntilQuit(60000));

    const std::vector<int64_t> times = RenderTimes(media(), 20);
    for (int k = 1; k < 20; ++k) EXPECT_EQ(times[k], 40 + 1000 * k) << "slide " << k;
    EXPECT_EQ(media().TimesOf("show destroyed"), (std::vector<int64_t>{40 + 20000}));
}

TEST_F(SlideTimes, WaitForSoundAsksAgainAfterTheSlidesOwnTime) {
    ShowSpec spec = ShowSpec::Slides(3).Timed(6000, /*waitForSound=*/true);
    spec.slides[0].delay = "2500";
    spec.slides[0].sound = "long.wav";
    spec.slides[0].soundMs = 6000;
    spec.slides[1].delay = "1000";
    StartShowWith(spec);

    ASSERT_TRUE(RunFor(2500));
    EXPECT_EQ(Slide(), 0) << "refused at 2.5 s";
    ASSERT_TRUE(RunFor(2500));
    EXPECT_EQ(Slide(), 0) << "refused at 5 s";
    ASSERT_TRUE(RunFor(2500));
    EXPECT_EQ(Slide(), 1) << "the sound ended at 6 s; the expiry at 7.5 s steps";
    EXPECT_EQ(media().TimesOf("render slide1.png"), (std::vector<int64_t>{7500}));
    ASSERT_TRUE(RunFor(1000));
    EXPECT_EQ(Slide(), 2) << "slide 1's own second";
    EXPECT_EQ(media().TimesOf("render slide2.png"), (std::vector<int64_t>{8500}));
}

TEST_F(SlideTimes, KeysRestartTheNewSlidesOwnTimeFromNow) {
    ShowSpec spec = ShowSpec::Slides(3).Timed(4000);
    spec.slides[1].delay = "9000";
    spec.transition = "500";
    StartShowWith(spec);
    ASSERT_TRUE(RunFor(2500));
    ASSERT_EQ(GetFocus(), g_ShowWindow) << "the bar has hidden and given the focus back";

    edge().KeyPress(VK_RIGHT);
    ASSERT_TRUE(RunFor(0));
    ASSERT_EQ(Slide(), 1);
    ASSERT_TRUE(ShowTimer(TIMER_ADVANCE).has_value());
    EXPECT_EQ(ShowTimer(TIMER_ADVANCE)->deadlineMicros, (2500 + 9000) * 1000);

    edge().KeyPress(VK_LEFT);
    ASSERT_TRUE(RunFor(0));
    ASSERT_EQ(Slide(), 0);
    EXPECT_EQ(ShowTimer(TIMER_ADVANCE)->deadlineMicros, (2500 + 4000) * 1000);

    // Pause and resume: the slide's own time again, from the resume.
    edge().KeyPress(VK_RIGHT);
    ASSERT_TRUE(RunFor(300));
    edge().KeyPress(VK_SPACE);
    ASSERT_TRUE(RunFor(5000));
    EXPECT_EQ(Slide(), 1);
    edge().KeyPress(VK_SPACE);
    ASSERT_TRUE(RunFor(0));
    EXPECT_EQ(ShowTimer(TIMER_ADVANCE)->deadlineMicros, (7800 + 9000) * 1000);
}

TEST_F(SlideTimes, DelayKeysAloneDoNotMakeAShowTimed) {
    ShowSpec manual = ShowSpec::Slides(2);
    manual.slides[0].delay = "1000";
    StartShowWith(manual);
    ASSERT_TRUE(RunFor(5000));
    EXPECT_EQ(Slide(), 0);
    EXPECT_FALSE(ShowTimer(TIMER_ADVANCE).has_value());
}

TEST_F(SlideTimes, InATimedShowWithoutAShowDelayOnlySlidesWithTimesAdvance) {
    ShowSpec spec = ShowSpec::Slides(3).Timed(0);
    spec.slides[0].delay = "1500";
    StartShowWith(spec);
    ASSERT_TRUE(RunFor(1500));
    EXPECT_EQ(Slide(), 1);
    EXPECT_FALSE(ShowTimer(TIMER_ADVANCE).has_value()) << "slide 1 has no time: it waits for a key";
    ASSERT_TRUE(RunFor(10000));
    EXPECT_EQ(Slide(), 1);
}

TEST_F(SlideTimes, TheFadeTimeIsReadWithinItsBounds) {
    const struct {
        const char* text;
        int32_t stored;
    } cases[] = {{"", 0}, {"750", 750}, {"-5", 0}, {"fast", 0}, {"999999", MAX_TRANSITION_MS}};
    for (const auto& c : cases) {
        ShowSpec spec = ShowSpec::Slides(1);
        spec.transition = c.text;
        WriteShow(spec);
        EXPECT_EQ(g_Show.TransitionMilliseconds, c.stored) << "'" << c.text << "'";
    }
}

}  // namespace
}  // namespace tarn::test
