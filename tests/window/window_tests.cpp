// Classes, creation, destruction, geometry, stacking and focus.
#include <set>

#include "window_test_support.h"

using namespace window_test;
using tarn::ws::View;
using tarn::ws::Windows;

namespace {

class WindowLifeTest : public WindowTest {};

LRESULT CALLBACK RefusingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    g_log.push_back(Event{w, m, wp, lp, 0});
    return m == WM_CREATE ? -1 : DefWindowProcA(w, m, wp, lp);
}

ATOM Register(const char* name, WNDPROC proc) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.lpszClassName = name;
    return RegisterClassExA(&wc);
}

TEST_F(WindowLifeTest, ClassesAreFoundByNameWithoutRegardToCase) {
    EXPECT_EQ(Register("testwindowclass", RecordingProc), 0) << "already registered";
    EXPECT_EQ(Register("", RecordingProc), 0);
    EXPECT_EQ(Register("NoProc", nullptr), 0);
    const HWND w = CreateWindowExA(0, "TESTWINDOWCLASS", "", WS_POPUP, 0, 0, 5, 5, nullptr,
                                   nullptr, nullptr, nullptr);
    EXPECT_NE(w, nullptr);
    EXPECT_EQ(CreateWindowExA(0, "Unknown", "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
}

TEST_F(WindowLifeTest, CreationSendsWMCreateAndAMinusOneAnswerUndoesIt) {
    const HWND w = Create(0, 0, 10, 10);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(MessagesOf(w), std::vector<UINT>{WM_CREATE});
    EXPECT_TRUE(IsWindow(w));
    EXPECT_FALSE(IsWindowVisible(w));

    ASSERT_NE(Register("Refusing", RefusingProc), 0);
    g_log.clear();
    const HWND refused = CreateWindowExA(0, "Refusing", "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr,
                                         nullptr, nullptr);
    EXPECT_EQ(refused, nullptr);
    ASSERT_EQ(g_log.size(), 2u);
    EXPECT_EQ(g_log[0].message, static_cast<UINT>(WM_CREATE));
    EXPECT_EQ(g_log[1].message, static_cast<UINT>(WM_DESTROY));
    EXPECT_FALSE(IsWindow(g_log[0].window));
    EXPECT_TRUE(Windows().size() == 1u && Windows()[0].handle == w);
}

TEST_F(WindowLifeTest, AVisibleStyleShowsTheWindowAfterCreation) {
    const HWND w = Create(0, 0, 10, 10, nullptr, WS_POPUP | WS_VISIBLE);
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(GetFocus(), w);
}

TEST_F(WindowLifeTest, DestroyingAWindowDestroysItsOwnedWindowsFirst) {
    const HWND show = Create(0, 0, 100, 100);
    const HWND bar = Create(0, 0, 10, 10, show);
    const HWND barChild = Create(0, 0, 5, 5, bar);
    const HWND other = Create(0, 0, 10, 10);
    std::vector<std::pair<HWND, bool>> destroyed;  // window, owner still alive
    g_handler = [&](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_DESTROY) destroyed.emplace_back(w, IsWindow(show) != FALSE);
        return std::nullopt;
    };
    EXPECT_TRUE(DestroyWindow(show));
    ASSERT_EQ(destroyed.size(), 3u);
    EXPECT_EQ(destroyed[0].first, barChild);
    EXPECT_EQ(destroyed[1].first, bar);
    EXPECT_EQ(destroyed[2].first, show);
    EXPECT_TRUE(destroyed[2].second) << "a window is still a window during its WM_DESTROY";
    EXPECT_FALSE(IsWindow(show));
    EXPECT_FALSE(IsWindow(bar));
    EXPECT_FALSE(IsWindow(barChild));
    EXPECT_TRUE(IsWindow(other));
    EXPECT_EQ(edge.DestroyedCount(), 3);
}

TEST_F(WindowLifeTest, DefaultHandlingOfCloseDestroysTheWindowAndWhatItOwns) {
    const HWND show = Create(0, 0, 100, 100);
    const HWND bar = Create(0, 0, 10, 10, show);
    SendMessageA(show, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(show));
    EXPECT_FALSE(IsWindow(bar));
    // Destroying from inside the close handling of a send: the send returns
    // normally and a second destroy is refused.
    EXPECT_FALSE(DestroyWindow(show));
}

TEST_F(WindowLifeTest, ClosingItselfFromAHandlerLeavesTheSendSafe) {
    const HWND show = Create(0, 0, 100, 100);
    g_handler = [&](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_USER + 4) {
            SendMessageA(w, WM_CLOSE, 0, 0);
            return IsWindow(w) ? 1 : 2;
        }
        return std::nullopt;
    };
    EXPECT_EQ(SendMessageA(show, WM_USER + 4, 0, 0), 2);
}

TEST_F(WindowLifeTest, StaleHandlesAreHarmlessEverywhere) {
    const HWND w = Create(10, 10, 50, 50);
    SetTimer(w, 1, 100, nullptr);
    DestroyWindow(w);
    const size_t logged = g_log.size();
    RECT r{1, 2, 3, 4};
    POINT p{5, 6};
    PAINTSTRUCT ps{};
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(SendMessageA(w, WM_USER, 0, 0), 0);
    EXPECT_FALSE(PostMessageA(w, WM_USER, 0, 0));
    EXPECT_FALSE(DestroyWindow(w));
    EXPECT_FALSE(ShowWindow(w, SW_SHOW));
    EXPECT_FALSE(SetWindowPos(w, HWND_TOPMOST, 0, 0, 10, 10, SWP_SHOWWINDOW));
    EXPECT_FALSE(MoveWindow(w, 0, 0, 10, 10, TRUE));
    EXPECT_FALSE(UpdateWindow(w));
    EXPECT_FALSE(InvalidateRect(w, nullptr, TRUE));
    EXPECT_EQ(SetFocus(w), nullptr);
    EXPECT_NE(GetFocus(), w);
    EXPECT_FALSE(IsWindowVisible(w));
    EXPECT_FALSE(GetClientRect(w, &r));
    EXPECT_FALSE(GetWindowRect(w, &r));
    EXPECT_FALSE(ClientToScreen(w, &p));
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(SetTimer(w, 1, 100, nullptr), 0u);
    EXPECT_FALSE(KillTimer(w, 1));
    EXPECT_EQ(BeginPaint(w, &ps), nullptr);
    EXPECT_FALSE(EndPaint(w, &ps));
    EXPECT_EQ(tarn::ws::Surface(w), nullptr);
    EXPECT_EQ(View(w).handle, nullptr);
    EXPECT_EQ(CreateWindowExA(0, kClassName, "", WS_POPUP, 0, 0, 5, 5, w, nullptr, nullptr, nullptr),
              nullptr)
        << "a destroyed owner is refused";
    EXPECT_EQ(g_log.size(), logged) << "nothing reached the destroyed window's procedure";
}

TEST_F(WindowLifeTest, HandlesAreNeverReused) {
    std::set<HWND> seen;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 50; ++i) {
            const HWND w = Create(0, 0, 1, 1);
            ASSERT_TRUE(seen.insert(w).second) << "handle given out twice";
            DestroyWindow(w);
        }
        tarn::ws::ResetWindowSystem();
        SetUp();  // the reset forgot the class
    }
    EXPECT_EQ(seen.count(GetDesktopWindow()), 0u);
}

TEST_F(WindowLifeTest, WindowsHaveNoFramesAndReportScreenRectangles) {
    const HWND bar = Create(870, 20, 130, 36, nullptr, WS_POPUP | WS_DLGFRAME);
    RECT client{}, window{};
    ASSERT_TRUE(GetClientRect(bar, &client));
    ASSERT_TRUE(GetWindowRect(bar, &window));
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    EXPECT_EQ(client.right, 130);
    EXPECT_EQ(client.bottom, 36);
    EXPECT_EQ(window.left, 870);
    EXPECT_EQ(window.bottom, 56);
    POINT corner{client.right, client.bottom};
    ASSERT_TRUE(ClientToScreen(bar, &corner));
    EXPECT_EQ(corner.x, 1000);
    EXPECT_EQ(corner.y, 56);
    const tarn::ws::Pixels* surface = tarn::ws::Surface(bar);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->width, 130);
    EXPECT_EQ(surface->height, 36);
}

TEST_F(WindowLifeTest, MovingAndResizingFollowTheFlags) {
    const HWND w = Create(-100, -100, 0, 0);
    ASSERT_TRUE(MoveWindow(w, 10, 20, 300, 200, FALSE));
    EXPECT_EQ(tarn::ws::Surface(w)->width, 300);
    EXPECT_EQ(tarn::ws::Surface(w)->height, 200);
    ASSERT_TRUE(SetWindowPos(w, HWND_TOP, 50, 60, 1, 1, SWP_NOSIZE | SWP_NOZORDER));
    RECT r{};
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.top, 60);
    EXPECT_EQ(r.right, 350);
    EXPECT_EQ(r.bottom, 260);
    ASSERT_TRUE(SetWindowPos(w, HWND_TOP, 0, 0, 420, 154, SWP_NOMOVE | SWP_NOZORDER));
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.right, 470);
    EXPECT_EQ(r.bottom, 214);
    EXPECT_EQ(tarn::ws::Surface(w)->height, 154);
    EXPECT_GE(edge.WindowChangedCount(w), 3);
}

TEST_F(WindowLifeTest, SystemMetricsComeFromTheScreen) {
    edge.SetScreenSize(1280, 720);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 720);
    EXPECT_EQ(GetSystemMetrics(SM_CXMAXIMIZED), 1280);
    EXPECT_EQ(GetSystemMetrics(SM_CYMAXIMIZED), 720);
    EXPECT_EQ(GetSystemMetrics(SM_CXBORDER), 1);
    EXPECT_EQ(GetSystemMetrics(SM_CYBORDER), 1);
    EXPECT_EQ(GetSystemMetrics(SM_CXDLGFRAME), 3);
    EXPECT_EQ(GetSystemMetrics(SM_CYDLGFRAME), 3);
    EXPECT_EQ(GetSystemMetrics(9999), 0);
    const HWND desktop = GetDesktopWindow();
    EXPECT_TRUE(IsWindow(desktop));
    RECT r{};
    ASSERT_TRUE(GetWindowRect(desktop, &r));
    EXPECT_EQ(r.right, 1280);
    EXPECT_EQ(r.bottom, 720);
}

class StackingTest : public WindowTest {
protected:
    std::vector<HWND> Order() const {
        std::vector<HWND> order;
        for (const auto& v : Windows()) order.push_back(v.handle);
        return order;
    }
};

TEST_F(StackingTest, TopmostWindowsStayAboveOthersAndOwnedWindowsAboveTheirOwner) {
    const HWND show = Create(0, 0, 1024, 768);
    const HWND bar = Create(-100, -100, 0, 0, show);
    ASSERT_TRUE(SetWindowPos(show, HWND_TOPMOST, 0, 0, 1024, 768, SWP_SHOWWINDOW));
    const HWND plain = Create(0, 0, 50, 50);  // created last, still below the topmost ones
    EXPECT_EQ(Order(), (std::vector<HWND>{plain, show, bar}));
    EXPECT_TRUE(View(show).topmost);
    EXPECT_TRUE(View(bar).topmost) << "owned by a topmost window";
    EXPECT_TRUE(View(bar).isPopupBar);
    EXPECT_EQ(View(bar).owner, show);

    // Raising the owner keeps its owned window above it.
    SetWindowPos(show, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(Order(), (std::vector<HWND>{plain, show, bar}));
    // Raising the plain window keeps it in its band.
    SetWindowPos(plain, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    EXPECT_EQ(Order(), (std::vector<HWND>{plain, show, bar}));
    SetWindowPos(plain, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(Order(), (std::vector<HWND>{show, bar, plain}));
}

TEST_F(StackingTest, ShowingActivatesAndHidingHandsTheFocusToTheOwner) {
    const HWND show = Create(0, 0, 1024, 768);
    const HWND bar = Create(800, 20, 130, 36, show);
    SetWindowPos(show, HWND_TOPMOST, 0, 0, 1024, 768, SWP_SHOWWINDOW);
    EXPECT_EQ(GetFocus(), show);
    EXPECT_EQ(GetForegroundWindow(), show);
    EXPECT_FALSE(ShowWindow(bar, SW_HIDE)) << "was hidden";
    EXPECT_EQ(GetFocus(), show);

    EXPECT_FALSE(ShowWindow(bar, SW_SHOWNORMAL));
    EXPECT_EQ(GetFocus(), bar) << "a shown window is activated";
    EXPECT_EQ(GetForegroundWindow(), bar);
    EXPECT_TRUE(ShowWindow(bar, SW_HIDE)) << "was visible";
    EXPECT_EQ(GetFocus(), show);

    ShowWindow(bar, SW_SHOWNORMAL);
    EXPECT_EQ(SetFocus(show), bar) << "SetFocus returns the previous focus";
    EXPECT_EQ(GetFocus(), show);
    EXPECT_EQ(edge.FocusHistory(), (std::vector<HWND>{show, bar, show, bar, show}));

    ShowWindow(bar, SW_SHOWNORMAL);
    DestroyWindow(bar);
    EXPECT_EQ(GetFocus(), show);
    DestroyWindow(show);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
}

}  // namespace
