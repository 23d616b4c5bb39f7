// The player's platform start on Windows: the real window system, clock and
// sound devices are there already, and the bitmaps and the icon are the
// executable's own resources (resources/windows/tarnplayer.rc).
#include "platform/player_platform.h"
#include "platform/win32.h"
#include "platform/embedded_resources.h"

namespace tarn {

// There is always a desktop to show the windows on, unless the process
// runs without one (a service): then there is no show.
bool StartPlayerPlatform(const char*, std::string* problem) {
    if (GetDesktopWindow() != nullptr) return true;
    if (problem != nullptr) *problem = "cannot show the slides: no desktop";
    return false;
}

// DirectSound opens with each slide's keep-alive; nothing to start here.
void StartPlayerSound() {}

}  // namespace tarn

// LoadBitmapA and LoadIconA find the resources linked into the executable.
void EnsureResourcesRegistered() {}
