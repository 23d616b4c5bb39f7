// SDL and FFmpeg are needed only when the program plays a show. The player
// executable does not link them: a package process, which only copies files
// and waits, would otherwise spend tens of milliseconds and megabytes of
// memory loading 160 shared libraries it never calls.
#pragma once

namespace tarn {

// Makes SDL and the FFmpeg libraries callable. In the player executable this
// loads them (once; later calls return at once); in programs that link them
// directly it does nothing. False when they cannot be loaded, in which case
// none of their functions may be called.
bool LoadPlayerLibraries();

}  // namespace tarn
