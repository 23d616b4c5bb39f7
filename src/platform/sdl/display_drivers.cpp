#include "platform/sdl/display_drivers.h"

namespace tarn {

std::string DisplayDrivers(const char* requested, bool waylandPossible) {
    if (requested != nullptr && *requested != '\0') return requested;
    return waylandPossible ? "x11,wayland,KMSDRM" : "x11,KMSDRM";
}

}  // namespace tarn
