// The floating control bar: where it goes, when it shows and hides, and what
// its clicks do.
#include <gtest/gtest.h>

#include <filesystem>

#include "controller/controller.h"
#include "controller/show_fixture.h"
#include "show/show_record.h"
#include "ui/control_bar.h"
#include "ui/show_window.h"

namespace tarn::test {
namespace {

using ws::MouseButton;

class ControlBar : public ShowFixture {
protected:
    // A manual show of five slides on slide 2, the bar shown.
    void StartOnSlideTwo() {
        StartShowWith(ShowSpec::Slides(5));
        ASSERT_FALSE(HasFatalFailure());
        NextSlide(false);
        NextSlide(false);
        ASSERT_TRUE(BarShown());
        media().Mark();
    }

    static POINT BarClientOrigin() {
        POINT origin{0, 0};
        ClientToScreen(g_ControlBarWindow, &origin);
        return origin;
    }

    static LRESULT ClickBarAt(int x, int y = 5) {
        return SendMessageA(g_ControlBarWindow, WM_LBUTTONDOWN, 1, MAKELPARAM(x, y));
    }
};

TEST_F(ControlBar, SitsTwentyPixelsFromTheTopRightWithA128By32ClientArea) {
    StartShowWith(ShowSpec::Slides(3));
    RECT window{};
    RECT client{};
    GetWindowRect(g_ControlBarWindow, &window);
    GetClientRect(g_ControlBarWindow, &client);
    EXPECT_EQ(client.right - client.left, 128);
    EXPECT_EQ(client.bottom - client.top, 32);
    EXPECT_EQ(window.top, 20);
    EXPECT_EQ(window.right, GetSystemMetrics(SM_CXMAXIMIZED) - 20);
    EXPECT_EQ(g_BarRect.x, GetSystemMetrics(SM_CXMAXIMIZED) - g_BarRect.width - 20);
}

TEST_F(ControlBar, IsCreatedHiddenAndOwnedByTheShowWindow) {
    PrepareShow(ShowSpec::Slides(3));
    EXPECT_FALSE(BarShown());
    EXPECT_EQ(ws::View(g_ControlBarWindow).owner, g_ShowWindow);
    EXPECT_TRUE(ws::View(g_ShowWindow).topmost);
    EXPECT_TRUE(IsWindowVisible(g_ShowWindow));
    RECT show{};
    GetWindowRect(g_ShowWindow, &show);
    EXPECT_EQ(show.right - show.left, 1024);
    EXPECT_EQ(show.bottom - show.top, 768);
}

TEST_F(ControlBar, AMediaFailureAtCreationFailsWithBothWindowsInPlace) {
    WriteShow(ShowSpec::Slides(3));
    media().creationFailure = E_FAIL;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterWindowClasses(instance);

    EXPECT_EQ(CreateShowWindows(instance, SW_SHOW), 0);

    EXPECT_TRUE(IsWindow(g_ShowWindow));
    EXPECT_TRUE(IsWindow(g_ControlBarWindow));
    EXPECT_FALSE(BarShown());
    EXPECT_NE(g_SplashBitmap, nullptr) << "the bar's creation loaded its bitmaps";
}

TEST_F(ControlBar, WithoutRegisteredClassesNoWindowIsCreated) {
    WriteShow(ShowSpec::Slides(3));
    EXPECT_EQ(CreateShowWindows(GetModuleHandleA(nullptr), SW_SHOW), 0);
    EXPECT_EQ(g_ShowWindow, nullptr);
}

// ---- Clicks by x / 32 -----------------------------------------------------------

enum class Action { Previous, Next, Pause, Close, Nothing };

struct ClickCase {
    int x;
    Action action;
};

class BarClick : public ControlBar, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(BarClick, ButtonIsChosenByXOver32) {
    StartOnSlideTwo();
    EXPECT_EQ(ClickBarAt(GetParam().x, 31), 0);
    switch (GetParam().action) {
    case Action::Previous:
        EXPECT_EQ(Slide(), 1);
        break;
    case Action::Next:
        EXPECT_EQ(Slide(), 3);
        break;
    case Action::Pause:
        EXPECT_EQ(Paused, 1);
        EXPECT_EQ(Slide(), 2);
        EXPECT_EQ(media().TakeSinceMark(), (std::vector<std::string>{"bar painted"}))
            << "the bar repainted at once";
        break;
    case Action::Close:
        EXPECT_FALSE(ShowOpen());
        break;
    case Action::Nothing:
        EXPECT_EQ(Slide(), 2);
        EXPECT_EQ(Paused, 0);
        EXPECT_TRUE(ShowOpen());
        EXPECT_TRUE(media().TakeSinceMark().empty());
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Boundaries, BarClick,
                         ::testing::Values(ClickCase{0, Action::Previous}, ClickCase{31, Action::Previous},
                                           ClickCase{32, Action::Next}, ClickCase{63, Action::Next},
                                           ClickCase{64, Action::Pause}, ClickCase{95, Action::Pause},
                                           ClickCase{96, Action::Close}, ClickCase{127, Action::Close},
                                           ClickCase{128, Action::Nothing}, ClickCase{200, Action::Nothing}));

TEST_F(ControlBar, RealClicksLandOnTheBarAndActivateIt) {
    StartOnSlideTwo();
    const POINT next = BarButtonCentre(1);
    ASSERT_EQ(edge().Click(MouseButton::Left, next.x, next.y), g_ControlBarWindow);
    ASSERT_TRUE(RunFor(0));
    EXPECT_EQ(Slide(), 3);
    EXPECT_EQ(GetFocus(), g_ControlBarWindow);

    const POINT previous = BarButtonCentre(0);
    edge().Click(MouseButton::Left, previous.x, previous.y);
    edge().Click(MouseButton::Left, previous.x, previous.y);
    ASSERT_TRUE(RunFor(0));
    EXPECT_EQ(Slide(), 1);
}

TEST_F(ControlBar, GreyedButtonsStillSendTheirMessages) {
    StartShowWith(ShowSpec::Slides(1));
    ASSERT_TRUE(BarShown());
    ClickBarAt(10);  // greyed previous on the first slide: nothing happens
    EXPECT_EQ(Slide(), 0);
    EXPECT_TRUE(ShowOpen());
    ClickBarAt(40);  // greyed next on the last slide: the show ends
    EXPECT_FALSE(ShowOpen());
}

TEST_F(ControlBar, CloseButtonClosesTheShowAndCleansUp) {
    StartOnSlideTwo();
    const POINT close = BarButtonCentre(3);
    edge().Click(MouseButton::Left, close.x, close.y);
    EXPECT_FALSE(RunFor(0));
    EXPECT_FALSE(ShowOpen());
    EXPECT_FALSE(IsWindow(g_ControlBarWindow));
    EXPECT_FALSE(std::filesystem::exists(PathOf("show.ini")));
}

// ---- Showing and hiding ----------------------------------------------------------

struct PointerCase {
    int dx;
    int dy;
    bool staysShown;
};

class BarPointer : public ControlBar, public ::testing::WithParamInterface<PointerCase> {};

TEST_P(BarPointer, BarStaysOnlyWhileThePointerIsStrictlyInside) {
    StartOnSlideTwo();
    const POINT origin = BarClientOrigin();
    edge().SetCursor(origin.x + GetParam().dx, origin.y + GetParam().dy);

    ASSERT_TRUE(RunFor(1995));

    EXPECT_EQ(BarShown(), GetParam().staysShown);
    EXPECT_EQ(ShowTimer(TIMER_BAR_CHECK).has_value(), GetParam().staysShown);
    EXPECT_EQ(BarVisible, GetParam().staysShown ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, BarPointer,
    ::testing::Values(PointerCase{0, 0, false}, PointerCase{0, 16, false}, PointerCase{64, 0, false},
                      PointerCase{1, 1, true}, PointerCase{64, 16, true}, PointerCase{127, 31, true},
                      PointerCase{128, 16, false}, PointerCase{64, 32, false}, PointerCase{-1, 16, false}));

TEST_F(ControlBar, BarStaysAsLongAsThePointerStaysInside) {
    StartOnSlideTwo();
    const POINT inside = BarButtonCentre(2);
    edge().SetCursor(inside.x, inside.y);
    ASSERT_TRUE(RunFor(3 * 1995));
    EXPECT_TRUE(BarShown());
    edge().SetCursor(0, 700);
    ASSERT_TRUE(RunFor(1995));
    EXPECT_FALSE(BarShown());
}

TEST_F(ControlBar, AnUnreadablePointerCountsAsOutside) {
    StartOnSlideTwo();
    const POINT inside = BarButtonCentre(1);
    edge().SetCursor(inside.x, inside.y);
    edge().SetCursorReadable(false);
    ASSERT_TRUE(RunFor(1995));
    EXPECT_FALSE(BarShown());
}

TEST_F(ControlBar, TheSplashHidesTheBarEvenWithThePointerInside) {
    StartShowWith(ShowSpec::Slides(1).Splash());
    const POINT inside = BarButtonCentre(1);
    edge().SetCursor(inside.x, inside.y);
    CheckControlBar();
    ASSERT_TRUE(BarShown());

    NextSlide(false);

    EXPECT_FALSE(BarShown());
    EXPECT_EQ(GetFocus(), g_ShowWindow);
}

TEST_F(ControlBar, ShowingAVisibleBarNeitherMovesItNorRestartsItsTimer) {
    StartOnSlideTwo();
    ASSERT_TRUE(RunFor(700));
    const int64_t deadline = ShowTimer(TIMER_BAR_CHECK)->deadlineMicros;
    MoveWindow(g_ControlBarWindow, 5, 6, 128, 32, TRUE);

    ShowControlBar();
    edge().MouseMove(300, 300);  // over the show window, quiet period over
    ASSERT_TRUE(RunFor(0));

    RECT window{};
    GetWindowRect(g_ControlBarWindow, &window);
    EXPECT_EQ(window.left, 5);
    EXPECT_EQ(window.top, 6);
    EXPECT_EQ(ShowTimer(TIMER_BAR_CHECK)->deadlineMicros, deadline);
}

TEST_F(ControlBar, TimerMessagesToTheBarCheckItToo) {
    StartOnSlideTwo();
    edge().SetCursor(0, 700);
    EXPECT_EQ(SendMessageA(g_ControlBarWindow, WM_TIMER, 42, 0), 0);
    EXPECT_FALSE(BarShown());
}

TEST_F(ControlBar, ClosingTheBarAloneEndsTheLoopWithoutCleaningUp) {
    StartOnSlideTwo();
    ASSERT_NE(g_SplashBitmap, nullptr);
    edge().RequestClose(g_ControlBarWindow);

    EXPECT_FALSE(RunFor(0));

    EXPECT_FALSE(IsWindow(g_ControlBarWindow));
    EXPECT_TRUE(ShowOpen()) << "the show window never received WM_CLOSE";
    EXPECT_TRUE(std::filesystem::exists(PathOf("show.ini")));
    EXPECT_EQ(g_SplashBitmap, nullptr) << "the bar's WM_CLOSE freed the bitmaps";
    int exitCode = -1;
    EXPECT_TRUE(ws::QuitPosted(&exitCode));
    EXPECT_EQ(exitCode, 0);
}

}  // namespace
}  // namespace tarn::test
