// The desktop part of a virtual screen: a real window manager from the
// distribution and a panel stand-in, as a person's desktop has them.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <memory>
#include <thread>

#include "virtual_screen.h"

namespace tarn::e2e {

namespace {

constexpr int kManagerStartMs = 20000;
constexpr int kDockShownMs = 10000;

// The window a property of `window` names, or 0.
Window WindowProperty(Display* display, Window window, Atom property) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    Window value = 0;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_WINDOW, &type, &format, &items, &after,
                           &data) == Success &&
        data != nullptr && format == 32 && items == 1) {
        value = static_cast<Window>(*reinterpret_cast<const unsigned long*>(data));
    }
    if (data != nullptr) XFree(data);
    return value;
}

// An EWMH window manager announces itself with a check window on the root
// that names itself in the same property, once it manages the screen.
bool ManagerAnnounced(Display* display) {
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    const Window child = WindowProperty(display, DefaultRootWindow(display), check);
    return child != 0 && WindowProperty(display, child, check) == child;
}

}  // namespace

std::optional<WindowManager> WindowManagerUnderTest() {
    const char* value = std::getenv("TARN_E2E_WM");
    const std::string name = value != nullptr ? value : "";
    if (name.empty() || name == "none") return WindowManager::kNone;
    if (name == "openbox") return WindowManager::kOpenbox;
    if (name == "mutter") return WindowManager::kMutter;
    return std::nullopt;
}

const char* WindowManagerName(WindowManager manager) {
    switch (manager) {
        case WindowManager::kOpenbox:
            return "openbox";
        case WindowManager::kMutter:
            return "mutter";
        case WindowManager::kNone:
            break;
    }
    return "none";
}

bool VirtualScreen::StartWindowManager(WindowManager manager) {
    if (manager == WindowManager::kNone) return true;
    if (display_ == nullptr || windowManager_.Started()) return false;
    std::vector<std::string> argv;
    if (manager == WindowManager::kMutter) {
        argv = {"mutter", "--x11", "--replace", "--sm-disable"};
    } else {
        argv = {"openbox", "--sm-disable"};
    }
    // No session bus: the manager must not reach (or start) one belonging to
    // whoever runs the tests.
    windowManager_ = ChildProcess::Spawn(argv, {{"DISPLAY", name_}, {"DBUS_SESSION_BUS_ADDRESS", ""}}, logPath_);
    if (!windowManager_.Started()) return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kManagerStartMs);
    while (!ManagerAnnounced(display_)) {
        if (std::chrono::steady_clock::now() >= until || windowManager_.WaitFor(0)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    manager_ = manager;
    return true;
}

bool VirtualScreen::AddDock() {
    if (display_ == nullptr || dock_ != 0) return false;
    const Window root = DefaultRootWindow(display_);
    const Window dock = XCreateSimpleWindow(display_, root, 0, 0, static_cast<unsigned>(width_), kDockHeight, 0,
                                            0, kDockColour);
    dock_ = dock;

    const Atom type = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DOCK", False);
    XChangeProperty(display_, dock, XInternAtom(display_, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&type), 1);
    // left, right, top, bottom, then the start and end of each strip.
    const long strut[12] = {0, 0, kDockHeight, 0, 0, 0, 0, 0, 0, width_ - 1, 0, 0};
    XChangeProperty(display_, dock, XInternAtom(display_, "_NET_WM_STRUT_PARTIAL", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(strut), 12);
    XChangeProperty(display_, dock, XInternAtom(display_, "_NET_WM_STRUT", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(strut), 4);
    XSizeHints hints{};
    hints.flags = USPosition | PPosition | PMinSize | PMaxSize;
    hints.min_width = hints.max_width = width_;
    hints.min_height = hints.max_height = kDockHeight;
    XSetWMNormalHints(display_, dock, &hints);
    XStoreName(display_, dock, "tarn-e2e-dock");
    XMapWindow(display_, dock);
    XSync(display_, False);
    // Its background is drawn by the server (and the compositor, if any): no
    // painting of ours is needed, only to see it arrive. Openbox can leave a
    // map request that comes while it finishes starting unhandled until some
    // other event wakes it up; a property change on the root is such an event.
    const Atom poke = XInternAtom(display_, "TARN_E2E_POKE", False);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDockShownMs);
    while (!WaitForPixel(width_ / 2, kDockHeight / 2, kDockColour, 500)) {
        if (std::chrono::steady_clock::now() >= until) return false;
        const long value = 1;
        XChangeProperty(display_, root, poke, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&value), 1);
        XSync(display_, False);
    }
    return true;
}

bool VirtualScreen::StartDesktop(int width, int height, const std::string& logPath, WindowManager manager) {
    if (!Start(width, height, logPath) || !StartWindowManager(manager)) return false;
    return manager == WindowManager::kNone || AddDock();
}

bool VirtualScreen::WaitForPixel(int x, int y, uint32_t colour, int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const ws::Pixels screen = Capture();
        if (screen.width > x && screen.height > y &&
            screen.data[static_cast<size_t>(y) * screen.width + x] == colour) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
}

}  // namespace tarn::e2e
