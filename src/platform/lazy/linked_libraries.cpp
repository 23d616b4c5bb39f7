// The default for programs linked against SDL and FFmpeg (the tests, the
// tools): the libraries are there from the start, nothing to load. The player
// executable links lazy_libraries.cpp, whose definition replaces this one.
#include "platform/lazy/player_libraries.h"

namespace tarn {

__attribute__((weak)) bool LoadPlayerLibraries() { return true; }
__attribute__((weak)) bool LoadPlayerDisplayLibraries() { return true; }
__attribute__((weak)) bool LoadPictureLibraries() { return true; }
__attribute__((weak)) std::string PlayerLibrariesProblem() { return ""; }
__attribute__((weak)) void FinishLoadingPlayerLibraries() {}

}  // namespace tarn
