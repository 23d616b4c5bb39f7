// Files this process created in a folder others may write to (the temporary
// folder): their identity, and changes made only while a name still leads to
// the very file that was created, never through a symbolic link.
#pragma once

#include <cstdint>

namespace tarn {

// Which file a name led to when it was looked at. Two different files never
// share an identity while both exist.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool valid = false;
};

// The identity of the file `path` names itself; a symbolic link is not
// followed. Invalid when nothing (or something other than a plain file) is
// there.
FileIdentity IdentifyFile(const char* path);

// Deletes `path` only when it still names the plain file `identity`. Returns
// true when that file was deleted.
bool DeleteOwnedFile(const char* path, const FileIdentity& identity);

// Lets the file's owner, and everyone who may read it, run it, when `path`
// still names the plain file `identity`. Returns true on success.
bool MakeOwnedFileExecutable(const char* path, const FileIdentity& identity);

}  // namespace tarn
