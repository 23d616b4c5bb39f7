// Copying a composed window picture into an SDL surface.
#pragma once

#include <SDL.h>

#include "platform/window_system.h"

namespace tarn::ws {

// Copies `picture` (0x00RRGGBB) to the top left of `target`, converting to the
// target's pixel format. Parts of the target the picture does not cover are
// filled with black. Returns false when the target cannot be written.
bool CopyToSurface(const Pixels& picture, SDL_Surface* target);

// Puts the composed picture of `window` (its surface with its overlays) into
// `target` as CopyToSurface(Compose(window), target) would; where the target
// holds pixels as the window system does, without the intermediate copy.
bool ComposeToSurface(HWND window, SDL_Surface* target);

// Puts the composed picture of `window` into `target` with its top left
// corner at (left, top), which may lie outside the target; the rest of the
// target is black.
bool ComposeToSurfaceAt(HWND window, SDL_Surface* target, int left, int top);

}  // namespace tarn::ws
