#include "platform/media/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarn::media {

FileReader::FileReader(const char* path) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        close(fd);
        return;
    }
    fd_ = fd;
    size_ = static_cast<uint64_t>(info.st_size);
}

FileReader::~FileReader() {
    if (fd_ >= 0) close(fd_);
}

size_t FileReader::ReadAt(uint64_t offset, uint8_t* into, size_t size) const {
    size_t have = 0;
    while (have < size) {
        const ssize_t got = pread(fd_, into + have, size - have, static_cast<off_t>(offset + have));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        have += static_cast<size_t>(got);
    }
    return have;
}

}  // namespace tarn::media
