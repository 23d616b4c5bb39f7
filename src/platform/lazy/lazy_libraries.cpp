#include "platform/lazy/lazy_libraries.h"

#include <SDL_version.h>
#include <dlfcn.h>

#include <cstdlib>
#include <memory>
#include <mutex>

extern "C" {
#include <libavcodec/version.h>
#include <libavformat/version.h>
#include <libavutil/version.h>
#include <libswresample/version.h>
#include <libswscale/version.h>
}

#include "platform/lazy/player_libraries.h"

// The slots, defined next to the functions in lazy_trampolines.cpp.
#define TARN_LAZY_SYMBOL(library, name) extern "C" void* tarn_lazy_slot_##name;
#include "platform/lazy/lazy_symbol_table.h"
#undef TARN_LAZY_SYMBOL

namespace tarn::lazy {

namespace {

static_assert(SDL_MAJOR_VERSION == 2, "the soname below is SDL 2's");

struct Symbol {
    Library library;
    const char* name;
    void** slot;
};

constexpr Symbol kSymbols[] = {
#define TARN_LAZY_SYMBOL(library, name) {Library::library, #name, &tarn_lazy_slot_##name},
#include "platform/lazy/lazy_symbol_table.h"
#undef TARN_LAZY_SYMBOL
};
constexpr std::size_t kSymbolCount = sizeof kSymbols / sizeof kSymbols[0];

struct CloseLibrary {
    void operator()(void* handle) const { dlclose(handle); }
};
using LibraryHandle = std::unique_ptr<void, CloseLibrary>;

constinit std::mutex g_loadMutex;
constinit LibrarySet g_loaded = 0;

LibrarySet Bit(std::size_t library) { return 1u << library; }

}  // namespace

const Sonames& CompiledSonames() {
    static constexpr Sonames names = {
        "libSDL2-2.0.so.0",
        "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
        "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
        "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR),
        "libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR),
        "libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR),
    };
    return names;
}

bool LoadLibraries(const Sonames& sonames, LibrarySet which) {
    std::lock_guard lock(g_loadMutex);
    const LibrarySet wanted = which & kAllLibraries & ~g_loaded;
    if (wanted == 0) return true;

    std::array<LibraryHandle, kLibraryCount> handles;
    for (std::size_t k = 0; k < kLibraryCount; ++k) {
        if ((wanted & Bit(k)) == 0) continue;
        handles[k].reset(dlopen(sonames[k], RTLD_LAZY | RTLD_LOCAL));
        if (!handles[k]) return false;
    }
    std::array<void*, kSymbolCount> targets{};
    for (std::size_t k = 0; k < kSymbolCount; ++k) {
        const auto library = static_cast<std::size_t>(kSymbols[k].library);
        if ((wanted & Bit(library)) == 0) continue;
        targets[k] = dlsym(handles[library].get(), kSymbols[k].name);
        if (targets[k] == nullptr) return false;
    }
    // Another thread may be jumping through a slot right now: each one
    // changes in a single store, from the first-call path to the function.
    for (std::size_t k = 0; k < kSymbolCount; ++k) {
        if (targets[k] != nullptr) __atomic_store_n(kSymbols[k].slot, targets[k], __ATOMIC_RELEASE);
    }
    // The libraries stay loaded for the life of the process: SDL and FFmpeg
    // may still be called while static objects are destroyed at exit.
    for (LibraryHandle& handle : handles) static_cast<void>(handle.release());
    g_loaded |= wanted;
    return true;
}

bool LibrariesLoaded(LibrarySet which) {
    std::lock_guard lock(g_loadMutex);
    return (g_loaded & which & kAllLibraries) == (which & kAllLibraries);
}

std::size_t SymbolCount() { return kSymbolCount; }

}  // namespace tarn::lazy

namespace tarn {

bool LoadPlayerLibraries() { return lazy::LoadLibraries(lazy::CompiledSonames()); }

bool LoadPlayerDisplayLibraries() {
    return lazy::LoadLibraries(lazy::CompiledSonames(), lazy::kDisplayLibraries);
}

bool LoadPictureLibraries() {
    return lazy::LoadLibraries(lazy::CompiledSonames(), lazy::kPictureLibraries);
}

void FinishLoadingPlayerLibraries() {
    if (!LoadPlayerLibraries()) std::_Exit(0);
}

}  // namespace tarn

// Reached from the first call of any table function made before the player
// loaded the libraries (lazy_trampolines.cpp). The call cannot go on without
// them: the process then ends the way the player ends when it cannot show
// anything, silently and with success.
extern "C" __attribute__((visibility("hidden"))) void tarn_lazy_load_on_first_call() {
    if (!tarn::LoadPlayerLibraries()) std::_Exit(0);
}
