// Many profile writes to one file gathered into one replacement of it.
#pragma once

#include <string>

namespace tarn {

// While it lives, the private profile functions read and write `fileName`
// in memory: each write edits the text as it would edit the file, each read
// of that file sees the writes made so far, and nothing reaches the disk.
// Commit (or the end of the batch) then replaces the file once, atomically,
// with the edited text; a file nobody wrote to is left untouched.
//
// A rewrite of a long show description writes hundreds of keys; replacing
// the file for each one cost far more than the edits themselves. Writes to
// other files, and reads of them, go to the disk as usual. Only one batch is
// open at a time: a second one, or one for a file that exists but cannot be
// read, gathers nothing and each write goes to the disk.
#ifdef _WIN32
// Windows keeps its own cache of profile files: each write goes to it.
class ProfileWriteBatch {
public:
    explicit ProfileWriteBatch(const char*) {}
    bool Commit() { return true; }
};
#else
class ProfileWriteBatch {
public:
    explicit ProfileWriteBatch(const char* fileName);
    ~ProfileWriteBatch();
    ProfileWriteBatch(const ProfileWriteBatch&) = delete;
    ProfileWriteBatch& operator=(const ProfileWriteBatch&) = delete;

    // Writes the gathered text (if any write changed it) and ends the batch;
    // false when the file could not be replaced. Later writes go to the disk.
    bool Commit();

private:
    bool open_ = false;
};
#endif

}  // namespace tarn
