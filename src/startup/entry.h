// The program's entry: package mode without an argument, player mode with the
// show description path as the first argument.
#pragma once

#include "platform/win32.h"

// `argument` is the first command-line argument as the shell delimited it,
// or nullptr when there is none. Returns the process exit code.
int TarnPlayerEntry(HINSTANCE instance, const char* argument, int showCommand);
