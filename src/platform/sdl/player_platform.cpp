#include "platform/player_platform.h"

#include <SDL.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "platform/clock.h"
#include "platform/lazy/player_libraries.h"
#include "platform/media/picture_cache.h"
#include "platform/media/sdl_audio.h"
#include "platform/picture_handover.h"
#include "platform/sdl/display_drivers.h"
#include "platform/sdl/quiet_sound_libraries.h"
#include "platform/sdl/screen_guess.h"
#include "platform/sdl/sdl_edge.h"
#include "platform/sdl/sound_library_leftovers.h"
#include "platform/window_system.h"

namespace tarn {

namespace {

bool HasValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// SDL talks to the desktop's session bus (to keep the screen saver off, for
// input methods). Where there is none, the D-Bus library would launch one
// for the show, a daemon that outlives the player, and wait for it: the
// player only talks to a bus that is already there. The conventional socket
// in the runtime folder is one the library finds by itself; an address of
// no known kind ("disabled:", the usual way to say there is no bus) makes it
// give up at once instead of launching. An empty one counts as none, to the
// library and here.
void UseOnlyARunningSessionBus() {
    if (HasValue("DBUS_SESSION_BUS_ADDRESS")) return;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
        struct stat info {};
        const std::string socket = std::string(runtime) + "/bus";
        if (::stat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) return;
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

// The show takes no typed text, so nothing is composed from several keys
// (dead keys and the like). The X library would otherwise read and parse the
// locale's whole table of such sequences, thousands of lines, when SDL opens
// its input method: about 15 ms of the start. A table the user chose stays.
void SkipTheComposeTable() {
    if (!HasValue("XCOMPOSEFILE")) ::setenv("XCOMPOSEFILE", "/dev/null", 1);
}

// The display drivers SDL is to try, in order. Without a Wayland session the
// Wayland driver is not tried at all: its library would complain on the
// terminal about the missing runtime folder.
std::string VideoDrivers() {
    return DisplayDrivers(std::getenv("SDL_VIDEODRIVER"), HasValue("WAYLAND_DISPLAY") || HasValue("XDG_RUNTIME_DIR"));
}

// Starts decoding `picture` for the screen SDL is about to find, when the X
// server can tell its size at once: the decoding then runs while SDL's video
// starts, which takes tens of milliseconds of waiting for the server.
void PrepareForTheScreenAhead(const char* picture, const std::string& drivers) {
    if (picture == nullptr || *picture == '\0' || drivers.rfind("x11", 0) != 0) return;
    ScreenSize screen;
    if (GuessPrimaryScreenSize(&screen)) media::PreparePicture(picture, media::Size{screen.width, screen.height});
}

// SDL's video on a real screen, or false.
bool StartVideoOnAScreen(const std::string& drivers) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
    UseOnlyARunningSessionBus();
    SkipTheComposeTable();
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

// What the player lacked to show anything, once SDL's video did not start.
std::string NoDisplayProblem() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((display == nullptr || *display == '\0') && (wayland == nullptr || *wayland == '\0')) {
        return "cannot show the slides: no display (DISPLAY is not set)";
    }
    std::string where = display != nullptr && *display != '\0' ? std::string("display ") + display
                                                               : std::string("Wayland display ") + wayland;
    std::string why = SDL_GetError();
    for (char& c : why) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return "cannot show the slides on " + where + (why.empty() ? "" : " (" + why + ")");
}

}  // namespace

bool StartPlayerPlatform(const char* firstPicture, std::string* problem) {
    // The edge lives until the process ends: the window system may still talk
    // to it while static objects are destroyed at exit, in any order.
    static ws::SdlEdge* edge = nullptr;
    if (edge != nullptr) return true;
    // Before any thread starts: the environment changes.
    media::AcceptHandedPicture();

    // Nothing calls SDL or FFmpeg before this point: the package process,
    // which never gets here, loads none of them but the two that scale the
    // first picture it hands over. Without them there is no show, as
    // without a screen. The codec and format libraries, which
    // take longest to load and which a JPEG slide does not need, follow on
    // the media's thread once the show has its first picture.
    if (!LoadPlayerDisplayLibraries()) {
        if (problem != nullptr) *problem = PlayerLibrariesProblem();
        return false;
    }
    const std::string drivers = VideoDrivers();
    PrepareForTheScreenAhead(firstPicture, drivers);
    ws::ApplySdlWindowHints();
    if (!StartVideoOnAScreen(drivers)) {
        if (problem != nullptr) *problem = NoDisplayProblem();
        return false;
    }

    InstallClock(nullptr);  // the machine's monotonic clock
    edge = new ws::SdlEdge();
    ws::InstallEdge(edge);
    return true;
}

void StartPlayerSound() {
    static bool started = false;
    if (started) return;
    started = true;
    // Without a sound device the show goes on in silence, and says nothing.
    // Nor does it leave behind what the sound libraries made for it while
    // they looked for a sound server.
    const SoundLibraryLeftovers leftovers;
    QuietSoundLibraries();
    media::StartSdlAudio();
    leftovers.RemoveNewOnes();
}

}  // namespace tarn
