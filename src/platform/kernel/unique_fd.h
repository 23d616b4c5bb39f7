// An owned POSIX file descriptor, closed when its owner goes away.
#pragma once

#include <unistd.h>

#include <utility>

namespace tarn {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release() { return std::exchange(fd_, -1); }
    // Closes the descriptor; false when close reported an error (a write that
    // the system could not complete, for instance).
    bool Reset() {
        if (fd_ < 0) return true;
        const int result = ::close(std::exchange(fd_, -1));
        return result == 0;
    }

private:
    int fd_ = -1;
};

}  // namespace tarn
