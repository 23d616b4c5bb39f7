// What an X desktop does with the show's windows, asked of the X server
// directly where SDL does not tell: whether a window manager of the common
// (EWMH) kind runs, and where a window really is after the manager has had
// its say.
#pragma once

#include <SDL.h>

namespace tarn::ws {

// True when the X server SDL talks to has an EWMH window manager: its check
// window on the root names itself. Opens a connection of its own for the
// question (about a millisecond); false without one.
bool X11WindowManagerRuns();

// The rectangle `window` covers on the screen once the X server has handled
// every request made so far; false when it cannot be told (another display
// driver, an X error).
bool X11WindowRect(SDL_Window* window, SDL_Rect* rect);

// Asks the window manager to make `window` full screen on its monitor, or
// to end that (and any maximized state): set on the window before it maps,
// as a request to the manager after. SDL's own full screen waits up to
// 100 ms for the manager to move the window, also when it maps full screen
// already. False when the window is not an X window.
bool X11AskFullScreen(SDL_Window* window, bool fullScreen);

// Where the pointer is on the X screen of `window`, asked of the server.
// SDL's global mouse state is a copy it refreshes only on raw input events,
// which pointer moves made through XTEST (remote desktops, xdotool) do not
// bring. False when the window is not an X window.
bool X11PointerPosition(SDL_Window* window, int* x, int* y);

// Asks a compositing window manager to keep compositing `window` when it is
// full screen (_NET_WM_BYPASS_COMPOSITOR = 2). One that puts such a window
// straight on screen instead hides the windows above it (the bar), and
// when the window leaves full screen, what it drew in between can be lost.
void X11KeepComposited(SDL_Window* window);

}  // namespace tarn::ws
