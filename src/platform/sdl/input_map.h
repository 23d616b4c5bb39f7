// Translation of SDL's keys and mouse buttons into the Windows vocabulary
// the window procedures are written in: virtual-key codes and the mouse
// messages with their key-state flags.
#pragma once

#include <SDL.h>

#include "platform/win32.h"

namespace tarn::ws {

// The virtual-key code of an SDL key; 0 for keys that have none.
UINT VirtualKeyFromSdl(SDL_Keycode key);

// The lParam of a WM_KEYDOWN: repeat count 1, the scan code in bits 16..23,
// and bit 30 set when the key was already down (an auto-repeat).
LPARAM KeyDownParam(SDL_Scancode scancode, bool repeat);

// WM_LBUTTONDOWN / WM_RBUTTONDOWN / WM_MBUTTONDOWN (or the ...UP messages)
// for an SDL button; 0 for buttons the window system has no message for.
UINT MouseButtonMessage(Uint8 button, bool down);

// The MK_ flags of a mouse message's wParam for an SDL button state mask.
WPARAM MouseKeyState(Uint32 sdlButtons);

// The lParam of a mouse message: client x in the low word and client y in the
// high word, each as a signed 16-bit value.
LPARAM MousePointParam(int x, int y);

}  // namespace tarn::ws
