// Reading a small file whole and replacing one atomically.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarn {

// The largest file read whole; anything bigger is refused.
constexpr size_t kMostWholeFileBytes = 16u << 20;

enum class ReadResult {
    Read,     // `contents` holds the whole file
    Absent,   // no file of that name
    Refused,  // unreadable, not a regular file, or larger than the limit
};

// Reads the regular file `path` whole; `contents` is empty unless Read.
ReadResult ReadWholeFile(const char* path, std::string* contents);

// Replaces the file `path` with `contents` so that a reader, or the file
// left by a process that dies meanwhile, is either the old file or the new
// one, never part of it: the text goes to a new file in the same folder,
// which is then renamed over the original. The data are not forced to the
// disk (a show description lives in the temporary folder and is rewritten
// dozens of times at a show's start). An existing
// file keeps its permission bits; a symbolic link is written through, not
// replaced. False, with the original untouched, when any step fails.
bool ReplaceWholeFile(const char* path, std::string_view contents);

}  // namespace tarn
