#include "platform/windows/picture_fade.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graph.h"

namespace tarn {
namespace {

constexpr wchar_t kClassName[] = L"TarnPictureFade";
constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT kFrameMilliseconds = 15;

// The owner's whole client area as 32-bit BGRX rows, black where no picture is.
struct Screen {
    LONG width = 0;
    LONG height = 0;
    std::vector<uint32_t> pixels;
};

// `picture` as its window shows it, in its owner's client coordinates.
Screen ComposePicture(HWND owner, const PictureWindow& picture) {
    Screen screen;
    RECT client{};
    GetClientRect(owner, &client);
    screen.width = client.right;
    screen.height = client.bottom;
    if (screen.width <= 0 || screen.height <= 0) return Screen{};
    screen.pixels.assign(static_cast<size_t>(screen.width) * screen.height, 0);
    RECT place{};
    GetWindowRect(picture.Handle(), &place);
    MapWindowPoints(nullptr, owner, reinterpret_cast<POINT*>(&place), 2);
    const LONG width = picture.PixelWidth();
    const LONG height = picture.PixelHeight();
    const auto* rows = reinterpret_cast<const uint32_t*>(picture.Pixels().data());
    if (picture.Pixels().size() < static_cast<size_t>(width) * height * 4) return screen;
    for (LONG y = std::max(0L, -place.top); y < height && place.top + y < screen.height; ++y) {
        const LONG from = std::max(0L, -place.left);
        const LONG to = std::min(width, screen.width - place.left);
        if (from >= to) break;
        std::copy(rows + static_cast<size_t>(y) * width + from, rows + static_cast<size_t>(y) * width + to,
                  screen.pixels.data() + static_cast<size_t>(place.top + y) * screen.width + place.left + from);
    }
    return screen;
}

// Shows the kept picture above the owner's children from the moment it is
// kept, so that nothing of the change is seen before the fade begins; then
// mixes in the new picture on its timer.
class FadeWindow {
public:
    static std::unique_ptr<FadeWindow> Open(HWND owner, DWORD milliseconds, Screen from);
    // Fades into `to` from now on; false when it does not fit the window.
    bool Begin(Screen to);
    HWND Owner() const { return owner_; }
    bool Begun() const { return begun_; }
    ~FadeWindow() {
        if (window_ != nullptr) {
            SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
            KillTimer(window_, kFrameTimer);
            DestroyWindow(window_);
        }
        if (bitmap_ != nullptr) DeleteObject(bitmap_);
    }
    FadeWindow(const FadeWindow&) = delete;
    FadeWindow& operator=(const FadeWindow&) = delete;

private:
    FadeWindow() = default;
    // The share of the new picture now, 0 … 256.
    uint32_t Weight() const {
        if (!begun_) return 0;
        const DWORD passed = GetTickCount() - start_;
        return passed >= milliseconds_ ? 256u : static_cast<uint32_t>(uint64_t{passed} * 256 / milliseconds_);
    }
    void Paint();
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    HWND owner_ = nullptr;
    DWORD start_ = 0;
    DWORD milliseconds_ = 1;
    bool begun_ = false;
    Screen from_;
    Screen to_;
    HBITMAP bitmap_ = nullptr;
    uint32_t* bits_ = nullptr;
};

std::unique_ptr<FadeWindow>& RunningFade() {
    static std::unique_ptr<FadeWindow> fade;
    return fade;
}

ATOM RegisterFadeClass() {
    static const ATOM atom = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcW;  // replaced per window
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.lpszClassName = kClassName;
        return RegisterClassExW(&windowClass);
    }();
    return atom;
}

std::unique_ptr<FadeWindow> FadeWindow::Open(HWND owner, DWORD milliseconds, Screen from) {
    if (!RegisterFadeClass() || from.width <= 0 || from.height <= 0) return nullptr;
    std::unique_ptr<FadeWindow> fade(new FadeWindow);
    fade->owner_ = owner;
    fade->milliseconds_ = std::max<DWORD>(milliseconds, 1);
    fade->from_ = std::move(from);
    fade->to_ = fade->from_;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = fade->to_.width;
    info.bmiHeader.biHeight = -fade->to_.height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    fade->bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (fade->bitmap_ == nullptr || bits == nullptr) return nullptr;
    fade->bits_ = static_cast<uint32_t*>(bits);
    fade->window_ = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, fade->to_.width,
                                    fade->to_.height, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (fade->window_ == nullptr) return nullptr;
    SetWindowLongPtrW(fade->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(fade.get()));
    SetWindowLongPtrW(fade->window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
    // Above the leaving picture's window, drawn before that goes.
    SetWindowPos(fade->window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpdateWindow(fade->window_);
    return fade;
}

bool FadeWindow::Begin(Screen to) {
    if (to.width != from_.width || to.height != from_.height) return false;
    to_ = std::move(to);
    begun_ = true;
    start_ = GetTickCount();
    // Above the new picture's window, which shows beneath it.
    SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetTimer(window_, kFrameTimer, kFrameMilliseconds, nullptr);
    return true;
}

void FadeWindow::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    const uint32_t weight = Weight();
    const uint32_t keep = 256 - weight;
    const size_t count = to_.pixels.size();
    const uint32_t* was = from_.pixels.data();
    const uint32_t* will = to_.pixels.data();
    for (size_t i = 0; i < count; ++i) {
        const uint32_t redBlue = (((will[i] & 0xFF00FFu) * weight + (was[i] & 0xFF00FFu) * keep) >> 8) & 0xFF00FFu;
        const uint32_t green = (((will[i] & 0x00FF00u) * weight + (was[i] & 0x00FF00u) * keep) >> 8) & 0x00FF00u;
        bits_[i] = redBlue | green;
    }
    GdiFlush();
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, bitmap_);
    BitBlt(dc, 0, 0, to_.width, to_.height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    EndPaint(window_, &paint);
}

LRESULT CALLBACK FadeWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* fade = reinterpret_cast<FadeWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (fade != nullptr) {
        const bool input = (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
                           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
        if (input) {
            // The show window acts on the input (and finishes the fade).
            PostMessageW(fade->owner_, message, wParam, lParam);
            return 0;
        }
        switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel
        case WM_PAINT:
            fade->Paint();
            return 0;
        case WM_TIMER:
            if (fade->Weight() >= 256) {
                media::FinishCrossFade();  // destroys this window; nothing of it is touched after
                return 0;
            }
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        default:
            break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void StartPictureFade(HWND owner, const PictureWindow& entering) {
    std::unique_ptr<FadeWindow>& fade = RunningFade();
    if (!fade || fade->Owner() != owner || fade->Begun()) return;
    if (!fade->Begin(ComposePicture(owner, entering))) fade.reset();
}

}  // namespace tarn

namespace tarn::media {

void KeepPictureForCrossFade(HWND owner, DWORD milliseconds) {
    FinishCrossFade();
    if (milliseconds == 0 || ProcessExitBegun()) return;
    // A clip's window is no picture window: a change from a clip is a cut.
    const PictureWindow* shown = PictureWindow::ShownIn(owner);
    if (shown == nullptr) return;
    Screen picture = ComposePicture(owner, *shown);
    if (picture.pixels.empty()) return;
    RunningFade() = FadeWindow::Open(owner, milliseconds, std::move(picture));
}

void ReleaseKeptPicture() {
    if (RunningFade() && !RunningFade()->Begun()) RunningFade().reset();
}

void FinishCrossFade() { RunningFade().reset(); }

bool CrossFadeRunning() { return RunningFade() && RunningFade()->Begun(); }

}  // namespace tarn::media
