// Switching the platform layer from its headless defaults to the real
// machine, for the player: SDL windows and input, the monotonic clock, and
// SDL audio when a sound device opens.
#pragma once

#include <string>

namespace tarn {

// Initialises SDL's video, installs the SDL window edge and the steady
// clock. Returns false when there is no display to show a window on, or the
// libraries that show one do not load; the window system then stays
// headless, nothing is shown and `problem` (when given) says what is missing
// in one line. The platform stays in place until the process ends.
// `firstPicture`, the show's first slide (or nullptr), may start decoding
// meanwhile for the screen it will be shown on.
bool StartPlayerPlatform(const char* firstPicture = nullptr, std::string* problem = nullptr);

// Opens the sound device through the media. Without one the show goes on in
// silence. Separate from the start above so that the first slide can begin
// decoding while the sound system (which may take long to answer) opens.
void StartPlayerSound();

}  // namespace tarn
