// The headless edge: input routing, the pointer, running on virtual time,
// and video overlays.
#include <climits>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/window/pixel_ops.h"
#include "support/solid_erase.h"
#include "window_test_support.h"

using namespace window_test;
using tarn::ws::MouseButton;
using tarn::ws::Pixels;

namespace {

class HeadlessEdgeTest : public WindowTest {
protected:
    // A full-screen topmost show window and its owned bar, as the player has.
    void MakeShow() {
        show = Create(0, 0, 1024, 768);
        SetWindowPos(show, HWND_TOPMOST, 0, 0, 1024, 768, SWP_SHOWWINDOW);
        bar = Create(-100, -100, 0, 0, show, WS_POPUP | WS_DLGFRAME);
        ShowWindow(bar, SW_HIDE);
        tarn::ws::PumpPending();
        g_log.clear();
    }
    HWND show = nullptr;
    HWND bar = nullptr;
};

TEST_F(HeadlessEdgeTest, KeysGoToTheFocusWindow) {
    MakeShow();
    EXPECT_EQ(edge.KeyDown(VK_SPACE), show);
    ShowWindow(bar, SW_SHOWNORMAL);
    MoveWindow(bar, 874, 20, 130, 36, TRUE);
    EXPECT_EQ(edge.KeyPress(VK_ESCAPE), bar) << "a shown bar holds the focus";
    tarn::ws::PumpPending();
    const auto showKeys = Received(show, WM_KEYDOWN);
    ASSERT_EQ(showKeys.size(), 1u);
    EXPECT_EQ(showKeys[0].wParam, static_cast<WPARAM>(VK_SPACE));
    ASSERT_EQ(Received(bar, WM_KEYDOWN).size(), 1u);
    EXPECT_EQ(Received(bar, WM_KEYUP).size(), 1u);
    EXPECT_EQ(Received(bar, WM_KEYDOWN)[0].wParam, static_cast<WPARAM>(VK_ESCAPE));

    SetFocus(nullptr);
    g_log.clear();
    EXPECT_EQ(edge.KeyDown(VK_RIGHT), nullptr) << "without a focus window the key is lost";
    tarn::ws::PumpPending();
    EXPECT_TRUE(Received(show, WM_KEYDOWN).empty());
}

TEST_F(HeadlessEdgeTest, MouseInputGoesToTheTopmostWindowUnderThePointInClientCoordinates) {
    MakeShow();
    EXPECT_EQ(edge.MouseMove(900, 30), show) << "the hidden bar takes nothing";
    ShowWindow(bar, SW_SHOWNORMAL);
    MoveWindow(bar, 874, 20, 130, 36, TRUE);
    SetFocus(show);
    EXPECT_EQ(edge.MouseMove(900, 30), bar);
    EXPECT_EQ(edge.MouseMove(874, 20), bar) << "the first pixel is inside";
    EXPECT_EQ(edge.MouseMove(1004, 30), show) << "right edge is outside";
    EXPECT_EQ(edge.Click(MouseButton::Right, 5, 700), show);
    EXPECT_EQ(edge.MouseDown(MouseButton::Middle, 1023, 767), show);
    EXPECT_EQ(edge.MouseMove(1024, 100), nullptr) << "off the screen's windows";
    tarn::ws::PumpPending();

    const auto barMoves = Received(bar, WM_MOUSEMOVE);
    ASSERT_EQ(barMoves.size(), 2u);
    EXPECT_EQ(barMoves[0].lParam, MAKELPARAM(26, 10));
    EXPECT_EQ(barMoves[1].lParam, MAKELPARAM(0, 0));
    const auto showMoves = Received(show, WM_MOUSEMOVE);
    ASSERT_EQ(showMoves.size(), 2u);
    EXPECT_EQ(showMoves[1].lParam, MAKELPARAM(1004, 30));
    ASSERT_EQ(Received(show, WM_RBUTTONDOWN).size(), 1u);
    EXPECT_EQ(Received(show, WM_RBUTTONDOWN)[0].lParam, MAKELPARAM(5, 700));
    EXPECT_EQ(Received(show, WM_RBUTTONUP).size(), 1u);
    EXPECT_EQ(Received(show, WM_MBUTTONDOWN)[0].lParam, MAKELPARAM(1023, 767));
}

TEST_F(HeadlessEdgeTest, AClickActivatesTheWindowItLandsOn) {
    MakeShow();
    ShowWindow(bar, SW_SHOWNORMAL);
    MoveWindow(bar, 874, 20, 130, 36, TRUE);
    SetFocus(show);
    edge.Click(MouseButton::Left, 950, 40);
    EXPECT_EQ(GetFocus(), bar);
    edge.Click(MouseButton::Left, 10, 10);
    EXPECT_EQ(GetFocus(), show);
    tarn::ws::PumpPending();
    ASSERT_EQ(Received(bar, WM_LBUTTONDOWN).size(), 1u);
    EXPECT_EQ(Received(bar, WM_LBUTTONDOWN)[0].lParam, MAKELPARAM(76, 20));
}

TEST_F(HeadlessEdgeTest, ThePointerFollowsTheMouseAndCanBeUnreadable) {
    POINT p{};
    edge.SetCursor(3, 4);
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 3);
    EXPECT_EQ(p.y, 4);
    edge.MouseMove(500, 600);
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 500);
    EXPECT_EQ(p.y, 600);
    edge.SetCursorReadable(false);
    p = POINT{-7, -7};
    EXPECT_FALSE(GetCursorPos(&p));
    EXPECT_EQ(p.x, -7);
}

TEST_F(HeadlessEdgeTest, ACloseRequestGoesThroughTheQueueToDefaultHandling) {
    MakeShow();
    edge.RequestClose(show);
    EXPECT_TRUE(IsWindow(show));
    tarn::ws::PumpPending();
    EXPECT_EQ(MessagesOf(show).front(), static_cast<UINT>(WM_CLOSE));
    EXPECT_FALSE(IsWindow(show));
    EXPECT_FALSE(IsWindow(bar));
}

TEST_F(HeadlessEdgeTest, RunUntilQuitCoversAFortyEightSecondShowOnVirtualTime) {
    MakeShow();
    int slides = 0;
    g_handler = [&](HWND w, UINT m, WPARAM id, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_TIMER && id == 0 && ++slides == 8) SendMessageA(w, WM_CLOSE, 0, 0);
        if (m == WM_DESTROY && w == show) PostQuitMessage(0);
        return std::nullopt;
    };
    SetTimer(show, 0, 6000, nullptr);
    EXPECT_TRUE(edge.RunUntilQuit(60'000));
    EXPECT_EQ(slides, 8);
    EXPECT_EQ(edge.NowMillis(), 48'000);
    int code = -1;
    EXPECT_TRUE(tarn::ws::QuitPosted(&code));
    EXPECT_EQ(code, 0);
}

TEST_F(HeadlessEdgeTest, RunUntilQuitGivesUpAtItsLimit) {
    MakeShow();
    edge.SetIdleWait(std::chrono::milliseconds(1));
    SetTimer(show, 0, 6000, nullptr);
    EXPECT_FALSE(edge.RunUntilQuit(20'000));
    EXPECT_EQ(edge.NowMillis(), 20'000);
    EXPECT_EQ(Received(show, WM_TIMER).size(), 3u);
}

// Posts a message to a window at a set virtual moment, as the headless
// sound sink posts a completion.
class PostAt final : public tarn::TimeListener {
public:
    PostAt(HWND window, int64_t atMicros) : window_(window), at_(atMicros) {}
    int64_t NextEventMicros() const override { return done_ ? INT64_MAX : at_; }
    void OnTimeAdvanced(int64_t now) override {
        if (!done_ && now >= at_) {
            done_ = true;
            PostMessageA(window_, WM_USER + 6, 0, 0);
        }
    }

private:
    HWND window_;
    int64_t at_;
    bool done_ = false;
};

TEST_F(HeadlessEdgeTest, TimeStopsAtClockListenerEventsSoTheirMessagesComeOnTime) {
    MakeShow();
    PostAt completion(show, 14'000'000);
    edge.VirtualTime()->AddListener(&completion);
    SetTimer(show, 0, 20'000, nullptr);
    edge.RunFor(30'000);
    edge.VirtualTime()->RemoveListener(&completion);
    const auto done = Received(show, WM_USER + 6);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].atMs, 14'000);
    ASSERT_EQ(Received(show, WM_TIMER).size(), 1u);
    EXPECT_EQ(Received(show, WM_TIMER)[0].atMs, 20'000);
}

TEST_F(HeadlessEdgeTest, GetMessageStopsAtAListenerEventBeforeTheTimerDeadline) {
    MakeShow();
    PostAt completion(show, 14'000'000);
    edge.VirtualTime()->AddListener(&completion);
    SetTimer(show, 0, 20'000, nullptr);
    MSG msg{};
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    edge.VirtualTime()->RemoveListener(&completion);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 6));
    EXPECT_EQ(msg.time, 14'000u);
}

TEST(HeadlessEdgeLifetime, AnEdgeInstallsItsClockAndLeavesACleanProcessBehind) {
    tarn::Clock* before = &tarn::CurrentClock();
    HWND w = nullptr;
    {
        tarn::ws::HeadlessEdge edge(800, 600);
        EXPECT_EQ(tarn::ws::InstalledEdge(), &edge);
        EXPECT_EQ(&tarn::CurrentClock(), edge.VirtualTime());
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "Lifetime";
        ASSERT_NE(RegisterClassExA(&wc), 0);
        w = CreateWindowExA(0, "Lifetime", "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
        SetTimer(w, 1, 100, nullptr);
        PostMessageA(w, WM_USER, 0, 0);
        edge.RunFor(1000);
    }
    EXPECT_EQ(&tarn::CurrentClock(), before);
    EXPECT_EQ(tarn::ws::InstalledEdge(), nullptr);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_TRUE(tarn::ws::Timers().empty());
    EXPECT_TRUE(tarn::ws::Windows().empty());
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024) << "the fallback edge";
}

// ---- Video overlays ---------------------------------------------------------

std::shared_ptr<const tarn::ws::VideoFrame> Frame2x2() {
    auto frame = std::make_shared<tarn::ws::VideoFrame>(tarn::ws::MakePixels(2, 2));
    frame->data = {0x111111, 0x222222, 0x333333, 0x444444};
    return frame;
}

class OverlayTest : public WindowTest {};

TEST_F(OverlayTest, ComposeDrawsVisibleOverlaysScaledOverTheSurface) {
    const HWND w = Create(0, 0, 40, 30);
    const HWND other = Create(0, 0, 40, 30);
    ShowWindow(w, SW_SHOW);
    const int presents = edge.PresentCount(w);
    tarn::ws::SetVideoOverlay(w, 7, RECT{10, 10, 30, 20}, Frame2x2(), true);
    EXPECT_EQ(edge.PresentCount(w), presents + 1);
    Pixels picture = tarn::ws::Compose(w);
    ASSERT_EQ(picture.width, 40);
    EXPECT_EQ(picture.At(10, 10), 0x111111u);
    EXPECT_EQ(picture.At(19, 14), 0x111111u);
    EXPECT_EQ(picture.At(20, 10), 0x222222u);
    EXPECT_EQ(picture.At(10, 15), 0x333333u);
    EXPECT_EQ(picture.At(29, 19), 0x444444u);
    EXPECT_EQ(picture.At(30, 19), 0u);
    EXPECT_EQ(picture.At(9, 10), 0u);
    EXPECT_EQ(tarn::ws::Surface(w)->At(10, 10), 0u) << "the surface itself is untouched";
    EXPECT_EQ(tarn::ws::Compose(other).At(10, 10), 0u);

    tarn::ws::SetVideoOverlay(w, 7, RECT{10, 10, 30, 20}, Frame2x2(), false);
    EXPECT_EQ(tarn::ws::Compose(w).At(10, 10), 0u) << "hidden overlay";
    const auto views = tarn::ws::VideoOverlays(w);
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0].id, 7u);
    EXPECT_FALSE(views[0].visible);

    tarn::ws::SetVideoOverlay(w, 7, RECT{35, 25, 45, 35}, Frame2x2(), true);  // partly outside
    picture = tarn::ws::Compose(w);
    EXPECT_EQ(picture.At(35, 25), 0x111111u);
    EXPECT_EQ(picture.At(39, 29), 0x111111u);

    tarn::ws::RemoveVideoOverlay(7);
    EXPECT_EQ(tarn::ws::Compose(w).At(35, 25), 0u);
    EXPECT_TRUE(tarn::ws::VideoOverlays(w).empty());
    tarn::ws::RemoveVideoOverlay(7);  // twice is harmless
}

TEST_F(OverlayTest, OverlaysAreDrawnInIdOrderAndDieWithTheirWindow) {
    const HWND w = Create(0, 0, 10, 10);
    auto white = std::make_shared<tarn::ws::VideoFrame>(tarn::ws::MakePixels(1, 1, 0xFFFFFF));
    tarn::ws::SetVideoOverlay(w, 9, RECT{0, 0, 10, 10}, white, true);
    tarn::ws::SetVideoOverlay(w, 3, RECT{0, 0, 10, 10}, Frame2x2(), true);
    EXPECT_EQ(tarn::ws::Compose(w).At(0, 0), 0xFFFFFFu) << "the higher id is drawn last";
    DestroyWindow(w);
    EXPECT_TRUE(tarn::ws::VideoOverlays(w).empty());
    EXPECT_EQ(tarn::ws::Compose(w).width, 0);
    tarn::ws::SetVideoOverlay(w, 4, RECT{0, 0, 10, 10}, white, true);
    EXPECT_TRUE(tarn::ws::VideoOverlays(w).empty()) << "no overlay on a destroyed window";
}

TEST_F(OverlayTest, AMalformedFrameIsIgnored) {
    const HWND w = Create(0, 0, 10, 10);
    auto bad = std::make_shared<tarn::ws::VideoFrame>();
    bad->width = 1000;
    bad->height = 1000;
    bad->data.assign(4, 0xFFFFFF);  // far fewer pixels than it claims
    tarn::ws::SetVideoOverlay(w, 1, RECT{0, 0, 10, 10}, bad, true);
    tarn::ws::SetVideoOverlay(w, 2, RECT{0, 0, 5, 5}, nullptr, true);
    const Pixels picture = tarn::ws::Compose(w);
    EXPECT_EQ(picture.At(0, 0), 0u);
    EXPECT_EQ(picture.At(9, 9), 0u);
}

// Composing straight into a screen's rows gives what Compose gives: the
// window's own pixels, its overlays over them, black where the window does not
// reach, and nothing written past a row's width.
TEST_F(OverlayTest, ComposingIntoRowsElsewhereMatchesCompose) {
    constexpr uint32_t kOwn = 0x123456;
    g_handler = [](HWND window, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (message != WM_ERASEBKGND) return std::nullopt;
        tarn::test::EraseWithColour(reinterpret_cast<HDC>(wParam), RGB(0x12, 0x34, 0x56));
        return 1;
    };
    const HWND w = Create(0, 0, 40, 30);
    ShowWindow(w, SW_SHOW);
    UpdateWindow(w);
    tarn::ws::PumpPending();
    ASSERT_EQ(tarn::ws::Surface(w)->At(0, 0), kOwn);

    auto white = std::make_shared<tarn::ws::VideoFrame>(tarn::ws::MakePixels(1, 1, 0xFFFFFF));
    auto tile = std::make_shared<tarn::ws::VideoFrame>(tarn::ws::MakePixels(10, 10, 0x00FF00));
    tile->data[0] = 0xFF0000;
    auto bad = std::make_shared<tarn::ws::VideoFrame>();
    bad->width = 100;
    bad->height = 100;
    tarn::ws::SetVideoOverlay(w, 7, RECT{10, 10, 30, 20}, Frame2x2(), true);  // enlarged
    tarn::ws::SetVideoOverlay(w, 3, RECT{-5, -5, 5, 5}, white, true);        // partly off the window
    tarn::ws::SetVideoOverlay(w, 9, RECT{35, 25, 45, 35}, tile, true);       // its own size, cut
    tarn::ws::SetVideoOverlay(w, 8, RECT{12, 12, 28, 18}, tile, true);       // over another, reduced
    tarn::ws::SetVideoOverlay(w, 4, RECT{0, 20, 40, 30}, white, false);      // hidden
    tarn::ws::SetVideoOverlay(w, 5, RECT{0, 22, 40, 30}, bad, true);         // malformed: not drawn
    const Pixels composed = tarn::ws::Compose(w);
    ASSERT_EQ(composed.width, 40);
    ASSERT_EQ(composed.At(0, 25), kOwn) << "the malformed and the hidden overlay leave the window's pixels";

    // A screen larger than the window, with rows longer than the screen.
    constexpr uint32_t kUntouched = 0xDEADBEEF;
    constexpr int kWidth = 50, kHeight = 40, kStride = 64;
    std::vector<uint32_t> screen(static_cast<size_t>(kStride) * kHeight, kUntouched);
    tarn::ws::ComposeInto(w, tarn::ws::PixelRows{screen.data(), kWidth, kHeight, kStride});
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kStride; ++x) {
            const uint32_t got = screen[static_cast<size_t>(y) * kStride + x];
            const uint32_t want = x >= kWidth ? kUntouched : (x < 40 && y < 30 ? composed.At(x, y) : 0u);
            if (got != want && ++wrong <= 5) ADD_FAILURE() << "at " << x << "," << y << ": " << std::hex << got;
        }
    }
    EXPECT_EQ(wrong, 0);

    // A screen smaller than the window shows its top left.
    std::vector<uint32_t> small(20 * 15, kUntouched);
    tarn::ws::ComposeInto(w, tarn::ws::PixelRows{small.data(), 20, 15, 20});
    wrong = 0;
    for (int y = 0; y < 15; ++y) {
        for (int x = 0; x < 20; ++x) wrong += small[static_cast<size_t>(y) * 20 + x] != composed.At(x, y);
    }
    EXPECT_EQ(wrong, 0);
    g_handler = nullptr;
}

}  // namespace
