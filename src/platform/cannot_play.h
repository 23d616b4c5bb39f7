// The player's one word on a machine where it cannot play at all: a line on
// standard error naming what is missing, and an exit status other than 0.
// Everything else about a show is silent.
#pragma once

#include <string>

namespace tarn {

// The exit status of a player, and of the package that started it, that
// could not play the show at all.
constexpr int kCannotPlayStatus = 1;

// Writes "tarnplayer: <what>" and a newline to standard error in one write.
void SayCannotPlay(const std::string& what);

// Says so and ends the process at once with kCannotPlayStatus, from any
// thread, without running the exit-time clean-up of objects that may be in
// use on other threads.
[[noreturn]] void EndCannotPlay(const std::string& what);

}  // namespace tarn
