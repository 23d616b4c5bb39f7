#include "virtual_screen.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>

namespace tarn::e2e {

namespace {

// Reads the display number Xvfb writes to its -displayfd once it accepts
// connections.
std::string ReadDisplayNumber(int fd, int timeoutMs) {
    std::string text;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (text.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              until - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) return {};
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(left)) <= 0) continue;
        char buffer[32];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) return {};
        text.append(buffer, static_cast<size_t>(got));
    }
    text.resize(text.find('\n'));
    return text;
}

// An X protocol error (a window that went away between two requests, say)
// fails the one request; Xlib's default handler would end the test process.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

struct ImageDeleter {
    void operator()(XImage* image) const { XDestroyImage(image); }
};

int Shift(unsigned long mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

bool HasClass(Display* display, Window window) {
    XClassHint hint{};
    if (XGetClassHint(display, window, &hint) == 0) return false;
    if (hint.res_name != nullptr) XFree(hint.res_name);
    if (hint.res_class != nullptr) XFree(hint.res_class);
    return true;
}

}  // namespace

VirtualScreen::~VirtualScreen() {
    windowManager_.Kill(SIGTERM);
    if (display_ != nullptr) XCloseDisplay(display_);  // the dock goes with the connection
    server_.Kill(SIGTERM);
}

bool VirtualScreen::Start(int width, int height, const std::string& logPath) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    server_ = ChildProcess::Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                                   "-nolisten", "tcp", "-br", "-noreset"},
                                  {}, logPath, fds[1]);
    close(fds[1]);
    const std::string number = server_.Started() ? ReadDisplayNumber(fds[0], 15000) : std::string();
    close(fds[0]);
    if (number.empty()) return false;
    name_ = ":" + number;
    logPath_ = logPath;
    width_ = width;
    height_ = height;
    display_ = XOpenDisplay(name_.c_str());
    XSetErrorHandler(IgnoreXError);
    return display_ != nullptr;
}

ws::Pixels VirtualScreen::Capture() {
    ws::Pixels picture;
    if (display_ == nullptr) return picture;
    const Window root = DefaultRootWindow(display_);
    std::unique_ptr<XImage, ImageDeleter> image(
        XGetImage(display_, root, 0, 0, static_cast<unsigned>(width_), static_cast<unsigned>(height_),
                  AllPlanes, ZPixmap));
    if (!image) return picture;
    const int redShift = Shift(image->red_mask);
    const int greenShift = Shift(image->green_mask);
    const int blueShift = Shift(image->blue_mask);
    picture.width = width_;
    picture.height = height_;
    picture.data.resize(static_cast<size_t>(width_) * height_);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            const unsigned long pixel = XGetPixel(image.get(), x, y);
            const uint32_t r = (pixel & image->red_mask) >> redShift;
            const uint32_t g = (pixel & image->green_mask) >> greenShift;
            const uint32_t b = (pixel & image->blue_mask) >> blueShift;
            picture.data[static_cast<size_t>(y) * width_ + x] = (r << 16) | (g << 8) | b;
        }
    }
    return picture;
}

bool VirtualScreen::Tool(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunToEnd(argv, 10000, {{"DISPLAY", name_}}, logPath_) == 0;
}

bool VirtualScreen::Key(const std::string& keyName) { return Tool({"key", keyName}); }

bool VirtualScreen::MoveMouse(int x, int y) {
    return Tool({"mousemove", std::to_string(x), std::to_string(y)});
}

bool VirtualScreen::Click(int button) { return Tool({"click", std::to_string(button)}); }

unsigned long VirtualScreen::WindowAt(int x, int y, int width, int height) {
    if (display_ == nullptr) return 0;
    return FindWindow(DefaultRootWindow(display_), 0, 0, x, y, width, height);
}

// A window manager puts each client window into a frame of its own (of the
// same rectangle when the window has no decorations), and a compositor has an
// overlay window over the whole screen: the search goes down through the
// mapped windows and takes only a program's window, one with a class.
unsigned long VirtualScreen::FindWindow(unsigned long parent, int parentX, int parentY, int x, int y,
                                        int width, int height) {
    Window rootReturn = 0;
    Window parentReturn = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display_, parent, &rootReturn, &parentReturn, &children, &count) == 0) return 0;
    Window target = 0;
    // Topmost first: the last child is on top.
    for (unsigned int i = count; i-- > 0 && target == 0;) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display_, children[i], &attributes) == 0 ||
            attributes.map_state != IsViewable) {
            continue;
        }
        const int left = parentX + attributes.x + attributes.border_width;
        const int top = parentY + attributes.y + attributes.border_width;
        target = FindWindow(children[i], left, top, x, y, width, height);
        if (target == 0 && left == x && top == y && attributes.width == width && attributes.height == height &&
            HasClass(display_, children[i])) {
            target = children[i];
        }
    }
    if (children != nullptr) XFree(children);
    return target;
}

bool VirtualScreen::RequestClose(int x, int y, int width, int height) {
    const Window target = WindowAt(x, y, width, height);
    if (target == 0) return false;

    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, target, False, NoEventMask, &event);
    XSync(display_, False);
    return true;
}

ws::Pixels VirtualScreen::WindowIcon(int x, int y, int width, int height) {
    ws::Pixels icon;
    const Window target = WindowAt(x, y, width, height);
    if (target == 0) return icon;
    // _NET_WM_ICON: width, height, then ARGB pixels, each a 32-bit item
    // (held in a long by Xlib).
    Atom type = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, target, XInternAtom(display_, "_NET_WM_ICON", False), 0, 1 << 20,
                           False, XA_CARDINAL, &type, &format, &items, &after, &data) != Success) {
        return icon;
    }
    const auto* values = reinterpret_cast<const unsigned long*>(data);
    if (data != nullptr && format == 32 && items >= 2 && values[0] * values[1] <= items - 2) {
        icon.width = static_cast<int>(values[0]);
        icon.height = static_cast<int>(values[1]);
        for (unsigned long i = 0; i < values[0] * values[1]; ++i) {
            icon.data.push_back(static_cast<uint32_t>(values[2 + i]) & 0x00FFFFFFu);
        }
    }
    if (data != nullptr) XFree(data);
    return icon;
}

bool SavePng(const ws::Pixels& picture, const std::string& path) {
    if (picture.width <= 0 || picture.height <= 0) return false;
    const std::string ppm = path + ".ppm";
    {
        std::ofstream out(ppm, std::ios::binary);
        out << "P6\n" << picture.width << " " << picture.height << "\n255\n";
        for (uint32_t pixel : picture.data) {
            const char rgb[3] = {static_cast<char>(pixel >> 16), static_cast<char>(pixel >> 8),
                                 static_cast<char>(pixel)};
            out.write(rgb, 3);
        }
        if (!out) return false;
    }
    const int code = RunToEnd({"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-i", ppm, path}, 30000);
    std::remove(ppm.c_str());
    return code == 0;
}

}  // namespace tarn::e2e
