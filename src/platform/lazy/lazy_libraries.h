// The loader behind the player executable's SDL and FFmpeg functions (see
// lazy_symbol_table.h): opens the libraries by soname and fills the slots the
// functions jump through.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace tarn::lazy {

enum class Library : int { Sdl, AvUtil, AvCodec, AvFormat, SwScale, SwResample, Jpeg };
constexpr std::size_t kLibraryCount = 7;

// One name per Library, in its order.
using Sonames = std::array<const char*, kLibraryCount>;

// The sonames of the versions the player was compiled against.
const Sonames& CompiledSonames();

// A set of libraries: bit k stands for Library k.
using LibrarySet = unsigned;
constexpr LibrarySet Only(Library library) { return 1u << static_cast<int>(library); }
constexpr LibrarySet kAllLibraries = (1u << kLibraryCount) - 1;
// What decoding a JPEG with libjpeg-turbo and scaling it needs, without any
// window: libjpeg, and libswscale with the libavutil it is built on.
constexpr LibrarySet kPictureLibraries = Only(Library::Jpeg) | Only(Library::AvUtil) | Only(Library::SwScale);
// What the windows and a JPEG slide need: SDL and the above. The codec and
// format libraries, the largest by far, can follow once the first slide is
// on screen.
constexpr LibrarySet kDisplayLibraries = Only(Library::Sdl) | kPictureLibraries;

// What stopped a load: the library that did not open, or the function of
// the table that it lacks.
struct LoadFailure {
    Library library = Library::Sdl;
    const char* missingFunction = nullptr;  // nullptr: the library did not open
};

// Opens the libraries of `which` not loaded yet and looks up every function
// of the table that belongs to them. All or nothing: when a library does not
// open or lacks a function, the libraries opened by this call are closed
// again, no slot changes, `failure` (when given) tells why and the result is
// false (a later call may try again). Libraries already loaded stay as they
// are; when all of `which` are, it returns true at once.
bool LoadLibraries(const Sonames& sonames, LibrarySet which = kAllLibraries, LoadFailure* failure = nullptr);

// The failure as one line for the person who ran the player, naming the
// library and the Debian package that brings it: "cannot load
// libSDL2-2.0.so.0 (install libsdl2-2.0-0)".
std::string DescribeLoadFailure(const Sonames& sonames, const LoadFailure& failure);

// The Debian package that holds `library` on the machine the player was
// built on; empty when none was known there.
const char* LibraryPackage(Library library);

// Whether every library (or every one of `which`) is loaded.
bool LibrariesLoaded(LibrarySet which = kAllLibraries);

// The number of functions in the table.
std::size_t SymbolCount();

}  // namespace tarn::lazy
