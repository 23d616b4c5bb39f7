// Files this process created in a folder others may write to (the temporary
// folder). Each is held open, read-only, from its creation on: while the hold
// lasts no other file can take its identity, so "this name still leads to the
// file we made" is a sound test even after the name was deleted and reused.
// Nothing is ever done through a symbolic link.
#pragma once

#include <cstdint>

namespace tarn {

class OwnedFile {
public:
    OwnedFile() = default;
    ~OwnedFile();
    OwnedFile(OwnedFile&& other) noexcept;
    OwnedFile& operator=(OwnedFile&& other) noexcept;
    OwnedFile(const OwnedFile&) = delete;
    OwnedFile& operator=(const OwnedFile&) = delete;

    // Takes hold of the plain file `path` names now (a symbolic link is not
    // followed). False, holding nothing, when there is no such file.
    bool Hold(const char* path);
    bool IsHeld() const { return descriptor_ >= 0; }

    // Whether `path` still leads to the held file itself.
    bool IsNamedBy(const char* path) const;

    // Deletes `path` when it still leads to the held file, then lets go.
    // True when the file was deleted.
    bool DeleteAs(const char* path);

    // Lets the owner, and everyone who may read the held file, run it.
    bool MakeExecutable() const;

    // Lets go without deleting anything.
    void Release();

private:
    int descriptor_ = -1;
    uint64_t device_ = 0;
    uint64_t inode_ = 0;
};

}  // namespace tarn
