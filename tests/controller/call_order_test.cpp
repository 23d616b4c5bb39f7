// The order in which the controller asks the media and the control bar for
// things, read from the recording graphs and the recording edge.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller/controller.h"
#include "controller/show_fixture.h"
#include "show/show_record.h"
#include "ui/control_bar.h"
#include "ui/show_window.h"

namespace tarn::test {
namespace {

using Strings = std::vector<std::string>;

// The entries that tell what was asked: files rendered, run, paused and
// stopped, slide pictures released, the bar shown, hidden or painted, the
// show window resized or painted. Graph creations, cues and the releases of
// sound graphs are the media's own business and are left out.
Strings Asked(const Strings& entries) {
    Strings kept;
    for (const std::string& e : entries) {
        const bool picture = e.size() > 4 && e.compare(e.size() - 4, 4, ".png") == 0;
        if (e.rfind("render ", 0) == 0 || e.rfind("run ", 0) == 0 || e.rfind("pause ", 0) == 0 ||
            e.rfind("stop ", 0) == 0 || e.rfind("bar ", 0) == 0 || e.rfind("show ", 0) == 0 ||
            (e.rfind("release ", 0) == 0 && picture)) {
            kept.push_back(e);
        }
    }
    return kept;
}

class CallOrder : public ShowFixture {
protected:
    void StartTheShow(int slides = 3) {
        ShowSpec spec = ShowSpec::Slides(slides).Splash();
        spec.backgroundSound = "tune.wav";
        for (int i = 0; i < slides; ++i) spec.slides[i].sound = "s" + std::to_string(i) + ".wav";
        PrepareShow(spec);
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(RunFor(0));
        media().Mark();
        StartShow();
    }
};

TEST_F(CallOrder, StartShowShowsTheBarThenStartsTheSoundsThenTheFirstSlide) {
    StartTheShow();
    EXPECT_EQ(Asked(media().TakeSinceMark()), (Strings{
        "bar shown",
        "render tune.wav", "run tune.wav",
        "render s0.wav", "run s0.wav",
        "render slide0.png", "run slide0.png",
    }));
    ASSERT_TRUE(ShowTimer(TIMER_BAR_CHECK).has_value());
    EXPECT_EQ(ShowTimer(TIMER_BAR_CHECK)->periodMs, 1995u);
    ASSERT_TRUE(ShowTimer(TIMER_MOUSE_QUIET).has_value());
    EXPECT_EQ(ShowTimer(TIMER_MOUSE_QUIET)->periodMs, 1000u);
}

TEST_F(CallOrder, NextSlideReplacesTheSoundThenThePictureThenRepaintsTheBar) {
    StartTheShow();
    ASSERT_TRUE(RunFor(10));
    media().Mark();

    NextSlide(false);

    EXPECT_EQ(Asked(media().TakeSinceMark()), (Strings{
        "stop s0.wav",
        "render s1.wav", "run s1.wav",
        "release slide0.png",
        "render slide1.png", "run slide1.png",
        "bar painted",
    }));
}

TEST_F(CallOrder, PreviousSlideDoesTheSameBackwards) {
    StartTheShow();
    NextSlide(false);
    ASSERT_TRUE(RunFor(10));
    media().Mark();

    PreviousSlide();

    EXPECT_EQ(Asked(media().TakeSinceMark()), (Strings{
        "stop s1.wav",
        "render s0.wav", "run s0.wav",
        "release slide1.png",
        "render slide0.png", "run slide0.png",
        "bar painted",
    }));
}

TEST_F(CallOrder, PauseAndResumeTouchTheSlideSoundFirstAndNotThePicture) {
    StartTheShow();
    ASSERT_TRUE(RunFor(10));
    media().Mark();

    TogglePause();
    EXPECT_EQ(Asked(media().TakeSinceMark()), (Strings{"pause s0.wav", "pause tune.wav"}));

    TogglePause();
    EXPECT_EQ(Asked(media().TakeSinceMark()), (Strings{"run s0.wav", "run tune.wav"}));
}

TEST_F(CallOrder, ClosingSplashShrinksHidesTheBarStopsSoundsTearsDownAndPaints) {
    StartTheShow(1);
    ASSERT_TRUE(RunFor(10));
    ASSERT_TRUE(BarShown());
    media().Mark();

    NextSlide(false);

    EXPECT_EQ(Asked(media().TakeSinceMark()), (Strings{
        "show 420x154",
        "bar hidden",
        "stop s0.wav", "stop tune.wav",
        "release slide0.png",
        "show painted",
    })) << "the bar, hidden now, is not painted";
}

TEST_F(CallOrder, CloseReleasesTheDisplayBeforeTheWindowsGoBarFirst) {
    StartTheShow();
    ASSERT_TRUE(RunFor(10));
    media().Mark();

    SendMessageA(g_ShowWindow, WM_CLOSE, 0, 0);

    const Strings asked = Asked(media().TakeSinceMark());
    const Strings expected{"release slide0.png", "bar destroyed", "show destroyed"};
    Strings relevant;
    for (const std::string& e : asked) {
        if (e == "release slide0.png" || e == "bar destroyed" || e == "show destroyed") relevant.push_back(e);
    }
    EXPECT_EQ(relevant, expected);
    for (const std::string& e : asked) {
        EXPECT_NE(e.rfind("stop ", 0), 0u) << "the sounds are not stopped at close: " << e;
    }
}

}  // namespace
}  // namespace tarn::test
