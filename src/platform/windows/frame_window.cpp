#include "platform/windows/frame_window.h"

#include <cstring>

namespace tarn {
namespace {

constexpr wchar_t kClassName[] = L"TarnFrameWindow";
// Posted by the feed: a new frame is waiting to be painted.
constexpr UINT kFramePosted = WM_APP + 0x31;

ATOM RegisterFrameClass() {
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

bool IsInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

}  // namespace

void FrameFeed::Submit(const unsigned char* pixels, size_t bytes) {
    const size_t needed = static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4;
    if (pixels == nullptr || needed == 0 || bytes < needed) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pixels_.assign(pixels, pixels + needed);
        ++frames_;
        // One message stands for every frame that comes before it is handled.
        if (window_ != nullptr && !paintPosted_) {
            paintPosted_ = PostMessageW(window_, kFramePosted, 0, 0) != 0;
        }
    }
    arrived_.notify_all();
}

bool FrameFeed::WaitForFrame(uint64_t count, std::chrono::milliseconds wait) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, wait, [&] { return frames_ > count; });
}

uint64_t FrameFeed::FrameCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
}

void FrameFeed::Handled() {
    std::lock_guard<std::mutex> lock(mutex_);
    paintPosted_ = false;
}

void FrameFeed::Attach(HWND window) {
    std::lock_guard<std::mutex> lock(mutex_);
    window_ = window;
    paintPosted_ = false;
}

std::unique_ptr<FrameWindow> FrameWindow::Create(LONG width, LONG height) {
    if (width <= 0 || height <= 0 || !RegisterFrameClass()) return nullptr;
    std::unique_ptr<FrameWindow> frames(new FrameWindow);
    frames->feed_ = std::make_shared<FrameFeed>(width, height);
    frames->window_ = CreateWindowExW(0, kClassName, L"", WS_POPUP | WS_CLIPSIBLINGS, 0, 0,
                                      static_cast<int>(width), static_cast<int>(height), nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
    if (frames->window_ == nullptr) return nullptr;
    SetWindowLongPtrW(frames->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(frames.get()));
    SetWindowLongPtrW(frames->window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
    frames->feed_->Attach(frames->window_);
    return frames;
}

FrameWindow::~FrameWindow() {
    if (window_ == nullptr) return;
    // Frames still arriving stop knocking before the window goes.
    feed_->Attach(nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

void FrameWindow::SetOwner(HWND owner) {
    // A child before it moves in, so that it takes no activation on the way.
    LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
    style = owner != nullptr ? (style & ~static_cast<LONG_PTR>(WS_POPUP)) | WS_CHILD
                             : (style & ~static_cast<LONG_PTR>(WS_CHILD)) | WS_POPUP;
    SetWindowLongPtrW(window_, GWL_STYLE, style);
    SetParent(window_, owner);
}

void FrameWindow::SetVisible(bool visible) {
    wanted_ = visible;
    ShowAsWanted();
}

void FrameWindow::ShowAsWanted() {
    const bool show = wanted_ && hasFrame_;
    if (show == (IsWindowVisible(window_) != 0)) return;
    ShowWindow(window_, show ? SW_SHOWNOACTIVATE : SW_HIDE);
    if (show) UpdateWindow(window_);
}

void FrameWindow::SetStyle(LONG style) {
    // The window keeps its visibility; the rest is the caller's.
    const LONG_PTR visible = GetWindowLongPtrW(window_, GWL_STYLE) & WS_VISIBLE;
    SetWindowLongPtrW(window_, GWL_STYLE, (static_cast<LONG_PTR>(style) & ~WS_VISIBLE) | visible);
    SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void FrameWindow::TakeForeground(bool focus) {
    SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (focus) SetFocus(window_);
}

void FrameWindow::SetPosition(LONG left, LONG top, LONG width, LONG height) {
    MoveWindow(window_, left, top, width, height, TRUE);
}

void FrameWindow::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    RECT client;
    GetClientRect(window_, &client);
    feed_->WithFrame([&](const std::vector<unsigned char>& pixels) {
        if (pixels.empty()) {
            FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            return;
        }
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = feed_->Width();
        info.bmiHeader.biHeight = -feed_->Height();  // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, feed_->Width(),
                      feed_->Height(), pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    });
    EndPaint(window_, &paint);
}

LRESULT CALLBACK FrameWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
    auto* frames = reinterpret_cast<FrameWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (frames != nullptr) {
        if (IsInput(message) && frames->drain_ != nullptr) {
            PostMessageW(frames->drain_, message, wParam, lParam);
            return 0;
        }
        switch (message) {
        case kFramePosted:
            frames->feed_->Handled();
            frames->hasFrame_ = true;
            frames->ShowAsWanted();
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel
        case WM_PAINT:
            frames->Paint();
            return 0;
        default:
            break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace tarn
