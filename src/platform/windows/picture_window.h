// A still picture in a window of its own, the way a video renderer shows a
// clip: decoded by the Windows Imaging Component, turned upright when its
// EXIF orientation says it was stored turned, scaled to the window's size
// once it is placed, and painted from that scaled copy alone. A picture
// decoded ahead of time (prepared_pictures.h) for the size the window is
// placed at is shown as it is, without a second decode.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "platform/windows/picture_decode.h"
#include "platform/windows/prepared_pictures.h"

namespace tarn {

class PictureWindow {
public:
    // Reads the picture's header from `path`; nullptr when the imaging
    // component does not take the file for a picture. The window is created
    // hidden, without an owner.
    static std::unique_ptr<PictureWindow> Open(const wchar_t* path);
    ~PictureWindow();
    PictureWindow(const PictureWindow&) = delete;
    PictureWindow& operator=(const PictureWindow&) = delete;

    // The upright picture's size.
    LONG SourceWidth() const { return sourceWidth_; }
    LONG SourceHeight() const { return sourceHeight_; }
    HWND Handle() const { return window_; }

    void SetOwner(HWND owner);
    void SetVisible(bool visible);
    // Shown, in an owner (a window on screen, not just one marked visible).
    bool OnScreen() const;
    // Keyboard and mouse input of the window is posted on to `drain`.
    void SetMessageDrain(HWND drain) { drain_ = drain; }
    void SetStyle(LONG style);
    void TakeForeground(bool focus);
    // Places the window in its owner's client area (or on the screen) and
    // scales the picture to the new size. False when it could not be scaled.
    bool SetPosition(LONG left, LONG top, LONG width, LONG height);

    // The scaled upright picture as top-down 32-bit BGRX rows.
    const std::vector<unsigned char>& Pixels() const;
    // The visible picture window that is a child of `owner`; nullptr when
    // there is none (a cross-fade starts from it).
    static const PictureWindow* ShownIn(HWND owner);
    LONG PixelWidth() const { return pixelWidth_; }
    LONG PixelHeight() const { return pixelHeight_; }

private:
    PictureWindow() = default;
    bool Scale(LONG width, LONG height);
    void Paint();
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::wstring path_;
    PictureLayout layout_;
    LONG sourceWidth_ = 0;
    LONG sourceHeight_ = 0;
    // The picture decoded ahead of time, when there was one.
    std::shared_ptr<const PreparedPicture> prepared_;
    HWND window_ = nullptr;
    HWND drain_ = nullptr;
    PixelRows pixels_;
    LONG pixelWidth_ = 0;
    LONG pixelHeight_ = 0;
};

}  // namespace tarn
