// A whole file read into memory at once: the JPEG decoder works on the
// bytes in place, from two threads when it cuts a picture in two. (A
// mapping would save the copy but would end the process if someone cut the
// file short while it is read.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tarn::media {

struct FileBytes {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
};

// False when the file cannot be read, is empty, is not a regular file or is
// larger than `mostBytes`.
bool ReadFileBytes(const char* path, size_t mostBytes, FileBytes* out);

}  // namespace tarn::media
