#include "platform/kernel/owned_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace tarn {

OwnedFile::~OwnedFile() { Release(); }

OwnedFile::OwnedFile(OwnedFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)), device_(other.device_), inode_(other.inode_) {}

OwnedFile& OwnedFile::operator=(OwnedFile&& other) noexcept {
    if (this != &other) {
        Release();
        descriptor_ = std::exchange(other.descriptor_, -1);
        device_ = other.device_;
        inode_ = other.inode_;
    }
    return *this;
}

bool OwnedFile::Hold(const char* path) {
    Release();
    if (path == nullptr) return false;
    int descriptor;
    do {
        // O_NONBLOCK: a planted pipe must not stall the open.
        descriptor = open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) return false;
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(descriptor);
        return false;
    }
    descriptor_ = descriptor;
    device_ = static_cast<uint64_t>(status.st_dev);
    inode_ = static_cast<uint64_t>(status.st_ino);
    return true;
}

bool OwnedFile::IsNamedBy(const char* path) const {
    struct stat status {};
    return IsHeld() && path != nullptr && lstat(path, &status) == 0 && S_ISREG(status.st_mode) &&
           static_cast<uint64_t>(status.st_dev) == device_ &&
           static_cast<uint64_t>(status.st_ino) == inode_;
}

bool OwnedFile::DeleteAs(const char* path) {
    // In a sticky temporary folder only this user could swap the name
    // between the look and the deletion.
    const bool deleted = IsNamedBy(path) && unlink(path) == 0;
    Release();
    return deleted;
}

bool OwnedFile::MakeExecutable() const {
    struct stat status {};
    if (!IsHeld() || fstat(descriptor_, &status) != 0) return false;
    mode_t mode = status.st_mode & 07777;
    mode |= S_IXUSR;
    if (mode & S_IRGRP) mode |= S_IXGRP;
    if (mode & S_IROTH) mode |= S_IXOTH;
    return fchmod(descriptor_, mode) == 0;
}

void OwnedFile::Release() {
    if (descriptor_ >= 0) close(descriptor_);
    descriptor_ = -1;
}

}  // namespace tarn
