#include "platform/kernel/owned_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn {
namespace {

bool Same(const struct stat& status, const FileIdentity& identity) {
    return identity.valid && S_ISREG(status.st_mode) &&
           static_cast<uint64_t>(status.st_dev) == identity.device &&
           static_cast<uint64_t>(status.st_ino) == identity.inode;
}

// An open descriptor, closed when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

FileIdentity IdentifyFile(const char* path) {
    FileIdentity identity;
    struct stat status {};
    if (path == nullptr || lstat(path, &status) != 0 || !S_ISREG(status.st_mode)) return identity;
    identity.device = static_cast<uint64_t>(status.st_dev);
    identity.inode = static_cast<uint64_t>(status.st_ino);
    identity.valid = true;
    return identity;
}

bool DeleteOwnedFile(const char* path, const FileIdentity& identity) {
    struct stat status {};
    if (!identity.valid || lstat(path, &status) != 0 || !Same(status, identity)) return false;
    // In a sticky temporary folder only this user may replace the name
    // between the look and the deletion.
    return unlink(path) == 0;
}

bool MakeOwnedFileExecutable(const char* path, const FileIdentity& identity) {
    // O_NOFOLLOW refuses a symbolic link; the identity check refuses any
    // other file put under the name.
    Descriptor file(open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) return false;
    struct stat status {};
    if (fstat(file.get(), &status) != 0 || !Same(status, identity)) return false;
    mode_t mode = status.st_mode & 07777;
    mode |= S_IXUSR;
    if (mode & S_IRGRP) mode |= S_IXGRP;
    if (mode & S_IROTH) mode |= S_IXOTH;
    return fchmod(file.get(), mode) == 0;
}

}  // namespace tarn
