#include "platform/windows/picture_window.h"

#include <objbase.h>
#include <wincodec.h>

#include "platform/windows/com_ref.h"
#include "platform/windows/picture_decode.h"

namespace tarn {
namespace {

constexpr wchar_t kClassName[] = L"TarnPictureWindow";

ATOM RegisterPictureClass() {
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

// The picture windows that exist (UI thread only).
std::vector<const PictureWindow*>& AllPictureWindows() {
    static std::vector<const PictureWindow*> windows;
    return windows;
}

bool IsInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

}  // namespace

std::unique_ptr<PictureWindow> PictureWindow::Open(const wchar_t* path) {
    if (path == nullptr || path[0] == L'\0') return nullptr;
    std::shared_ptr<const PreparedPicture> prepared = TakePreparedPicture(path);
    PictureLayout layout;
    if (prepared) {
        layout = prepared->layout;
    } else {
        ComRef<IWICImagingFactory> factory = NewImagingFactory();
        ComRef<IWICBitmapFrameDecode> frame = FirstPictureFrame(factory.Get(), path);
        if (!ReadPictureLayout(frame.Get(), path, &layout)) return nullptr;
    }
    const PictureSize source = layout.Upright();
    if (!RegisterPictureClass()) return nullptr;

    std::unique_ptr<PictureWindow> picture(new PictureWindow);
    picture->path_ = path;
    picture->layout_ = layout;
    picture->sourceWidth_ = source.width;
    picture->sourceHeight_ = source.height;
    picture->prepared_ = std::move(prepared);
    picture->window_ = CreateWindowExW(0, kClassName, L"", WS_POPUP | WS_CLIPSIBLINGS, 0, 0,
                                       static_cast<int>(source.width),
                                       static_cast<int>(source.height), nullptr,
                                       nullptr, GetModuleHandleW(nullptr), nullptr);
    if (picture->window_ == nullptr) return nullptr;
    SetWindowLongPtrW(picture->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(picture.get()));
    SetWindowLongPtrW(picture->window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
    AllPictureWindows().push_back(picture.get());
    return picture;
}

PictureWindow::~PictureWindow() {
    std::erase(AllPictureWindows(), this);
    if (window_ != nullptr) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

void PictureWindow::SetOwner(HWND owner) {
    // A child before it moves in, so that it takes no activation on the way.
    LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
    style = owner != nullptr ? (style & ~static_cast<LONG_PTR>(WS_POPUP)) | WS_CHILD
                             : (style & ~static_cast<LONG_PTR>(WS_CHILD)) | WS_POPUP;
    SetWindowLongPtrW(window_, GWL_STYLE, style);
    SetParent(window_, owner);
}

void PictureWindow::SetVisible(bool visible) {
    ShowWindow(window_, visible ? SW_SHOWNOACTIVATE : SW_HIDE);
    if (visible) UpdateWindow(window_);
}

bool PictureWindow::OnScreen() const {
    return window_ != nullptr && GetParent(window_) != nullptr && IsWindowVisible(window_);
}

void PictureWindow::SetStyle(LONG style) {
    // The window keeps its visibility; the rest is the caller's.
    const LONG_PTR visible = GetWindowLongPtrW(window_, GWL_STYLE) & WS_VISIBLE;
    SetWindowLongPtrW(window_, GWL_STYLE, (static_cast<LONG_PTR>(style) & ~WS_VISIBLE) | visible);
    SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void PictureWindow::TakeForeground(bool focus) {
    SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (focus) SetFocus(window_);
}

bool PictureWindow::SetPosition(LONG left, LONG top, LONG width, LONG height) {
    MoveWindow(window_, left, top, width, height, TRUE);
    return Scale(width, height);
}

bool PictureWindow::Scale(LONG width, LONG height) {
    if (width == pixelWidth_ && height == pixelHeight_ && pixels_) return true;
    pixels_.reset();
    pixelWidth_ = 0;
    pixelHeight_ = 0;
    if (width <= 0 || height <= 0) return true;  // nothing to show

    PixelRows pixels;
    if (prepared_ && prepared_->fitted.width == width && prepared_->fitted.height == height) {
        pixels = prepared_->pixels;
    } else {
        // The decoder is opened for each scaling and let go at once, so the
        // file is not held and no full-size copy of the picture stays.
        ForegroundDecode turn;
        ComRef<IWICImagingFactory> factory = NewImagingFactory();
        ComRef<IWICBitmapFrameDecode> frame = FirstPictureFrame(factory.Get(), path_.c_str());
        pixels = DecodeUprightPicture(factory.Get(), frame.Get(), layout_,
                                      PictureSize{width, height});
    }
    if (!pixels) return false;
    pixels_ = std::move(pixels);
    pixelWidth_ = width;
    pixelHeight_ = height;
    InvalidateRect(window_, nullptr, FALSE);
    return true;
}

const PictureWindow* PictureWindow::ShownIn(HWND owner) {
    for (const PictureWindow* picture : AllPictureWindows()) {
        if (picture->pixels_ && IsWindowVisible(picture->window_) && GetParent(picture->window_) == owner) {
            return picture;
        }
    }
    return nullptr;
}

const std::vector<unsigned char>& PictureWindow::Pixels() const {
    static const std::vector<unsigned char> none;
    return pixels_ ? *pixels_ : none;
}

void PictureWindow::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    RECT client;
    GetClientRect(window_, &client);
    if (pixels_) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = pixelWidth_;
        info.bmiHeader.biHeight = -pixelHeight_;  // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, pixelWidth_, pixelHeight_,
                      pixels_->data(), &info, DIB_RGB_COLORS, SRCCOPY);
    } else {
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    EndPaint(window_, &paint);
}

LRESULT CALLBACK PictureWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    auto* picture = reinterpret_cast<PictureWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (picture != nullptr) {
        if (IsInput(message) && picture->drain_ != nullptr) {
            PostMessageW(picture->drain_, message, wParam, lParam);
            return 0;
        }
        switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel
        case WM_PAINT:
            picture->Paint();
            return 0;
        case WM_NCDESTROY:
            // Destroyed with its owner: nothing is left to destroy later.
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            picture->window_ = nullptr;
            break;
        default:
            break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace tarn
