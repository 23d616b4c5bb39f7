// A file open for reading at any offset, from any thread: the JPEG decoder's
// two halves read their own parts of the same file side by side.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarn::media {

class FileReader {
public:
    explicit FileReader(const char* path);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // False when the file could not be opened or is not a regular file.
    bool IsOpen() const { return fd_ >= 0; }
    // The size when it was opened.
    uint64_t Size() const { return size_; }
    // Up to `size` bytes at `offset` into `into`; the count read, short only
    // at the end of the file or on an error.
    size_t ReadAt(uint64_t offset, uint8_t* into, size_t size) const;

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

}  // namespace tarn::media
