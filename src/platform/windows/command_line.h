// The command line as the entry sees it, and its split into tokens.
#pragma once

#include "platform/win32.h"

namespace tarn {

// The part of the process command line `full` that the entry receives: the
// program name removed (a quoted name up to its closing quote, an unquoted
// one up to the first character of code 0x20 or below), then every
// following character of code 0x20 or below skipped. Points into `full`.
const char* ReceivedCommandLine(const char* full, UINT codePage = CP_ACP);

// Splits `text` in place on the space character: runs of spaces are
// skipped, each token runs up to the next space, which becomes a NUL. Only
// the space separates tokens (a tab belongs to its token, quotes stay), and
// a double-byte character of `codePage` is stepped over whole. Returns the
// first token, or nullptr when there is none.
char* SplitCommandLine(char* text, UINT codePage = CP_ACP);

}  // namespace tarn
