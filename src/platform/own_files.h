// Deleting a file only when it is this user's own.
//
// The temporary folder is shared: other users keep files there, and a show
// description, text anyone can write, may name them. A player that runs
// with the right to delete them (as root, or in a folder without the sticky
// bit) must still leave them alone.
#pragma once

#include "platform/win32.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarn {

// Deletes the file `path` names when it belongs to the user this program
// runs as; a symbolic link is removed itself, never what it leads to. True
// when the file was deleted.
inline bool DeleteOwnFile(const char* path) {
#ifdef _WIN32
    // A user's temporary folder on Windows is that user's alone.
    return DeleteFileA(path) != 0;
#else
    if (path == nullptr || path[0] == '\0') return false;
    struct stat info {};
    if (::lstat(path, &info) != 0 || info.st_uid != ::geteuid()) return false;
    // In a sticky folder nobody but this user can swap a file of this user
    // for another between the look and the deletion.
    return DeleteFileA(path) != 0;
#endif
}

}  // namespace tarn
