#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "pending_output.h"

namespace tarnpack {

struct PendingOutput::Handle {
    int fd = -1;
    bool Close() {
        if (fd < 0) return true;
        const bool closed = close(fd) == 0;
        fd = -1;
        return closed;
    }
    ~Handle() { Close(); }
};

PendingOutput::PendingOutput(const std::string& output)
    : output_(output), path_(output + ".tarnpack-XXXXXX"), handle_(std::make_unique<Handle>()) {
    handle_->fd = mkstemp(path_.data());
    if (handle_->fd < 0) {
        error_ = "cannot write " + output_ + ": " + std::strerror(errno);
        path_.clear();
    }
}

PendingOutput::~PendingOutput() {
    handle_->Close();
    if (!path_.empty()) unlink(path_.c_str());
}

bool PendingOutput::IsOpen() const { return handle_->fd >= 0; }

bool PendingOutput::Write(const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(handle_->fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = std::string("cannot write the package: ") + std::strerror(errno);
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool PendingOutput::Truncate(uint64_t position) {
    const off_t offset = static_cast<off_t>(position);
    if (ftruncate(handle_->fd, offset) != 0 || lseek(handle_->fd, offset, SEEK_SET) != offset) {
        error_ = std::string("cannot write the package: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool PendingOutput::Commit() {
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(handle_->fd, 0777 & ~mask) != 0 || !handle_->Close()) {
        error_ = "cannot finish " + path_ + ": " + std::strerror(errno);
        return false;
    }
    if (rename(path_.c_str(), output_.c_str()) != 0) {
        error_ = "cannot write " + output_ + ": " + std::strerror(errno);
        return false;
    }
    path_.clear();
    return true;
}

}  // namespace tarnpack
