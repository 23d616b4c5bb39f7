#include "platform/sdl/x_desktop.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

namespace tarn::ws {

namespace {

// SDL's X11 video has loaded libX11 already; nothing is linked here, so the
// player starts without it where the display is not X.
struct XFunctions {
    decltype(&XOpenDisplay) openDisplay = nullptr;
    decltype(&XCloseDisplay) closeDisplay = nullptr;
    decltype(&XInternAtom) internAtom = nullptr;
    decltype(&XGetWindowProperty) getWindowProperty = nullptr;
    decltype(&XFree) free = nullptr;
    decltype(&XSync) sync = nullptr;
    decltype(&XGetWindowAttributes) getWindowAttributes = nullptr;
    decltype(&XTranslateCoordinates) translateCoordinates = nullptr;
    decltype(&XSetErrorHandler) setErrorHandler = nullptr;
    decltype(&XChangeProperty) changeProperty = nullptr;
    decltype(&XSendEvent) sendEvent = nullptr;
    decltype(&XFlush) flush = nullptr;
    decltype(&XQueryPointer) queryPointer = nullptr;
    bool loaded = false;

    XFunctions() {
        void* x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
        if (x11 == nullptr) return;  // stays loaded: SDL uses it all along
        openDisplay = reinterpret_cast<decltype(openDisplay)>(dlsym(x11, "XOpenDisplay"));
        closeDisplay = reinterpret_cast<decltype(closeDisplay)>(dlsym(x11, "XCloseDisplay"));
        internAtom = reinterpret_cast<decltype(internAtom)>(dlsym(x11, "XInternAtom"));
        getWindowProperty = reinterpret_cast<decltype(getWindowProperty)>(dlsym(x11, "XGetWindowProperty"));
        free = reinterpret_cast<decltype(free)>(dlsym(x11, "XFree"));
        sync = reinterpret_cast<decltype(sync)>(dlsym(x11, "XSync"));
        getWindowAttributes =
            reinterpret_cast<decltype(getWindowAttributes)>(dlsym(x11, "XGetWindowAttributes"));
        translateCoordinates =
            reinterpret_cast<decltype(translateCoordinates)>(dlsym(x11, "XTranslateCoordinates"));
        setErrorHandler = reinterpret_cast<decltype(setErrorHandler)>(dlsym(x11, "XSetErrorHandler"));
        changeProperty = reinterpret_cast<decltype(changeProperty)>(dlsym(x11, "XChangeProperty"));
        sendEvent = reinterpret_cast<decltype(sendEvent)>(dlsym(x11, "XSendEvent"));
        flush = reinterpret_cast<decltype(flush)>(dlsym(x11, "XFlush"));
        queryPointer = reinterpret_cast<decltype(queryPointer)>(dlsym(x11, "XQueryPointer"));
        loaded = openDisplay && closeDisplay && internAtom && getWindowProperty && free && sync &&
                 getWindowAttributes && translateCoordinates && setErrorHandler && changeProperty && sendEvent &&
                 flush && queryPointer;
    }
};

const XFunctions& X() {
    static const XFunctions functions;
    return functions;
}

// The window a WINDOW property names, or 0.
Window WindowProperty(Display* display, Window window, Atom property) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    Window value = 0;
    if (X().getWindowProperty(display, window, property, 0, 1, False, XA_WINDOW, &type, &format, &items, &after,
                              &data) == Success &&
        data != nullptr && type == XA_WINDOW && format == 32 && items == 1) {
        value = static_cast<Window>(*reinterpret_cast<const unsigned long*>(data));
    }
    if (data != nullptr) X().free(data);
    return value;
}

// A window that went away between two requests fails the request, not the
// player.
bool caughtError = false;
int CatchError(Display*, XErrorEvent*) {
    caughtError = true;
    return 0;
}

}  // namespace

bool X11WindowManagerRuns() {
    if (!X().loaded) return false;
    Display* display = X().openDisplay(nullptr);
    if (display == nullptr) return false;
    auto* previous = X().setErrorHandler(CatchError);
    caughtError = false;
    const Atom check = X().internAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    const Window child = WindowProperty(display, DefaultRootWindow(display), check);
    // A manager that died leaves its property on the root, naming a window
    // that is gone or no longer names itself.
    const bool runs = child != 0 && WindowProperty(display, child, check) == child && !caughtError;
    X().sync(display, False);
    X().setErrorHandler(previous);
    X().closeDisplay(display);
    return runs;
}

namespace {

bool X11Handles(SDL_Window* window, Display** display, Window* xwindow) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!X().loaded || window == nullptr || !SDL_GetWindowWMInfo(window, &info) ||
        info.subsystem != SDL_SYSWM_X11) {
        return false;
    }
    *display = info.info.x11.display;
    *xwindow = info.info.x11.window;
    return true;
}

}  // namespace

bool X11AskFullScreen(SDL_Window* window, bool fullScreen) {
    Display* display = nullptr;
    Window xwindow = 0;
    if (!X11Handles(window, &display, &xwindow)) return false;
    const Atom state = X().internAtom(display, "_NET_WM_STATE", False);
    const Atom full = X().internAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    XWindowAttributes attributes{};
    if (X().getWindowAttributes(display, xwindow, &attributes) == 0) return false;
    if (attributes.map_state == IsUnmapped) {
        // The manager reads the state when the window maps.
        const Atom states[1] = {full};
        X().changeProperty(display, xwindow, state, XA_ATOM, 32, PropModeReplace,
                           reinterpret_cast<const unsigned char*>(states), fullScreen ? 1 : 0);
        X().flush(display);
        return true;
    }
    constexpr long kRemove = 0;
    constexpr long kAdd = 1;
    auto request = [&](long action, Atom first, Atom second) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = xwindow;
        event.xclient.message_type = state;
        event.xclient.format = 32;
        event.xclient.data.l[0] = action;
        event.xclient.data.l[1] = static_cast<long>(first);
        event.xclient.data.l[2] = static_cast<long>(second);
        event.xclient.data.l[3] = 1;  // from an application
        X().sendEvent(display, attributes.root, False, SubstructureNotifyMask | SubstructureRedirectMask, &event);
    };
    if (fullScreen) {
        request(kAdd, full, 0);
    } else {
        request(kRemove, full, 0);
        // Some managers leave a window that was full screen maximized, and a
        // maximized window keeps its size.
        request(kRemove, X().internAtom(display, "_NET_WM_STATE_MAXIMIZED_VERT", False),
                X().internAtom(display, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
    }
    X().flush(display);
    return true;
}

bool X11PointerPosition(SDL_Window* window, int* x, int* y) {
    Display* display = nullptr;
    Window xwindow = 0;
    if (x == nullptr || y == nullptr || !X11Handles(window, &display, &xwindow)) return false;
    Window root = 0;
    Window child = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned int buttons = 0;
    // False when the pointer is on another screen of the server: no place here.
    return X().queryPointer(display, xwindow, &root, &child, x, y, &windowX, &windowY, &buttons) != 0;
}

void X11KeepComposited(SDL_Window* window) {
    Display* display = nullptr;
    Window xwindow = 0;
    if (!X11Handles(window, &display, &xwindow)) return;
    const long never = 2;
    X().changeProperty(display, xwindow, X().internAtom(display, "_NET_WM_BYPASS_COMPOSITOR", False), XA_CARDINAL,
                       32, PropModeReplace, reinterpret_cast<const unsigned char*>(&never), 1);
}

bool X11WindowRect(SDL_Window* window, SDL_Rect* rect) {
    Display* display = nullptr;
    Window xwindow = 0;
    if (rect == nullptr || !X11Handles(window, &display, &xwindow)) return false;
    auto* previous = X().setErrorHandler(CatchError);
    caughtError = false;
    X().sync(display, False);
    XWindowAttributes attributes{};
    int x = 0;
    int y = 0;
    Window child = 0;
    const bool ok = X().getWindowAttributes(display, xwindow, &attributes) != 0 &&
                    X().translateCoordinates(display, xwindow, attributes.root, 0, 0, &x, &y, &child) != 0;
    X().sync(display, False);
    X().setErrorHandler(previous);
    if (!ok || caughtError) return false;
    *rect = SDL_Rect{x, y, attributes.width, attributes.height};
    return true;
}

}  // namespace tarn::ws
