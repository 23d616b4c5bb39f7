#include "platform/sdl/quiet_sound_libraries.h"

#include <dlfcn.h>

namespace tarn {

namespace {

// The shape of ALSA's error handler (snd_lib_error_handler_t).
void DropAlsaReport(const char*, int, const char*, int, const char*, ...) {}

using AlsaErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
using SetAlsaErrorHandler = int (*)(AlsaErrorHandler);

}  // namespace

void QuietSoundLibraries() {
    // SDL loads the same library by the same name when it opens the device.
    // It stays loaded for the life of the process, since the handler must
    // stay installed for as long as the library is used.
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (alsa == nullptr) return;
    auto set = reinterpret_cast<SetAlsaErrorHandler>(dlsym(alsa, "snd_lib_error_set_handler"));
    if (set != nullptr) set(&DropAlsaReport);
}

}  // namespace tarn
