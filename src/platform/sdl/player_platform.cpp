#include "platform/player_platform.h"

#include <SDL.h>

#include "platform/clock.h"
#include "platform/media/sdl_audio.h"
#include "platform/sdl/quiet_sound_libraries.h"
#include "platform/sdl/sdl_edge.h"
#include "platform/window_system.h"

namespace tarn {

bool StartPlayerPlatform() {
    // The edge lives until the process ends: the window system may still talk
    // to it while static objects are destroyed at exit, in any order.
    static ws::SdlEdge* edge = nullptr;
    if (edge != nullptr) return true;

    ws::ApplySdlWindowHints();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;

    InstallClock(nullptr);  // the machine's monotonic clock
    edge = new ws::SdlEdge();
    ws::InstallEdge(edge);
    // Without a sound device the show goes on in silence, and says nothing.
    QuietSoundLibraries();
    media::StartSdlAudio();
    return true;
}

}  // namespace tarn
