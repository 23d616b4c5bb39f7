// The plain player that becomes entry 0 of a package: a player that already
// carries a package contributes only its own image.
#pragma once

#include <cstdint>
#include <string>

namespace tarnpack {

struct PlayerImage {
    uint64_t size = 0;      // bytes taken from the start of the file
    bool stripped = false;  // the file carried a package, left out
};

// Finds the image of the player at `path`; false with `error` set when it is
// no program or too large for a package.
bool FindPlayerImage(const std::string& path, PlayerImage* image, std::string* error);

// Whether `bytes` begin like a program of this system.
bool LooksLikeProgram(const std::string& bytes);

}  // namespace tarnpack
