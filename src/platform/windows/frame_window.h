// A clip's pictures in a window of their own, the way a video renderer shows
// them: the newest decoded frame, stretched to the window. Frames arrive on
// the media's threads through the window's FrameFeed; the window itself is
// used from its own (the UI) thread only. It stays out of sight until its
// first frame has arrived, so that it never shows an empty rectangle.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/win32.h"

namespace tarn {

// The hand-over of frames from the media's threads to the window.
class FrameFeed {
public:
    FrameFeed(LONG width, LONG height) : width_(width), height_(height) {}

    // Takes a frame of 32-bit BGRX rows, top row first, `bytes` long; rows
    // beyond the picture's height (a decoder's padding) are left out. A frame
    // too short for the picture is dropped. Safe on any thread.
    void Submit(const unsigned char* pixels, size_t bytes);

    LONG Width() const { return width_; }
    LONG Height() const { return height_; }
    // Frames taken so far.
    uint64_t FrameCount() const;
    // True once more than `count` frames have been taken; false when `wait`
    // passes first.
    bool WaitForFrame(uint64_t count, std::chrono::milliseconds wait) const;

private:
    friend class FrameWindow;
    // Calls `draw` with the newest frame (empty before the first).
    template <class Draw>
    void WithFrame(Draw draw) const {
        std::lock_guard<std::mutex> lock(mutex_);
        draw(pixels_);
    }
    void Attach(HWND window);
    // The window has handled the posted message: the next frame posts again.
    void Handled();

    const LONG width_;
    const LONG height_;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<unsigned char> pixels_;
    uint64_t frames_ = 0;
    HWND window_ = nullptr;
    bool paintPosted_ = false;
};

class FrameWindow {
public:
    // A hidden window without an owner for frames of `width` x `height`;
    // nullptr when the window cannot be made.
    static std::unique_ptr<FrameWindow> Create(LONG width, LONG height);
    ~FrameWindow();
    FrameWindow(const FrameWindow&) = delete;
    FrameWindow& operator=(const FrameWindow&) = delete;

    const std::shared_ptr<FrameFeed>& Feed() const { return feed_; }
    HWND Handle() const { return window_; }

    void SetOwner(HWND owner);
    // Shown once it holds a frame, as long as it is wanted.
    void SetVisible(bool visible);
    // Keyboard and mouse input of the window is posted on to `drain`.
    void SetMessageDrain(HWND drain) { drain_ = drain; }
    void SetStyle(LONG style);
    void TakeForeground(bool focus);
    void SetPosition(LONG left, LONG top, LONG width, LONG height);

private:
    FrameWindow() = default;
    void ShowAsWanted();
    void Paint();
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::shared_ptr<FrameFeed> feed_;
    HWND window_ = nullptr;
    HWND drain_ = nullptr;
    bool wanted_ = false;
    bool hasFrame_ = false;
};

}  // namespace tarn
