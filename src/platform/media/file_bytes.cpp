#include "platform/media/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarn::media {

namespace {

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

bool ReadFileBytes(const char* path, size_t mostBytes, FileBytes* out) {
    Descriptor file(open(path, O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return false;
    struct stat info {};
    if (fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0 ||
        static_cast<uint64_t>(info.st_size) > mostBytes) {
        return false;
    }
    const size_t size = static_cast<size_t>(info.st_size);
    auto data = std::make_unique_for_overwrite<uint8_t[]>(size);
    size_t have = 0;
    while (have < size) {
        const ssize_t got = read(file.get(), data.get() + have, size - have);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;  // cut short meanwhile: what was read is the file
        have += static_cast<size_t>(got);
    }
    if (have == 0) return false;
    out->data = std::move(data);
    out->size = have;
    return true;
}

}  // namespace tarn::media
