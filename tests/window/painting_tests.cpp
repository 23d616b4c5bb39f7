// Invalidation, erase-then-paint, and drawing with brushes and bitmaps.
#include "platform/window/resources.h"
#include "window_test_support.h"

using namespace window_test;
using tarn::ws::PaintPending;
using tarn::ws::Pixels;
using tarn::ws::Surface;

namespace {

// The show window's way of erasing: a solid brush over the clip box.
void FillBackground(HDC dc, COLORREF colour) {
    LOGBRUSH lb{BS_SOLID, colour, 0};
    const HBRUSH brush = CreateBrushIndirect(&lb);
    const HGDIOBJ previous = SelectObject(dc, brush);
    RECT clip{};
    GetClipBox(dc, &clip);
    PatBlt(dc, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, PATCOPY);
    SelectObject(dc, previous);
    DeleteObject(brush);
}

int CountPixels(const Pixels& p, uint32_t colour) {
    int n = 0;
    for (uint32_t v : p.data) n += v == colour;
    return n;
}

class PaintingTest : public WindowTest {
protected:
    // A visible window whose first paint is done, log cleared.
    HWND Shown(int x, int y, int width, int height) {
        const HWND w = Create(x, y, width, height);
        ShowWindow(w, SW_SHOW);
        UpdateWindow(w);
        g_log.clear();
        return w;
    }
};

TEST_F(PaintingTest, UpdateWindowErasesThenPaintsBeforeItReturns) {
    const HWND w = Shown(0, 0, 40, 30);
    const int presents = edge.PresentCount(w);
    HDC eraseDc = nullptr;
    g_handler = [&](HWND, UINT m, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_ERASEBKGND) {
            eraseDc = reinterpret_cast<HDC>(wParam);
            FillBackground(eraseDc, RGB(0, 0, 255));
            return 0;
        }
        return std::nullopt;
    };
    ASSERT_TRUE(InvalidateRect(w, nullptr, TRUE));
    EXPECT_TRUE(g_log.empty()) << "invalidating paints nothing by itself";
    EXPECT_TRUE(PaintPending(w));
    ASSERT_TRUE(UpdateWindow(w));
    EXPECT_EQ(MessagesOf(w), (std::vector<UINT>{WM_ERASEBKGND, WM_PAINT}));
    EXPECT_NE(eraseDc, nullptr);
    EXPECT_FALSE(PaintPending(w));
    EXPECT_EQ(CountPixels(*Surface(w), 0x0000FF), 40 * 30);
    EXPECT_EQ(edge.PresentCount(w), presents + 1);

    g_log.clear();
    UpdateWindow(w);
    EXPECT_TRUE(g_log.empty()) << "nothing to repaint";
    InvalidateRect(w, nullptr, FALSE);
    UpdateWindow(w);
    EXPECT_EQ(MessagesOf(w), std::vector<UINT>{WM_PAINT}) << "no erase when not asked";
}

TEST_F(PaintingTest, APaintHandlerThatSkipsBeginPaintIsNotPaintedAgainAndAgain) {
    const HWND w = Shown(0, 0, 10, 10);
    g_handler = [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_PAINT) return 0;
        return std::nullopt;
    };
    InvalidateRect(w, nullptr, TRUE);
    UpdateWindow(w);
    EXPECT_FALSE(PaintPending(w));
    EXPECT_EQ(Received(w, WM_PAINT).size(), 1u);
    // A handler that invalidates again after BeginPaint gets another paint.
    g_handler = [&](HWND window, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_PAINT) return std::nullopt;
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        if (Received(window, WM_PAINT).size() == 2) InvalidateRect(window, nullptr, FALSE);
        return 0;
    };
    InvalidateRect(w, nullptr, FALSE);
    UpdateWindow(w);
    EXPECT_TRUE(PaintPending(w));
    tarn::ws::PumpPending();
    EXPECT_FALSE(PaintPending(w));
    EXPECT_EQ(Received(w, WM_PAINT).size(), 3u);
}

TEST_F(PaintingTest, EraseAndPaintAreClippedToTheInvalidatedArea) {
    const HWND w = Shown(0, 0, 40, 30);
    COLORREF colour = RGB(255, 0, 0);
    RECT paintArea{};
    g_handler = [&](HWND window, UINT m, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_ERASEBKGND) {
            FillBackground(reinterpret_cast<HDC>(wParam), colour);
            return 0;
        }
        if (m == WM_PAINT) {
            PAINTSTRUCT ps;
            const HDC dc = BeginPaint(window, &ps);
            paintArea = ps.rcPaint;
            RECT box{};
            EXPECT_EQ(GetClipBox(dc, &box), 2);  // a simple region
            EXPECT_EQ(box.left, ps.rcPaint.left);
            EXPECT_EQ(box.bottom, ps.rcPaint.bottom);
            EndPaint(window, &ps);
            return 0;
        }
        return std::nullopt;
    };
    InvalidateRect(w, nullptr, TRUE);
    UpdateWindow(w);
    colour = RGB(0, 255, 0);
    const RECT part{10, 5, 20, 15};
    InvalidateRect(w, &part, TRUE);
    UpdateWindow(w);
    EXPECT_EQ(paintArea.left, 10);
    EXPECT_EQ(paintArea.top, 5);
    EXPECT_EQ(paintArea.right, 20);
    EXPECT_EQ(paintArea.bottom, 15);
    const Pixels& s = *Surface(w);
    EXPECT_EQ(CountPixels(s, 0x00FF00), 100);
    EXPECT_EQ(s.At(10, 5), 0x00FF00u);
    EXPECT_EQ(s.At(19, 14), 0x00FF00u);
    EXPECT_EQ(s.At(20, 14), 0xFF0000u);
    EXPECT_EQ(s.At(9, 5), 0xFF0000u);

    // Two invalidations merge into their bounding rectangle.
    const RECT a{0, 0, 2, 2}, b{30, 20, 40, 30};
    InvalidateRect(w, &a, FALSE);
    InvalidateRect(w, &b, FALSE);
    UpdateWindow(w);
    EXPECT_EQ(paintArea.right, 40);
    EXPECT_EQ(paintArea.bottom, 30);
    EXPECT_EQ(paintArea.left, 0);
}

TEST_F(PaintingTest, HiddenWindowsAreNotPaintedAndShowingOnePaintsItAfterPostedMessages) {
    const HWND w = Create(0, 0, 20, 20);
    InvalidateRect(w, nullptr, TRUE);
    UpdateWindow(w);
    EXPECT_EQ(MessagesOf(w), std::vector<UINT>{WM_CREATE});
    ShowWindow(w, SW_SHOWNORMAL);
    EXPECT_EQ(MessagesOf(w), std::vector<UINT>{WM_CREATE}) << "showing paints later, from the queue";
    PostMessageA(w, WM_USER + 1, 0, 0);
    tarn::ws::PumpPending();
    EXPECT_EQ(MessagesOf(w), (std::vector<UINT>{WM_CREATE, WM_USER + 1, WM_ERASEBKGND, WM_PAINT}));
    EXPECT_GE(edge.PresentCount(w), 1);
}

TEST_F(PaintingTest, ResizingWithRepaintRepaintsAndWithoutDoesNot) {
    const HWND w = Shown(0, 0, 20, 20);
    MoveWindow(w, 0, 0, 30, 30, FALSE);
    tarn::ws::PumpPending();
    EXPECT_TRUE(g_log.empty());
    MoveWindow(w, 5, 5, 40, 40, TRUE);
    tarn::ws::PumpPending();
    EXPECT_EQ(MessagesOf(w), (std::vector<UINT>{WM_ERASEBKGND, WM_PAINT}));
}

TEST_F(PaintingTest, DefaultEraseUsesTheClassBackground) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "WithBackground";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOW + 1));
    ASSERT_NE(RegisterClassExA(&wc), 0);
    const HWND w = CreateWindowExA(0, "WithBackground", "", WS_POPUP | WS_VISIBLE, 0, 0, 8, 8,
                                   nullptr, nullptr, nullptr, nullptr);
    UpdateWindow(w);
    EXPECT_EQ(CountPixels(*Surface(w), 0xFFFFFF), 64);
    // A class without a background leaves the surface alone.
    const HWND bare = Shown(0, 0, 8, 8);
    EXPECT_EQ(CountPixels(*Surface(bare), 0), 64);
}

// Registers a 4 x 3 bitmap whose pixel (x, y) is 0x0000xy as resource 900.
void RegisterTestBitmap() {
    static std::vector<unsigned char> bytes;
    BmpSpec spec;
    spec.width = 4;
    spec.height = 3;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) spec.pixels.push_back(static_cast<uint32_t>(x * 16 + y + 1));
    bytes = WriteBmp(spec);
    static tarn::EmbeddedResource table[1];
    table[0] = tarn::EmbeddedResource{900, bytes.data(), bytes.size()};
    tarn::RegisterEmbeddedResources(table, 1);
}

uint32_t TestPixel(int x, int y) { return static_cast<uint32_t>(x * 16 + y + 1); }

TEST_F(PaintingTest, BitBltCopiesBitmapsClippedToTheWindow) {
    RegisterTestBitmap();
    const HWND w = Shown(0, 0, 6, 5);
    const HBITMAP bitmap = LoadBitmapA(nullptr, MAKEINTRESOURCEA(900));
    ASSERT_NE(bitmap, nullptr);
    g_handler = [&](HWND window, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_PAINT) return std::nullopt;
        PAINTSTRUCT ps;
        const HDC dc = BeginPaint(window, &ps);
        const HDC memory = CreateCompatibleDC(dc);
        const HGDIOBJ old = SelectObject(memory, bitmap);
        EXPECT_NE(old, nullptr);
        EXPECT_TRUE(BitBlt(dc, 4, 3, 4, 3, memory, 0, 0, SRCCOPY));    // runs off the right and bottom
        EXPECT_TRUE(BitBlt(dc, -2, 0, 3, 2, memory, 1, 1, SRCCOPY));   // starts left of the window
        EXPECT_TRUE(BitBlt(dc, 0, 4, 10, 10, memory, 3, 2, SRCCOPY));  // only one source pixel exists
        SelectObject(memory, old);
        DeleteDC(memory);
        EndPaint(window, &ps);
        return 0;
    };
    InvalidateRect(w, nullptr, FALSE);
    UpdateWindow(w);
    const Pixels& s = *Surface(w);
    // First copy: source (0..1, 0..1) lands on (4..5, 3..4).
    EXPECT_EQ(s.At(4, 3), TestPixel(0, 0));
    EXPECT_EQ(s.At(5, 3), TestPixel(1, 0));
    EXPECT_EQ(s.At(5, 4), TestPixel(1, 1));
    // Second: destination x -2..0 from source x 1..3, rows 1..2; only x 0 is inside.
    EXPECT_EQ(s.At(0, 0), TestPixel(3, 1));
    EXPECT_EQ(s.At(0, 1), TestPixel(3, 2));
    EXPECT_EQ(s.At(1, 0), 0u);
    // Third: the single source pixel (3, 2) at (0, 4); nothing else drawn.
    EXPECT_EQ(s.At(0, 4), TestPixel(3, 2));
    EXPECT_EQ(s.At(1, 4), 0u);
    EXPECT_EQ(s.At(3, 3), 0u);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap)) << "already deleted";
}

TEST_F(PaintingTest, AMemoryContextKeepsItsBitmapWhenTheHandleIsDeleted) {
    RegisterTestBitmap();
    const HBITMAP bitmap = LoadBitmapA(nullptr, MAKEINTRESOURCEA(900));
    const HDC memory = CreateCompatibleDC(nullptr);
    SelectObject(memory, bitmap);
    DeleteObject(bitmap);
    const HDC other = CreateCompatibleDC(nullptr);
    const HBITMAP target = LoadBitmapA(nullptr, MAKEINTRESOURCEA(900));
    SelectObject(other, target);
    LOGBRUSH lb{BS_SOLID, RGB(1, 2, 3), 0};
    const HBRUSH brush = CreateBrushIndirect(&lb);
    SelectObject(other, brush);
    EXPECT_TRUE(PatBlt(other, 0, 0, 4, 3, PATCOPY));
    EXPECT_EQ(tarn::ws::BitmapPixels(target)->At(3, 2), 0x010203u);
    EXPECT_TRUE(BitBlt(other, 1, 1, 2, 2, memory, 0, 0, SRCCOPY));
    EXPECT_EQ(tarn::ws::BitmapPixels(target)->At(1, 1), TestPixel(0, 0));
    EXPECT_EQ(tarn::ws::BitmapPixels(target)->At(2, 2), TestPixel(1, 1));
    EXPECT_EQ(tarn::ws::BitmapPixels(target)->At(0, 0), 0x010203u);
    RECT box{};
    EXPECT_EQ(GetClipBox(other, &box), 2);
    EXPECT_EQ(box.right, 4);
    EXPECT_EQ(box.bottom, 3);
    EXPECT_TRUE(DeleteDC(memory));
    EXPECT_TRUE(DeleteDC(other));
    // Stale contexts and objects are refused, never followed.
    EXPECT_FALSE(DeleteDC(memory));
    EXPECT_FALSE(PatBlt(other, 0, 0, 1, 1, PATCOPY));
    EXPECT_FALSE(BitBlt(other, 0, 0, 1, 1, memory, 0, 0, SRCCOPY));
    EXPECT_EQ(GetClipBox(memory, &box), 0);
    EXPECT_EQ(SelectObject(memory, brush), nullptr);
    EXPECT_EQ(SelectObject(CreateCompatibleDC(nullptr), bitmap), nullptr) << "deleted bitmap";
}

TEST_F(PaintingTest, BrushesAndRasterOperationsOutsideTheSubsetAreRefused) {
    LOGBRUSH hatched{2, RGB(0, 0, 0), 1};
    EXPECT_EQ(CreateBrushIndirect(&hatched), nullptr);
    EXPECT_EQ(CreateBrushIndirect(nullptr), nullptr);
    LOGBRUSH hollow{1, 0, 0};
    const HBRUSH none = CreateBrushIndirect(&hollow);
    ASSERT_NE(none, nullptr);
    RegisterTestBitmap();
    const HBITMAP bitmap = LoadBitmapA(nullptr, MAKEINTRESOURCEA(900));
    const HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bitmap);
    SelectObject(dc, none);
    EXPECT_TRUE(PatBlt(dc, 0, 0, 4, 3, PATCOPY));
    EXPECT_EQ(tarn::ws::BitmapPixels(bitmap)->At(0, 0), TestPixel(0, 0)) << "a hollow brush paints nothing";
    EXPECT_FALSE(PatBlt(dc, 0, 0, 4, 3, 0x005A0049u));  // PATINVERT
    EXPECT_FALSE(BitBlt(dc, 0, 0, 4, 3, dc, 0, 0, 0x00660046u));  // SRCINVERT
    DeleteDC(dc);
}

TEST_F(PaintingTest, AWindowContextCannotTakeABitmap) {
    RegisterTestBitmap();
    const HWND w = Shown(0, 0, 4, 4);
    const HBITMAP bitmap = LoadBitmapA(nullptr, MAKEINTRESOURCEA(900));
    InvalidateRect(w, nullptr, FALSE);
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(w, &ps);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(SelectObject(dc, bitmap), nullptr);
    EXPECT_FALSE(DeleteDC(dc)) << "given back with EndPaint, not deleted";
    EXPECT_TRUE(EndPaint(w, &ps));
    EXPECT_FALSE(PatBlt(dc, 0, 0, 1, 1, PATCOPY)) << "the context ended with EndPaint";
}

}  // namespace
