// Keys, mouse buttons and mouse movement arriving at the show window.
#include <gtest/gtest.h>

#include <algorithm>

#include "controller/controller.h"
#include "controller/show_fixture.h"
#include "show/show_record.h"
#include "ui/control_bar.h"
#include "ui/show_window.h"

namespace tarn::test {
namespace {

using ws::MouseButton;

class ShowWindowInput : public ShowFixture {
protected:
    // A manual show of five slides, on slide 2, with the quiet period over,
    // the bar hidden and the keyboard focus on the show window.
    void StartOnSlideTwo() {
        StartShowWith(ShowSpec::Slides(5));
        ASSERT_FALSE(HasFatalFailure());
        NextSlide(false);
        NextSlide(false);
        edge().SetCursor(500, 500);
        ASSERT_TRUE(RunFor(2000));
        ASSERT_EQ(Slide(), 2);
        ASSERT_FALSE(BarShown());
        ASSERT_EQ(MouseQuiet, 0);
        ASSERT_EQ(GetFocus(), g_ShowWindow);
        media().Mark();
    }

    // The splash of a one-slide show, the quiet period over.
    void StartSplash() {
        StartShowWith(ShowSpec::Slides(1).Splash());
        ASSERT_FALSE(HasFatalFailure());
        NextSlide(false);
        ASSERT_EQ(SplashShowing, 1);
        ASSERT_TRUE(RunFor(1500));
        ASSERT_EQ(MouseQuiet, 0);
        ASSERT_FALSE(BarShown());
    }

    static constexpr int kCentreX = 512;
    static constexpr int kCentreY = 384;
};

// ---- Keys ----------------------------------------------------------------------

enum class Effect { Close, Pause, Back, Forward };

struct KeyCase {
    UINT key;
    Effect effect;
};

class KeyTable : public ShowWindowInput, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyTable, KeyDoesItsOneThing) {
    StartOnSlideTwo();
    ASSERT_EQ(edge().KeyPress(GetParam().key), g_ShowWindow);
    const bool running = RunFor(0);

    switch (GetParam().effect) {
    case Effect::Close:
        EXPECT_FALSE(running);
        EXPECT_FALSE(ShowOpen());
        break;
    case Effect::Pause:
        EXPECT_TRUE(running);
        EXPECT_EQ(Paused, 1);
        EXPECT_EQ(Slide(), 2);
        break;
    case Effect::Back:
        EXPECT_TRUE(running);
        EXPECT_EQ(Slide(), 1);
        EXPECT_EQ(Paused, 0);
        break;
    case Effect::Forward:
        EXPECT_TRUE(running);
        EXPECT_EQ(Slide(), 3);
        EXPECT_EQ(Paused, 0);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(NineKeys, KeyTable,
                         ::testing::Values(KeyCase{VK_ESCAPE, Effect::Close}, KeyCase{VK_SPACE, Effect::Pause},
                                           KeyCase{VK_PRIOR, Effect::Back}, KeyCase{VK_LEFT, Effect::Back},
                                           KeyCase{VK_UP, Effect::Back}, KeyCase{VK_NEXT, Effect::Forward},
                                           KeyCase{VK_RIGHT, Effect::Forward},
                                           KeyCase{VK_DOWN, Effect::Forward}));

TEST_F(ShowWindowInput, EveryOtherKeyDoesNothing) {
    StartOnSlideTwo();
    const UINT tableKeys[] = {VK_ESCAPE, VK_SPACE, VK_PRIOR, VK_NEXT, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN};
    for (UINT key = 1; key < 256; ++key) {
        if (std::find(std::begin(tableKeys), std::end(tableKeys), key) != std::end(tableKeys)) continue;
        ASSERT_EQ(edge().KeyPress(key), g_ShowWindow);
        ASSERT_TRUE(RunFor(0)) << "key " << key;
        ASSERT_EQ(Slide(), 2) << "key " << key;
        ASSERT_EQ(Paused, 0) << "key " << key;
    }
    EXPECT_TRUE(media().TakeSinceMark().empty());
    EXPECT_EQ(SendMessageA(g_ShowWindow, WM_KEYDOWN, VK_HOME, 0), 0);
}

TEST_F(ShowWindowInput, HeldKeyRepeatsRunTheShowToItsEnd) {
    StartOnSlideTwo();
    for (int i = 0; i < 3; ++i) edge().KeyDown(VK_NEXT);  // auto-repeat: downs without ups
    EXPECT_FALSE(RunFor(0));
    EXPECT_EQ(Slide(), 5);
}

TEST_F(ShowWindowInput, KeysWhileTheBarHasTheFocusAreLost) {
    StartShowWith(ShowSpec::Slides(5));
    ASSERT_TRUE(BarShown());
    ASSERT_EQ(GetFocus(), g_ControlBarWindow) << "showing the bar activates it";

    ASSERT_EQ(edge().KeyPress(VK_RIGHT), g_ControlBarWindow);
    ASSERT_TRUE(RunFor(0));
    EXPECT_EQ(Slide(), 0);

    edge().SetCursor(0, 700);
    ASSERT_TRUE(RunFor(1995));
    ASSERT_FALSE(BarShown());
    EXPECT_EQ(GetFocus(), g_ShowWindow) << "hiding the bar gives the focus back";
    ASSERT_EQ(edge().KeyPress(VK_RIGHT), g_ShowWindow);
    ASSERT_TRUE(RunFor(0));
    EXPECT_EQ(Slide(), 1);
}

// ---- Buttons -------------------------------------------------------------------

TEST_F(ShowWindowInput, DoubleClickIsTwoSlidesForward) {
    StartOnSlideTwo();
    ASSERT_EQ(edge().Click(MouseButton::Left, 100, 600), g_ShowWindow);
    ASSERT_EQ(edge().Click(MouseButton::Left, 100, 600), g_ShowWindow);
    ASSERT_TRUE(RunFor(0));
    EXPECT_EQ(Slide(), 4);
}

TEST_F(ShowWindowInput, RightAndMiddleButtonsGoForward) {
    StartOnSlideTwo();
    edge().Click(MouseButton::Right, 100, 600);
    ASSERT_TRUE(RunFor(0));
    EXPECT_EQ(Slide(), 3);
    edge().Click(MouseButton::Middle, 100, 600);
    ASSERT_TRUE(RunFor(0));
    EXPECT_EQ(Slide(), 4);
}

TEST_F(ShowWindowInput, LeftClickDuringTheSplashClosesAtOnce) {
    StartSplash();
    ASSERT_EQ(edge().Click(MouseButton::Left, kCentreX, kCentreY), g_ShowWindow);
    EXPECT_FALSE(RunFor(0));
    EXPECT_FALSE(ShowOpen());
    EXPECT_EQ(SplashShowingAtClose(), 1) << "closed by the click, not by the splash timer";
}

class SplashClick : public ShowWindowInput, public ::testing::WithParamInterface<MouseButton> {};

TEST_P(SplashClick, RightAndMiddleClicksDuringTheSplashCloseThroughNextSlide) {
    StartSplash();
    const int32_t before = Slide();
    ASSERT_EQ(edge().Click(GetParam(), kCentreX, kCentreY), g_ShowWindow);
    EXPECT_FALSE(RunFor(0));
    EXPECT_FALSE(ShowOpen());
    EXPECT_EQ(Slide(), before + 1) << "NextSlide stepped once more";
}

INSTANTIATE_TEST_SUITE_P(RightAndMiddle, SplashClick, ::testing::Values(MouseButton::Right, MouseButton::Middle));

TEST_F(ShowWindowInput, DuringTheSplashBackKeysDoNothingAndForwardKeysClose) {
    StartSplash();
    ASSERT_EQ(GetFocus(), g_ShowWindow);
    for (UINT key : {VK_PRIOR, VK_LEFT, VK_UP}) {
        edge().KeyPress(key);
        ASSERT_TRUE(RunFor(0));
        EXPECT_TRUE(ShowOpen()) << "key " << key;
    }
    edge().KeyPress(VK_DOWN);
    EXPECT_FALSE(RunFor(0));
    EXPECT_FALSE(ShowOpen());
}

// ---- Mouse movement -----------------------------------------------------------

TEST_F(ShowWindowInput, MovementOpensTheBarOnlyWhenBothCoordinatesChange) {
    StartOnSlideTwo();
    ASSERT_EQ(LastMousePosition.x, -1);
    ASSERT_EQ(LastMousePosition.y, -1);

    ASSERT_EQ(edge().MouseMove(300, 300), g_ShowWindow);
    ASSERT_TRUE(RunFor(0));
    EXPECT_TRUE(BarShown());
    EXPECT_EQ(LastMousePosition.x, 300);
    EXPECT_EQ(LastMousePosition.y, 300);

    ASSERT_TRUE(RunFor(1995));
    ASSERT_FALSE(BarShown()) << "the pointer is not on the bar";

    edge().MouseMove(400, 300);  // x only
    edge().MouseMove(300, 400);  // y only, relative to the remembered (300, 300)
    ASSERT_TRUE(RunFor(0));
    EXPECT_FALSE(BarShown());
    EXPECT_EQ(LastMousePosition.x, 300) << "a one-coordinate move is not remembered";
    EXPECT_EQ(LastMousePosition.y, 300);

    edge().MouseMove(400, 400);
    ASSERT_TRUE(RunFor(0));
    EXPECT_TRUE(BarShown());
}

TEST_F(ShowWindowInput, MovementDuringTheQuietPeriodIsRememberedButOpensNothing) {
    StartOnSlideTwo();
    NextSlide(false);  // a slide change starts a quiet period
    ASSERT_EQ(MouseQuiet, 1);

    edge().MouseMove(300, 300);
    ASSERT_TRUE(RunFor(0));
    EXPECT_FALSE(BarShown());
    EXPECT_EQ(LastMousePosition.x, 300);
    EXPECT_EQ(LastMousePosition.y, 300);

    ASSERT_TRUE(RunFor(1000));
    ASSERT_EQ(MouseQuiet, 0);
    EXPECT_FALSE(ShowTimer(TIMER_MOUSE_QUIET).has_value()) << "the quiet timer is one-shot";

    edge().MouseMove(300, 350);  // x unchanged relative to the remembered position
    ASSERT_TRUE(RunFor(0));
    EXPECT_FALSE(BarShown());

    edge().MouseMove(350, 350);
    ASSERT_TRUE(RunFor(0));
    EXPECT_TRUE(BarShown());
}

TEST_F(ShowWindowInput, MovementNeverOpensTheBarDuringTheSplash) {
    StartSplash();
    for (int i = 1; i <= 5; ++i) {
        ASSERT_EQ(edge().MouseMove(kCentreX + 10 * i, kCentreY + 7 * i), g_ShowWindow);
        ASSERT_TRUE(RunFor(0));
        EXPECT_FALSE(BarShown()) << "move " << i;
    }
    EXPECT_EQ(LastMousePosition.x, kCentreX + 50 - (1024 - 420) / 2) << "client coordinates of the splash window";
}

TEST_F(ShowWindowInput, MouseMoveCoordinatesAreSigned16Bit) {
    StartOnSlideTwo();
    // (-5, -7) as a window outside the screen would see it.
    SendMessageA(g_ShowWindow, WM_MOUSEMOVE, 0, MAKELPARAM(-5, -7));
    EXPECT_EQ(LastMousePosition.x, -5);
    EXPECT_EQ(LastMousePosition.y, -7);
    EXPECT_TRUE(BarShown());
}

}  // namespace
}  // namespace tarn::test
