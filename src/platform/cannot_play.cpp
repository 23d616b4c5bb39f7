#include "platform/cannot_play.h"

#include <cstdio>
#include <cstdlib>

namespace tarn {

void SayCannotPlay(const std::string& what) {
    const std::string line = "tarnplayer: " + what + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void EndCannotPlay(const std::string& what) {
    SayCannotPlay(what);
    std::_Exit(kCannotPlayStatus);
}

}  // namespace tarn
