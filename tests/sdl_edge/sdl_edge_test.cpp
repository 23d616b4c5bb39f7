// The SDL edge on SDL's in-memory video driver: core windows become SDL
// windows of the right kind and geometry, their composed pictures reach the
// window surfaces, and SDL's input becomes the core's messages.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstring>
#include <map>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/sdl/sdl_edge.h"
#include "platform/sdl/surface_copy.h"
#include "platform/window_system.h"
#include "support/solid_erase.h"

namespace tarn::ws {
namespace {

struct Received {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Received> g_received;

// Each window paints itself in the colour stored under its handle.
std::map<HWND, COLORREF> g_colours;

bool IsInput(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CLOSE ||
           (message >= WM_MOUSEMOVE && message <= WM_MBUTTONUP);
}

LRESULT TestProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsInput(message)) {
        g_received.push_back({window, message, wParam, lParam});
        if (message == WM_CLOSE) return 0;  // recorded, not acted on
    }
    if (message == WM_ERASEBKGND) {
        tarn::test::EraseWithColour(reinterpret_cast<HDC>(wParam), g_colours[window]);
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// 0x00RRGGBB of a COLORREF (0x00BBGGRR).
uint32_t Rgb(COLORREF colour) {
    return (static_cast<uint32_t>(GetRValue(colour)) << 16) | (static_cast<uint32_t>(GetGValue(colour)) << 8) |
           GetBValue(colour);
}

uint32_t SurfacePixel(SDL_Window* window, int x, int y) {
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    Uint32 raw = 0;
    const auto* row = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch;
    std::memcpy(&raw, row + x * surface->format->BytesPerPixel, surface->format->BytesPerPixel);
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB(raw, surface->format, &r, &g, &b);
    return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b;
}

class SdlEdgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ApplySdlWindowHints();
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        edge_ = std::make_unique<SdlEdge>();
        InstallEdge(edge_.get());
        g_received.clear();
        g_colours.clear();

        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = TestProc;
        windowClass.lpszClassName = "SdlEdgeTest";
        RegisterClassExA(&windowClass);

        show_ = CreateWindowExA(0, "SdlEdgeTest", "", WS_POPUP, 0, 0, 1024, 768, nullptr, nullptr, nullptr,
                                nullptr);
        bar_ = CreateWindowExA(0, "SdlEdgeTest", "", WS_POPUP | WS_DLGFRAME, -100, -100, 0, 0, show_, nullptr,
                               nullptr, nullptr);
        ASSERT_NE(show_, nullptr);
        ASSERT_NE(bar_, nullptr);
        g_colours[show_] = RGB(0, 0, 0);
        g_colours[bar_] = RGB(255, 255, 255);
    }

    void TearDown() override {
        ResetWindowSystem();
        InstallEdge(nullptr);
        edge_.reset();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    // Shows the show window full screen and the bar at the top right.
    void ShowBoth() {
        SetWindowPos(show_, HWND_TOPMOST, 0, 0, 1024, 768, SWP_SHOWWINDOW);
        ShowWindow(bar_, SW_SHOWNORMAL);
        MoveWindow(bar_, 876, 20, 128, 32, TRUE);
        PumpPending();  // the paints the changes asked for, as the message loop runs them
        edge_->Flush();
    }

    void Deliver(SDL_Event event) {
        edge_->HandleEvent(event);
        PumpPending();
    }

    Uint32 SdlId(HWND window) { return SDL_GetWindowID(edge_->NativeWindow(window)); }

    std::vector<Received> Got(UINT message) {
        std::vector<Received> found;
        for (const auto& r : g_received) {
            if (r.message == message) found.push_back(r);
        }
        return found;
    }

    std::unique_ptr<SdlEdge> edge_;
    HWND show_ = nullptr;
    HWND bar_ = nullptr;
};

TEST_F(SdlEdgeTest, ScreenSizeIsTheDesktopMode) {
    SDL_DisplayMode mode;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &mode), 0);
    EXPECT_EQ(edge_->ScreenWidth(), mode.w);
    EXPECT_EQ(edge_->ScreenHeight(), mode.h);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), mode.w);
}

TEST_F(SdlEdgeTest, WindowsAppearOnlyOnceShownWithTheirKindAndGeometry) {
    edge_->Flush();
    EXPECT_EQ(edge_->NativeWindow(show_), nullptr) << "a hidden window needs no SDL window";
    EXPECT_EQ(edge_->NativeWindow(bar_), nullptr);

    ShowBoth();
    SDL_Window* show = edge_->NativeWindow(show_);
    SDL_Window* bar = edge_->NativeWindow(bar_);
    ASSERT_NE(show, nullptr);
    ASSERT_NE(bar, nullptr);

    const Uint32 showFlags = SDL_GetWindowFlags(show);
    EXPECT_TRUE(showFlags & SDL_WINDOW_BORDERLESS);
    EXPECT_TRUE(showFlags & SDL_WINDOW_RESIZABLE);
    EXPECT_TRUE(showFlags & SDL_WINDOW_SHOWN);
    EXPECT_FALSE(showFlags & SDL_WINDOW_POPUP_MENU);
    const Uint32 barFlags = SDL_GetWindowFlags(bar);
    EXPECT_TRUE(barFlags & SDL_WINDOW_POPUP_MENU);
    EXPECT_TRUE(barFlags & SDL_WINDOW_SKIP_TASKBAR);
    EXPECT_TRUE(barFlags & SDL_WINDOW_SHOWN);

    int x = -1, y = -1, w = -1, h = -1;
    SDL_GetWindowPosition(bar, &x, &y);
    SDL_GetWindowSize(bar, &w, &h);
    EXPECT_EQ(x, 876);
    EXPECT_EQ(y, 20);
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 32);
    SDL_GetWindowSize(show, &w, &h);
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);
}

// While the show waits for its first picture the windows it shows are made,
// hidden, and presented nowhere; the next flush maps them with their pictures
// in one present each.
TEST_F(SdlEdgeTest, PreparedWindowsStayHiddenUntilTheNextFlushShowsThemPainted) {
    SetWindowPos(show_, HWND_TOPMOST, 0, 0, 1024, 768, SWP_SHOWWINDOW);
    ShowWindow(bar_, SW_SHOWNORMAL);
    MoveWindow(bar_, 876, 20, 128, 32, TRUE);
    PumpPending();
    edge_->PrepareWindows();
    SDL_Window* show = edge_->NativeWindow(show_);
    SDL_Window* bar = edge_->NativeWindow(bar_);
    ASSERT_NE(show, nullptr);
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(SDL_GetWindowFlags(show) & SDL_WINDOW_HIDDEN);
    EXPECT_TRUE(SDL_GetWindowFlags(bar) & SDL_WINDOW_HIDDEN);
    EXPECT_EQ(edge_->PresentCount(show_), 0);
    int w = 0, h = 0;
    SDL_GetWindowSize(bar, &w, &h);
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 32);

    g_colours[show_] = RGB(10, 200, 30);
    InvalidateRect(show_, nullptr, TRUE);
    PumpPending();
    edge_->PrepareWindows();  // nothing more to make
    EXPECT_EQ(edge_->NativeWindow(show_), show);
    edge_->Flush();
    EXPECT_EQ(edge_->NativeWindow(show_), show) << "the prepared window is the one shown";
    EXPECT_TRUE(SDL_GetWindowFlags(show) & SDL_WINDOW_SHOWN);
    EXPECT_TRUE(SDL_GetWindowFlags(bar) & SDL_WINDOW_SHOWN);
    EXPECT_EQ(edge_->PresentCount(show_), 1);
    EXPECT_EQ(SurfacePixel(show, 500, 400), Rgb(RGB(10, 200, 30)));
    EXPECT_EQ(SurfacePixel(bar, 5, 5), Rgb(RGB(255, 255, 255)));
}

// A window presented at once is painted first and is on screen when the call
// returns; the other windows, maybe still unpainted, wait for the flush.
TEST_F(SdlEdgeTest, PresentingAWindowNowPaintsAndShowsOnlyThatWindow) {
    SetWindowPos(show_, HWND_TOPMOST, 0, 0, 1024, 768, SWP_SHOWWINDOW);
    ShowWindow(bar_, SW_SHOWNORMAL);
    MoveWindow(bar_, 876, 20, 128, 32, TRUE);
    g_colours[show_] = RGB(40, 90, 160);
    ASSERT_TRUE(PaintPending(show_));

    PresentWindowNow(show_);
    EXPECT_FALSE(PaintPending(show_)) << "painted by the call";
    EXPECT_TRUE(PaintPending(bar_)) << "the bar paints in the message loop, as before";
    SDL_Window* show = edge_->NativeWindow(show_);
    ASSERT_NE(show, nullptr);
    EXPECT_TRUE(SDL_GetWindowFlags(show) & SDL_WINDOW_SHOWN);
    EXPECT_EQ(edge_->PresentCount(show_), 1);
    EXPECT_EQ(SurfacePixel(show, 500, 400), Rgb(RGB(40, 90, 160)));
    EXPECT_EQ(edge_->NativeWindow(bar_), nullptr) << "an unpainted bar is not shown early";

    PresentWindowNow(show_);
    EXPECT_EQ(edge_->PresentCount(show_), 1) << "nothing changed: nothing to present again";

    PumpPending();
    edge_->Flush();
    SDL_Window* bar = edge_->NativeWindow(bar_);
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(SDL_GetWindowFlags(bar) & SDL_WINDOW_SHOWN);
    EXPECT_EQ(SurfacePixel(bar, 5, 5), Rgb(RGB(255, 255, 255)));
    EXPECT_EQ(edge_->PresentCount(show_), 1);
    EXPECT_EQ(edge_->StackedWindows(), (std::vector<HWND>{show_, bar_})) << "the bar maps above the show";
}

// A window the core does not show is not made by preparing either.
TEST_F(SdlEdgeTest, PreparingMakesNothingForHiddenWindows) {
    edge_->PrepareWindows();
    EXPECT_EQ(edge_->NativeWindow(show_), nullptr);
    EXPECT_EQ(edge_->NativeWindow(bar_), nullptr);
    edge_->Flush();
    EXPECT_EQ(edge_->NativeWindow(show_), nullptr);
}

TEST_F(SdlEdgeTest, MovingHidingAndDestroyingFollowTheCore) {
    ShowBoth();
    // The show window shrinks to the splash at the centre.
    g_colours[show_] = RGB(10, 20, 30);
    MoveWindow(show_, 302, 307, 420, 154, TRUE);
    ShowWindow(bar_, SW_HIDE);
    PumpPending();
    edge_->Flush();
    SDL_Window* show = edge_->NativeWindow(show_);
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(show, &x, &y);
    SDL_GetWindowSize(show, &w, &h);
    EXPECT_EQ(x, 302);
    EXPECT_EQ(y, 307);
    EXPECT_EQ(w, 420);
    EXPECT_EQ(h, 154);
    EXPECT_EQ(SDL_GetWindowSurface(show)->w, 420);
    EXPECT_EQ(SurfacePixel(show, 419, 153), 0x0A141Eu);
    EXPECT_TRUE(SDL_GetWindowFlags(edge_->NativeWindow(bar_)) & SDL_WINDOW_HIDDEN);

    ShowWindow(bar_, SW_SHOWNORMAL);
    edge_->Flush();
    EXPECT_TRUE(SDL_GetWindowFlags(edge_->NativeWindow(bar_)) & SDL_WINDOW_SHOWN);

    DestroyWindow(show_);  // takes the owned bar with it
    edge_->Flush();
    EXPECT_EQ(edge_->NativeWindow(show_), nullptr);
    EXPECT_EQ(edge_->NativeWindow(bar_), nullptr);
}

TEST_F(SdlEdgeTest, TheScreenStacksWindowsInTheCoresOrder) {
    // The bar maps first; the show window maps later, on top of it on the
    // screen, but the core keeps the owned bar above its owner.
    ShowWindow(bar_, SW_SHOWNORMAL);
    MoveWindow(bar_, 876, 20, 128, 32, TRUE);
    edge_->Flush();
    EXPECT_EQ(edge_->StackedWindows(), std::vector<HWND>{bar_});
    SetWindowPos(show_, HWND_TOPMOST, 0, 0, 1024, 768, SWP_SHOWWINDOW);
    edge_->Flush();
    EXPECT_EQ(edge_->StackedWindows(), (std::vector<HWND>{show_, bar_}));

    // Hidden and shown again, the bar comes back on top; gone, it leaves the list.
    ShowWindow(bar_, SW_HIDE);
    edge_->Flush();
    EXPECT_EQ(edge_->StackedWindows(), std::vector<HWND>{show_});
    ShowWindow(bar_, SW_SHOWNORMAL);
    edge_->Flush();
    EXPECT_EQ(edge_->StackedWindows(), (std::vector<HWND>{show_, bar_}));
    DestroyWindow(bar_);
    edge_->Flush();
    EXPECT_EQ(edge_->StackedWindows(), std::vector<HWND>{show_});
}

TEST_F(SdlEdgeTest, TheSurfaceShowsTheComposedWindowWithItsOverlay) {
    g_colours[show_] = RGB(0, 0, 0);
    ShowBoth();
    auto frame = std::make_shared<VideoFrame>();
    frame->width = 300;
    frame->height = 200;
    frame->data.assign(300 * 200, 0xE6781Eu);
    SetVideoOverlay(show_, 7, RECT{362, 284, 662, 484}, frame, true);
    edge_->Flush();

    SDL_Window* show = edge_->NativeWindow(show_);
    const Pixels composed = Compose(show_);
    for (int y = 0; y < composed.height; y += 3) {
        for (int x = 0; x < composed.width; x += 3) {
            ASSERT_EQ(SurfacePixel(show, x, y), composed.At(x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(SurfacePixel(show, 362, 284), 0xE6781Eu);
    EXPECT_EQ(SurfacePixel(show, 661, 483), 0xE6781Eu);
    EXPECT_EQ(SurfacePixel(show, 361, 284), 0u);
    EXPECT_EQ(SurfacePixel(show, 662, 483), 0u);
    EXPECT_EQ(SurfacePixel(edge_->NativeWindow(bar_), 5, 5), Rgb(RGB(255, 255, 255)));
}

// A window manager that keeps the show window larger than the splash: the
// splash goes at its place within the window it got, the rest black, also
// where it reaches past an edge.
TEST_F(SdlEdgeTest, AWindowComposedAtAPlaceWithinALargerSurfaceHasBlackAroundIt) {
    g_colours[show_] = RGB(0xE6, 0x78, 0x1E);
    SetWindowPos(show_, HWND_TOPMOST, 0, 0, 20, 10, SWP_SHOWWINDOW);
    PumpPending();
    const Pixels composed = Compose(show_);
    ASSERT_EQ(composed.width, 20);
    for (Uint32 format : {SDL_PIXELFORMAT_RGB888, SDL_PIXELFORMAT_RGB24}) {
        SCOPED_TRACE(SDL_GetPixelFormatName(format));
        for (const auto& [left, top] : {std::pair{5, 8}, {-4, -3}, {30, 25}, {0, 0}, {40, 2}}) {
            SCOPED_TRACE(::testing::Message() << "at " << left << "," << top);
            SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 40, 30, 0, format);
            ASSERT_NE(surface, nullptr);
            SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 1, 2, 3));  // what was there before
            ASSERT_TRUE(ComposeToSurfaceAt(show_, surface, left, top));
            for (int y = 0; y < 30; ++y) {
                for (int x = 0; x < 40; ++x) {
                    const bool inside = x >= left && x < left + 20 && y >= top && y < top + 10;
                    const auto* row = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch;
                    Uint32 raw = 0;
                    std::memcpy(&raw, row + x * surface->format->BytesPerPixel, surface->format->BytesPerPixel);
                    Uint8 r = 0, g = 0, b = 0;
                    SDL_GetRGB(raw, surface->format, &r, &g, &b);
                    const uint32_t rgb = (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b;
                    ASSERT_EQ(rgb, inside ? composed.At(x - left, y - top) : 0u) << x << "," << y;
                }
            }
            SDL_FreeSurface(surface);
        }
    }
}

TEST_F(SdlEdgeTest, ASlideChangeReachesTheScreenInOnePresentWithoutBlackBetween) {
    ShowBoth();
    auto first = std::make_shared<VideoFrame>();
    first->width = first->height = 100;
    first->data.assign(100 * 100, 0x2040A0u);
    SetVideoOverlay(show_, 1, RECT{100, 100, 900, 700}, first, true);
    edge_->Flush();
    SDL_Window* show = edge_->NativeWindow(show_);
    ASSERT_EQ(SurfacePixel(show, 500, 400), 0x2040A0u);
    const int before = edge_->PresentCount(show_);

    // What a slide change does within one message: the old picture goes,
    // the background is repainted, the new picture is placed.
    RemoveVideoOverlay(1);
    InvalidateRect(show_, nullptr, TRUE);
    UpdateWindow(show_);
    auto second = std::make_shared<VideoFrame>();
    second->width = second->height = 50;
    second->data.assign(50 * 50, 0xC03020u);
    SetVideoOverlay(show_, 2, RECT{300, 200, 700, 600}, second, true);
    EXPECT_EQ(edge_->PresentCount(show_), before) << "nothing reaches the screen in the middle of a change";
    EXPECT_EQ(SurfacePixel(show, 500, 400), 0x2040A0u);

    edge_->Flush();
    EXPECT_EQ(edge_->PresentCount(show_), before + 1);
    EXPECT_EQ(SurfacePixel(show, 500, 400), 0xC03020u);
    EXPECT_EQ(SurfacePixel(show, 150, 150), 0u);
}

// A frame of one colour.
std::shared_ptr<VideoFrame> Frame(uint32_t colour) {
    auto frame = std::make_shared<VideoFrame>();
    frame->width = frame->height = 16;
    frame->data.assign(16 * 16, colour);
    return frame;
}

// Installs a virtual clock for one test and puts the real one back.
struct VirtualTime {
    VirtualClock clock{1'000'000};
    VirtualTime() { InstallClock(&clock); }
    ~VirtualTime() { InstallClock(nullptr); }
};

TEST_F(SdlEdgeTest, TheLastPictureStaysUntilTheNextOneArrivesOrAMomentHasPassed) {
    VirtualTime time;
    ShowBoth();
    SDL_Window* show = edge_->NativeWindow(show_);
    SetVideoOverlay(show_, 1, RECT{100, 100, 900, 700}, Frame(0x2040A0u), true);
    edge_->Flush();
    ASSERT_EQ(SurfacePixel(show, 500, 400), 0x2040A0u);

    // A clip replaces the picture: the old one goes now, the clip's first
    // frame comes from its decoder a little later.
    RemoveVideoOverlay(1);
    InvalidateRect(show_, nullptr, TRUE);
    UpdateWindow(show_);
    const int before = edge_->PresentCount(show_);
    edge_->Flush();
    time.clock.AdvanceBy(100'000);
    edge_->Flush();
    EXPECT_EQ(edge_->PresentCount(show_), before) << "the bare background was presented";
    SetVideoOverlay(show_, 2, RECT{300, 200, 700, 600}, Frame(0x30C050u), true);
    edge_->Flush();
    EXPECT_EQ(edge_->PresentCount(show_), before + 1);
    EXPECT_EQ(SurfacePixel(show, 500, 400), 0x30C050u);
    EXPECT_EQ(SurfacePixel(show, 150, 150), 0u);

    // A slide without any picture: the background comes after the moment.
    RemoveVideoOverlay(2);
    InvalidateRect(show_, nullptr, TRUE);
    UpdateWindow(show_);
    edge_->Flush();
    EXPECT_EQ(SurfacePixel(show, 500, 400), 0x30C050u);
    time.clock.AdvanceBy(300'000);
    edge_->Flush();
    EXPECT_EQ(SurfacePixel(show, 500, 400), 0u);
}

TEST_F(SdlEdgeTest, AWindowThatChangesSizeIsPresentedAtOnceEvenWithoutPicture) {
    VirtualTime time;
    ShowBoth();
    SetVideoOverlay(show_, 1, RECT{0, 0, 1024, 768}, Frame(0x2040A0u), true);
    edge_->Flush();
    // The closing splash: the picture goes and the window shrinks.
    RemoveVideoOverlay(1);
    g_colours[show_] = RGB(200, 10, 10);
    MoveWindow(show_, 302, 307, 420, 154, TRUE);
    PumpPending();
    edge_->Flush();
    EXPECT_EQ(SurfacePixel(edge_->NativeWindow(show_), 200, 70), 0xC80A0Au);
}

TEST_F(SdlEdgeTest, KeysGoToTheFocusWindowAndAreLostWithoutOne) {
    ShowBoth();
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_RIGHT;
    key.key.keysym.scancode = SDL_SCANCODE_RIGHT;

    SetFocus(show_);
    Deliver(key);
    key.key.repeat = 1;  // held down: the same key again
    Deliver(key);
    auto down = Got(WM_KEYDOWN);
    ASSERT_EQ(down.size(), 2u);
    EXPECT_EQ(down[0].window, show_);
    EXPECT_EQ(down[0].wParam, static_cast<WPARAM>(VK_RIGHT));
    EXPECT_EQ((down[0].lParam >> 30) & 1, 0);
    EXPECT_EQ((down[1].lParam >> 30) & 1, 1);

    g_received.clear();
    SetFocus(bar_);
    key.key.repeat = 0;
    key.key.keysym.sym = SDLK_ESCAPE;
    Deliver(key);
    down = Got(WM_KEYDOWN);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(down[0].window, bar_);
    EXPECT_EQ(down[0].wParam, static_cast<WPARAM>(VK_ESCAPE));

    g_received.clear();
    SetFocus(nullptr);
    Deliver(key);
    key.key.keysym.sym = SDLK_AUDIOPLAY;  // no virtual key at all
    SetFocus(show_);
    Deliver(key);
    EXPECT_TRUE(Got(WM_KEYDOWN).empty());
}

TEST_F(SdlEdgeTest, MouseInputGoesToTheWindowUnderItWithClientCoordinates) {
    ShowBoth();
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.windowID = SdlId(bar_);
    motion.motion.x = 40;
    motion.motion.y = 10;
    Deliver(motion);
    motion.motion.windowID = SdlId(show_);
    motion.motion.x = 600;
    motion.motion.y = 450;
    Deliver(motion);
    auto moves = Got(WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].window, bar_);
    EXPECT_EQ(moves[0].lParam, MAKELPARAM(40, 10));
    EXPECT_EQ(moves[1].window, show_);
    EXPECT_EQ(moves[1].lParam, MAKELPARAM(600, 450));

    SDL_Event button{};
    button.type = SDL_MOUSEBUTTONDOWN;
    button.button.windowID = SdlId(show_);
    button.button.x = 12;
    button.button.y = 34;
    for (Uint8 which : {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE, SDL_BUTTON_X1}) {
        button.button.button = which;
        Deliver(button);
    }
    button.type = SDL_MOUSEBUTTONUP;
    button.button.button = SDL_BUTTON_LEFT;
    Deliver(button);
    ASSERT_EQ(Got(WM_LBUTTONDOWN).size(), 1u);
    EXPECT_EQ(Got(WM_LBUTTONDOWN)[0].lParam, MAKELPARAM(12, 34));
    EXPECT_EQ(Got(WM_RBUTTONDOWN).size(), 1u);
    EXPECT_EQ(Got(WM_MBUTTONDOWN).size(), 1u);
    EXPECT_EQ(Got(WM_LBUTTONUP).size(), 1u);
    // A click makes the clicked window the focus window, as on the desktop.
    EXPECT_EQ(GetFocus(), show_);

    // Input for a window the edge does not know is dropped.
    g_received.clear();
    motion.motion.windowID = 9999;
    Deliver(motion);
    EXPECT_TRUE(g_received.empty());
}

TEST_F(SdlEdgeTest, TheMotionThatOnlyReportsLeavingAWindowIsNotDelivered) {
    ShowBoth();
    auto motion = [](Uint32 window, int x, int y) {
        SDL_Event event{};
        event.type = SDL_MOUSEMOTION;
        event.motion.windowID = window;
        event.motion.x = x;
        event.motion.y = y;
        return event;
    };
    auto windowEvent = [](Uint32 window, Uint8 what) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = window;
        event.window.event = what;
        return event;
    };
    // The pointer goes from the show window onto the bar: SDL reports a last
    // motion of the show window at the bar's place, then its LEAVE; then the
    // bar's ENTER and the bar's own motion.
    edge_->HandleEvents({motion(SdlId(show_), 900, 30), windowEvent(SdlId(show_), SDL_WINDOWEVENT_LEAVE),
                         windowEvent(SdlId(bar_), SDL_WINDOWEVENT_ENTER), motion(SdlId(bar_), 24, 10),
                         motion(SdlId(bar_), 25, 11)});
    PumpPending();
    auto moves = Got(WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].window, bar_);
    EXPECT_EQ(moves[0].lParam, MAKELPARAM(24, 10));
    EXPECT_EQ(moves[1].lParam, MAKELPARAM(25, 11));
}

TEST_F(SdlEdgeTest, ACloseRequestClosesThatWindowAndAQuitClosesTheShow) {
    ShowBoth();
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SdlId(bar_);
    Deliver(close);
    auto closes = Got(WM_CLOSE);
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].window, bar_);

    g_received.clear();
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    Deliver(quit);
    closes = Got(WM_CLOSE);
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].window, show_);
}

TEST_F(SdlEdgeTest, EventsQueuedInSdlAreTranslatedByWaitForEvents) {
    ShowBoth();
    SetFocus(show_);
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_SPACE;
    SDL_PushEvent(&key);
    key.key.keysym.sym = SDLK_PAGEDOWN;
    SDL_PushEvent(&key);
    edge_->WaitForEvents(0);  // a deadline already passed: take what is there, do not wait
    PumpPending();
    auto down = Got(WM_KEYDOWN);
    ASSERT_EQ(down.size(), 2u);
    EXPECT_EQ(down[0].wParam, static_cast<WPARAM>(VK_SPACE));
    EXPECT_EQ(down[1].wParam, static_cast<WPARAM>(VK_NEXT));
}

TEST_F(SdlEdgeTest, WakeUpsFromManyThreadsQueueOneEventUntilItIsTaken) {
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) threads.emplace_back([this] { edge_->Wake(); });
    for (auto& thread : threads) thread.join();
    SDL_PumpEvents();
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_USEREVENT, SDL_LASTEVENT), 1);

    edge_->WaitForEvents(0);
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_USEREVENT, SDL_LASTEVENT), 0);
    edge_->Wake();  // taken, so the next wake-up is queued again
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_USEREVENT, SDL_LASTEVENT), 1);
}

}  // namespace
}  // namespace tarn::ws
