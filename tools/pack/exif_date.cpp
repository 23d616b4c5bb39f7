#include "exif_date.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace tarnpack {
namespace {

constexpr uint16_t kExifIfdPointer = 0x8769;
constexpr uint16_t kDateTimeOriginal = 0x9003;
constexpr uint16_t kAsciiType = 2;
constexpr size_t kDateLength = 19;  // "YYYY:MM:DD HH:MM:SS"

class Tiff {
public:
    Tiff(const unsigned char* data, size_t size) : data_(data), size_(size) {}

    bool ReadHeader(uint32_t* firstIfd) {
        if (size_ < 8) return false;
        if (data_[0] == 'I' && data_[1] == 'I') little_ = true;
        else if (data_[0] == 'M' && data_[1] == 'M') little_ = false;
        else return false;
        if (U16(2) != 42) return false;
        *firstIfd = U32(4);
        return true;
    }

    // The entry `tag` of the directory at `ifd`: its type, count and value
    // field's offset.
    bool Find(uint32_t ifd, uint16_t tag, uint16_t* type, uint32_t* count, uint32_t* field) const {
        if (ifd < 8 || uint64_t{ifd} + 2 > size_) return false;
        const uint32_t entries = U16(ifd);
        for (uint32_t i = 0; i < entries; ++i) {
            const uint64_t at = uint64_t{ifd} + 2 + uint64_t{i} * 12;
            if (at + 12 > size_) return false;
            if (U16(static_cast<uint32_t>(at)) != tag) continue;
            *type = U16(static_cast<uint32_t>(at + 2));
            *count = U32(static_cast<uint32_t>(at + 4));
            *field = static_cast<uint32_t>(at + 8);
            return true;
        }
        return false;
    }

    uint32_t U16(uint32_t at) const {
        const unsigned char* p = data_ + at;
        return little_ ? (p[0] | p[1] << 8) : (p[0] << 8 | p[1]);
    }
    uint32_t U32(uint32_t at) const {
        const unsigned char* p = data_ + at;
        return little_ ? (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24)
                       : (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]});
    }
    const unsigned char* Bytes(uint32_t at) const { return data_ + at; }
    size_t size() const { return size_; }

private:
    const unsigned char* data_;
    size_t size_;
    bool little_ = true;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "YYYY:MM:DD HH:MM:SS" with digits where digits belong and a year set.
bool IsDate(const std::string& text) {
    if (text.size() != kDateLength) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char expected = i == 4 || i == 7 ? ':' : i == 10 ? ' ' : i == 13 || i == 16 ? ':' : '0';
        if (expected == '0' ? !IsDigit(text[i]) : text[i] != expected) return false;
    }
    return text.compare(0, 4, "0000") != 0;
}

}  // namespace

std::string ExifDateFromTiff(const unsigned char* data, size_t size) {
    Tiff tiff(data, size);
    uint32_t ifd0 = 0;
    if (!tiff.ReadHeader(&ifd0)) return {};
    uint16_t type = 0;
    uint32_t count = 0, field = 0;
    if (!tiff.Find(ifd0, kExifIfdPointer, &type, &count, &field)) return {};
    const uint32_t exifIfd = tiff.U32(field);
    if (!tiff.Find(exifIfd, kDateTimeOriginal, &type, &count, &field)) return {};
    if (type != kAsciiType || count < kDateLength) return {};
    const uint32_t at = tiff.U32(field);  // 20 bytes: never inside the entry
    if (uint64_t{at} + kDateLength > tiff.size()) return {};
    const std::string date(reinterpret_cast<const char*>(tiff.Bytes(at)), kDateLength);
    return IsDate(date) ? date : std::string();
}

std::string ExifDateTaken(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char start[2] = {};
    if (!in.read(reinterpret_cast<char*>(start), 2) || start[0] != 0xFF || start[1] != 0xD8) return {};
    // The markers before the picture's data, each with its length.
    for (;;) {
        unsigned char marker[4] = {};
        if (!in.read(reinterpret_cast<char*>(marker), 4) || marker[0] != 0xFF) return {};
        if (marker[1] == 0xDA || marker[1] == 0xD9) return {};  // the scan: no EXIF before it
        const size_t length = static_cast<size_t>(marker[2] << 8 | marker[3]);
        if (length < 2) return {};
        if (marker[1] != 0xE1) {
            in.seekg(static_cast<std::streamoff>(length - 2), std::ios::cur);
            continue;
        }
        std::vector<unsigned char> payload(length - 2);
        if (!in.read(reinterpret_cast<char*>(payload.data()), static_cast<std::streamsize>(payload.size()))) {
            return {};
        }
        if (payload.size() > 6 && std::memcmp(payload.data(), "Exif\0\0", 6) == 0) {
            return ExifDateFromTiff(payload.data() + 6, payload.size() - 6);
        }
    }
}

}  // namespace tarnpack
