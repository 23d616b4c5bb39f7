// Running an extracted show: the rewrite of its show description and the
// start of the extracted player.
#pragma once

#include <cstddef>
#include <cstdint>

int RewriteShowDescription();

// The file the rewrite will name for the first slide, read from the show
// description as extracted: its path, as the player will read it, in `path`
// (`size` bytes), and the slot of the entry that holds it, the last of its
// name (a later entry's file replaces an earlier one's). -1, and `path`
// untouched, when the first slide names no entry of the package.
int32_t FirstSlideFile(char* path, size_t size);

// Runs the extracted player on the extracted show description, waits for
// it, and removes what the package extracted. Returns the player's exit
// status: 128 and the signal's number when a signal ended it, and
// tarn::kCannotPlayStatus, said on standard error, when it could not be
// started at all.
int LaunchPlayer();
