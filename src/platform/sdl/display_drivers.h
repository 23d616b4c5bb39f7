// Which of SDL's video drivers the player may show a window with.
#pragma once

#include <string>

namespace tarn {

// The drivers to try, in order, as a value for SDL's video driver hint:
// `requested` (SDL_VIDEODRIVER) when someone named drivers themselves;
// otherwise the ones that put windows on a real screen - X11, Wayland only
// where a Wayland session can exist (a runtime folder or a display named),
// and the console's KMS/DRM. Never SDL's invisible stand-ins (offscreen,
// dummy), which SDL would otherwise fall back to on a machine without a
// display, playing the show where nobody sees it.
std::string DisplayDrivers(const char* requested, bool waylandPossible);

}  // namespace tarn
