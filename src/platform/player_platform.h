// Switching the platform layer from its headless defaults to the real
// machine, for the player: SDL windows and input, the monotonic clock, and
// SDL audio when a sound device opens.
#pragma once

namespace tarn {

// Initialises SDL's video (and, through the media, its audio), installs the
// SDL window edge and the steady clock. Returns false when there is no
// display to show a window on; the window system then stays headless and
// nothing is shown. The platform stays in place until the process ends.
bool StartPlayerPlatform();

}  // namespace tarn
