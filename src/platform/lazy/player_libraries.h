// SDL and FFmpeg are needed only when the program plays a show. The player
// executable does not link them: a package process, which copies files and
// waits, would otherwise spend tens of milliseconds and megabytes of memory
// loading 160 shared libraries it never calls. (It loads libavutil and
// libswscale alone when it decodes the first slide's JPEG for its player.)
#pragma once

#include <string>

namespace tarn {

// Makes SDL and the FFmpeg libraries callable. In the player executable this
// loads them (once; later calls return at once); in programs that link them
// directly it does nothing. False when they cannot be loaded, in which case
// none of their functions may be called.
bool LoadPlayerLibraries();

// Makes SDL, libavutil and libswscale callable, what the windows and a JPEG
// slide need, and leaves the rest to a later LoadPlayerLibraries, a first
// call of one of their functions, or FinishLoadingPlayerLibraries. False as
// above, for these three.
bool LoadPlayerDisplayLibraries();

// Makes libavutil and libswscale callable: what a JPEG decoded by
// libjpeg-turbo needs to be fitted to a screen, for a process without
// windows. False as above.
bool LoadPictureLibraries();

// Why the last of the loads above failed, as one line naming the library and
// the Debian package that brings it; empty when none has failed.
std::string PlayerLibrariesProblem();

// Loads whatever is not loaded yet, on the calling thread. When the
// libraries cannot be loaded the process ends as a player that cannot play
// (platform/cannot_play.h), naming the library, as it does when a first call
// of one of their functions cannot load them.
void FinishLoadingPlayerLibraries();

}  // namespace tarn
