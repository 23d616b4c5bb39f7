#include "platform/sdl/screen_guess.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <dlfcn.h>

#include <cstdlib>

namespace tarn {

namespace {

// The X libraries SDL itself loads for its X11 video: nothing is linked, so a
// machine without them (or a package process) never maps them for this.
struct XFunctions {
    decltype(&XOpenDisplay) openDisplay = nullptr;
    decltype(&XCloseDisplay) closeDisplay = nullptr;
    decltype(&XDefaultRootWindow) defaultRootWindow = nullptr;
    decltype(&XRRGetMonitors) getMonitors = nullptr;
    decltype(&XRRFreeMonitors) freeMonitors = nullptr;

    bool Load() {
        // Both stay loaded: SDL opens the same libraries moments later.
        void* x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
        void* xrandr = x11 != nullptr ? dlopen("libXrandr.so.2", RTLD_LAZY | RTLD_LOCAL) : nullptr;
        if (xrandr == nullptr) return false;
        openDisplay = reinterpret_cast<decltype(openDisplay)>(dlsym(x11, "XOpenDisplay"));
        closeDisplay = reinterpret_cast<decltype(closeDisplay)>(dlsym(x11, "XCloseDisplay"));
        defaultRootWindow = reinterpret_cast<decltype(defaultRootWindow)>(dlsym(x11, "XDefaultRootWindow"));
        getMonitors = reinterpret_cast<decltype(getMonitors)>(dlsym(xrandr, "XRRGetMonitors"));
        freeMonitors = reinterpret_cast<decltype(freeMonitors)>(dlsym(xrandr, "XRRFreeMonitors"));
        return openDisplay && closeDisplay && defaultRootWindow && getMonitors && freeMonitors;
    }
};

}  // namespace

bool GuessPrimaryScreenSize(ScreenSize* size) {
    const char* display = std::getenv("DISPLAY");
    if (size == nullptr || display == nullptr || *display == '\0') return false;
    XFunctions x;
    if (!x.Load()) return false;
    Display* connection = x.openDisplay(nullptr);
    if (connection == nullptr) return false;
    int count = 0;
    XRRMonitorInfo* monitors = x.getMonitors(connection, x.defaultRootWindow(connection), True, &count);
    bool found = false;
    if (monitors != nullptr) {
        const XRRMonitorInfo* chosen = count > 0 ? &monitors[0] : nullptr;
        for (int k = 0; k < count; ++k) {
            if (monitors[k].primary) chosen = &monitors[k];
        }
        if (chosen != nullptr && chosen->width > 0 && chosen->height > 0) {
            size->width = chosen->width;
            size->height = chosen->height;
            found = true;
        }
        x.freeMonitors(monitors);
    }
    x.closeDisplay(connection);
    return found;
}

}  // namespace tarn
