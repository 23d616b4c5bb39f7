#include "platform/lazy/lazy_libraries.h"

#include <SDL_version.h>
#include <dlfcn.h>

#include <cstdio>  // before jpeglib.h, which uses FILE

#include <iterator>
#include <memory>
#include <mutex>
#include <string_view>

extern "C" {
#include <libavcodec/version.h>
#include <libavformat/version.h>
#include <libavutil/version.h>
#include <libswresample/version.h>
#include <libswscale/version.h>
}
#include <jpeglib.h>

#include "platform/cannot_play.h"
#include "platform/lazy/player_libraries.h"
#include "player_library_packages.h"

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
// Why the player's last load failed, for PlayerLibrariesProblem.
std::string g_problem;

LibrarySet Bit(std::size_t library) { return 1u << library; }

constexpr bool SameSonames(const Sonames& compiled) {
    for (std::size_t k = 0; k < kLibraryCount; ++k) {
        if (std::string_view(compiled[k]) != std::string_view(configured::kSonames[k])) return false;
    }
    return true;
}

// The names the packaging was told of are the ones opened here.
constexpr Sonames kCompiledSonames = {
    "libSDL2-2.0.so.0",
    "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
    "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
    "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR),
    "libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR),
    "libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR),
    "libjpeg.so." AV_STRINGIFY(JPEG_LIB_VERSION),
};
static_assert(std::size(configured::kSonames) == kLibraryCount && std::size(configured::kPackages) == kLibraryCount);
static_assert(SameSonames(kCompiledSonames),
              "the libraries found when the build was configured are not the ones whose headers it compiles with");

}  // namespace

const Sonames& CompiledSonames() { return kCompiledSonames; }

bool LoadLibraries(const Sonames& sonames, LibrarySet which, LoadFailure* failure) {
    std::lock_guard lock(g_loadMutex);
    const LibrarySet wanted = which & kAllLibraries & ~g_loaded;
    if (wanted == 0) return true;

    std::array<LibraryHandle, kLibraryCount> handles;
    for (std::size_t k = 0; k < kLibraryCount; ++k) {
        if ((wanted & Bit(k)) == 0) continue;
        handles[k].reset(dlopen(sonames[k], RTLD_LAZY | RTLD_LOCAL));
        if (!handles[k]) {
            if (failure != nullptr) *failure = LoadFailure{static_cast<Library>(k), nullptr};
            return false;
        }
    }
    std::array<void*, kSymbolCount> targets{};
    for (std::size_t k = 0; k < kSymbolCount; ++k) {
        const auto library = static_cast<std::size_t>(kSymbols[k].library);
        if ((wanted & Bit(library)) == 0) continue;
        targets[k] = dlsym(handles[library].get(), kSymbols[k].name);
        if (targets[k] == nullptr) {
            if (failure != nullptr) *failure = LoadFailure{kSymbols[k].library, kSymbols[k].name};
            return false;
        }
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

const char* LibraryPackage(Library library) { return configured::kPackages[static_cast<std::size_t>(library)]; }

std::string DescribeLoadFailure(const Sonames& sonames, const LoadFailure& failure) {
    std::string text = std::string("cannot load ") + sonames[static_cast<std::size_t>(failure.library)];
    if (failure.missingFunction != nullptr) text += std::string(": it lacks ") + failure.missingFunction;
    const std::string package = LibraryPackage(failure.library);
    if (!package.empty()) text += " (install " + package + ")";
    return text;
}

}  // namespace tarn::lazy

namespace tarn {

namespace {

bool LoadForThePlayer(lazy::LibrarySet which) {
    lazy::LoadFailure failure;
    if (lazy::LoadLibraries(lazy::CompiledSonames(), which, &failure)) return true;
    const std::string problem = lazy::DescribeLoadFailure(lazy::CompiledSonames(), failure);
    std::lock_guard lock(lazy::g_loadMutex);
    lazy::g_problem = problem;
    return false;
}

}  // namespace

bool LoadPlayerLibraries() { return LoadForThePlayer(lazy::kAllLibraries); }

bool LoadPlayerDisplayLibraries() { return LoadForThePlayer(lazy::kDisplayLibraries); }

bool LoadPictureLibraries() { return LoadForThePlayer(lazy::kPictureLibraries); }

std::string PlayerLibrariesProblem() {
    std::lock_guard lock(lazy::g_loadMutex);
    return lazy::g_problem;
}

void FinishLoadingPlayerLibraries() {
    if (!LoadPlayerLibraries()) EndCannotPlay(PlayerLibrariesProblem());
}

}  // namespace tarn

// Reached from the first call of any table function made before the player
// loaded the libraries (lazy_trampolines.cpp). The call cannot go on without
// them: the process ends as a player that cannot play, saying which library
// is missing.
extern "C" __attribute__((visibility("hidden"))) void tarn_lazy_load_on_first_call() {
    if (!tarn::LoadPlayerLibraries()) tarn::EndCannotPlay(tarn::PlayerLibrariesProblem());
}
