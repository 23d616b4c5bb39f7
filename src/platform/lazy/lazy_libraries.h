// The loader behind the player executable's SDL and FFmpeg functions (see
// lazy_symbol_table.h): opens the libraries by soname and fills the slots the
// functions jump through.
#pragma once

#include <array>
#include <cstddef>

namespace tarn::lazy {

enum class Library : int { Sdl, AvUtil, AvCodec, AvFormat, SwScale, SwResample };
constexpr std::size_t kLibraryCount = 6;

// One name per Library, in its order.
using Sonames = std::array<const char*, kLibraryCount>;

// The sonames of the versions the player was compiled against.
const Sonames& CompiledSonames();

// Opens every library and looks up every function of the table. All or
// nothing: when a library does not open or lacks a function, the libraries
// opened so far are closed again, no slot changes and the result is false
// (a later call may try again). Once it has succeeded it returns true at once.
bool LoadLibraries(const Sonames& sonames);

bool LibrariesLoaded();

// The number of functions in the table.
std::size_t SymbolCount();

}  // namespace tarn::lazy
