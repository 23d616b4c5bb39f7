#include "platform/windows/picture_orientation.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "platform/media/jpeg_header.h"

namespace tarn {
namespace {

// Headers sit at the start of the file: they are read in growing steps
// until the first scan, the end of the file or this bound, as on Linux.
constexpr DWORD kFirstRead = 64 * 1024;
constexpr DWORD kMostHeaderBytes = 4 * 1024 * 1024;

class ReadHandle {
public:
    explicit ReadHandle(const wchar_t* path)
        : handle_(CreateFileW(path, GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~ReadHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    ReadHandle(const ReadHandle&) = delete;
    ReadHandle& operator=(const ReadHandle&) = delete;
    bool Open() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    const HANDLE handle_;
};

}  // namespace

int JpegOrientation(const wchar_t* path) {
    if (path == nullptr || path[0] == L'\0') return 1;
    ReadHandle file(path);
    if (!file.Open()) return 1;
    std::vector<uint8_t> bytes;
    DWORD want = kFirstRead;
    for (;;) {
        const size_t have = bytes.size();
        bytes.resize(want);
        DWORD got = 0;
        if (!ReadFile(file.Get(), bytes.data() + have, static_cast<DWORD>(want - have), &got,
                      nullptr)) {
            return 1;
        }
        bytes.resize(have + got);
        if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xD8) return 1;  // no JPEG
        const media::JpegHeader header = media::ParseJpegHeader(bytes.data(), bytes.size());
        if (header.scanOffset != 0) return header.valid ? header.orientation : 1;
        if (got < want - have || want >= kMostHeaderBytes) return 1;
        want *= 4;
    }
}

std::vector<unsigned char> TurnUpright(const std::vector<unsigned char>& rows, PictureSize stored,
                                       int orientation) {
    const size_t sw = static_cast<size_t>(stored.width);
    const size_t sh = static_cast<size_t>(stored.height);
    if (orientation < 2 || orientation > 8 || stored.width <= 0 || stored.height <= 0 ||
        rows.size() != sw * sh * 4) {
        return rows;
    }
    const PictureSize seen = OrientedSize(stored, orientation);
    const size_t w = static_cast<size_t>(seen.width);
    const size_t h = static_cast<size_t>(seen.height);
    std::vector<unsigned char> out(rows.size());
    for (size_t y = 0; y < h; ++y) {
        for (size_t x = 0; x < w; ++x) {
            // The stored pixel seen at (x, y).
            size_t sx = x;
            size_t sy = y;
            switch (orientation) {
            case 2: sx = w - 1 - x; break;                      // mirrored left to right
            case 3: sx = w - 1 - x; sy = h - 1 - y; break;      // half a turn
            case 4: sy = h - 1 - y; break;                      // mirrored top to bottom
            case 5: sx = y; sy = x; break;                      // mirrored on the diagonal
            case 6: sx = y; sy = w - 1 - x; break;              // a quarter clockwise
            case 7: sx = h - 1 - y; sy = w - 1 - x; break;      // mirrored on the other diagonal
            case 8: sx = h - 1 - y; sy = x; break;              // a quarter anticlockwise
            default: break;
            }
            std::memcpy(&out[(y * w + x) * 4], &rows[(sy * sw + sx) * 4], 4);
        }
    }
    return out;
}

}  // namespace tarn
