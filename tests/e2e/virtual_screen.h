// A private X server for one test (Xvfb on a free display number), with
// screenshots read straight from its root window and input sent through
// xdotool, the way a person's keyboard and mouse would reach the player.
// Optionally a desktop on it: a real window manager and a panel stand-in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "child_process.h"
#include "platform/window_system.h"

struct _XDisplay;

namespace tarn::e2e {

// The window managers a test can run under.
enum class WindowManager { kNone, kOpenbox, kMutter };

// The window manager the environment variable TARN_E2E_WM names: "none"
// (also when unset or empty), "openbox" or "mutter"; nothing for another
// name. CTest runs the screen suites once for each.
std::optional<WindowManager> WindowManagerUnderTest();
const char* WindowManagerName(WindowManager manager);

// The panel stand-in: a strip along the top of the screen in this colour.
constexpr int kDockHeight = 30;
constexpr uint32_t kDockColour = 0xFF00FF;

class VirtualScreen {
public:
    VirtualScreen() = default;
    ~VirtualScreen();
    VirtualScreen(const VirtualScreen&) = delete;
    VirtualScreen& operator=(const VirtualScreen&) = delete;

    // Starts Xvfb with one screen of width x height x 24 and connects to it.
    // `logPath` receives the server's output.
    bool Start(int width, int height, const std::string& logPath);
    // Starts `manager` on the screen (mutter in X11 mode, openbox) and waits
    // until it manages windows; true at once for kNone. Its output goes to
    // the server's log.
    bool StartWindowManager(WindowManager manager);
    // Maps a panel stand-in along the top, kDockHeight pixels high in
    // kDockColour: a window of type _NET_WM_WINDOW_TYPE_DOCK reserving its
    // strip with _NET_WM_STRUT_PARTIAL, as desktop panels do. Waits until it
    // is on screen.
    bool AddDock();
    // Start, then the window manager, then (with a manager) the dock: the
    // desktop a test runs on.
    bool StartDesktop(int width, int height, const std::string& logPath, WindowManager manager);
    WindowManager Manager() const { return manager_; }

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
    // The innermost mapped window shown at exactly this screen rectangle (a
    // client rather than a window manager's frame around it): an X window
    // id, or 0.
    unsigned long WindowAt(int x, int y, int width, int height);
    unsigned long FindWindow(unsigned long parent, int parentX, int parentY, int x, int y, int width,
                             int height);
    bool WaitForPixel(int x, int y, uint32_t colour, int timeoutMs);

    ChildProcess server_;
    ChildProcess windowManager_;
    WindowManager manager_ = WindowManager::kNone;
    unsigned long dock_ = 0;
    _XDisplay* display_ = nullptr;
    std::string name_;
    std::string logPath_;
    int width_ = 0;
    int height_ = 0;
};

// Writes a picture as PNG (through ffmpeg); false on failure.
bool SavePng(const ws::Pixels& picture, const std::string& path);

}  // namespace tarn::e2e
