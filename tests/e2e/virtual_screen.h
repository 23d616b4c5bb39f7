// A private X server for one test (Xvfb on a free display number), with
// screenshots read straight from its root window and input sent through
// xdotool, the way a person's keyboard and mouse would reach the player.
#pragma once

#include <string>

#include "child_process.h"
#include "platform/window_system.h"

struct _XDisplay;

namespace tarn::e2e {

class VirtualScreen {
public:
    VirtualScreen() = default;
    ~VirtualScreen();
    VirtualScreen(const VirtualScreen&) = delete;
    VirtualScreen& operator=(const VirtualScreen&) = delete;

    // Starts Xvfb with one screen of width x height x 24 and connects to it.
    // `logPath` receives the server's output.
    bool Start(int width, int height, const std::string& logPath);
    // ":N", for DISPLAY.
    const std::string& Name() const { return name_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    // The whole screen as 0x00RRGGBB pixels (empty on failure).
    ws::Pixels Capture();

    // Input through xdotool (true when the tool ran successfully).
    bool Key(const std::string& keyName);
    bool MoveMouse(int x, int y);
    bool Click(int button);

    // Asks the top-level window at exactly this screen rectangle to close,
    // as a desktop's close command does (WM_DELETE_WINDOW). False when no
    // mapped window has that rectangle.
    bool RequestClose(int x, int y, int width, int height);
    // The icon (_NET_WM_ICON, alpha dropped) of the mapped top-level window
    // of exactly that place and size; empty when there is none.
    ws::Pixels WindowIcon(int x, int y, int width, int height);

private:
    bool Tool(const std::vector<std::string>& arguments);
    unsigned long WindowAt(int x, int y, int width, int height);  // an X window id, or 0

    ChildProcess server_;
    _XDisplay* display_ = nullptr;
    std::string name_;
    std::string logPath_;
    int width_ = 0;
    int height_ = 0;
};

// Writes a picture as PNG (through ffmpeg); false on failure.
bool SavePng(const ws::Pixels& picture, const std::string& path);

}  // namespace tarn::e2e
