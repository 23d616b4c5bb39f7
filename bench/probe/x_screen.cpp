#include "x_screen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

XScreen::XScreen() {
    display_ = XOpenDisplay(nullptr);
    if (display_) root_ = DefaultRootWindow(display_);
}

XScreen::~XScreen() {
    if (display_) XCloseDisplay(display_);
}

int XScreen::width() const { return display_ ? DisplayWidth(display_, DefaultScreen(display_)) : 0; }

int XScreen::height() const { return display_ ? DisplayHeight(display_, DefaultScreen(display_)) : 0; }

std::vector<BoxStats> XScreen::Grab(const std::vector<Box>& boxes) {
    std::vector<BoxStats> result;
    result.reserve(boxes.size());
    for (const Box& box : boxes) {
        XImage* image = XGetImage(display_, root_, box.x, box.y, box.w, box.h, AllPlanes, ZPixmap);
        if (!image) {
            result.push_back({});
            continue;
        }
        result.push_back(MeasureBox(box.w, box.h, [image](int x, int y) {
            return static_cast<uint32_t>(XGetPixel(image, x, y) & 0xffffff);
        }));
        XDestroyImage(image);
    }
    return result;
}

bool XScreen::PressKey(const std::string& keysym_name) {
    const KeySym keysym = XStringToKeysym(keysym_name.c_str());
    if (keysym == NoSymbol) return false;
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    if (code == 0) return false;
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    XFlush(display_);
    return true;
}

void XScreen::MovePointer(int x, int y) {
    XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
    XFlush(display_);
}
