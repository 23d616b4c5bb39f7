// The command line that starts the extracted player on its show description.
#pragma once

#include "platform/win32.h"

namespace tarn {

struct LaunchCommand {
    char line[780];          // program, one space, argument
    char folder[MAX_PATH];   // the player's current folder; empty: the caller's
};

// Builds the command line "program argument". An argument that contains a
// space is replaced by its short name when that has none, else by ".\" and
// its file name, with `folder` set to the folder it lies in. A program path
// with a space is put in quotes, which the player's own reading of its
// command line skips whole. False when the result does not fit.
bool BuildLaunchCommand(const char* program, const char* argument, LaunchCommand* command);

}  // namespace tarn
