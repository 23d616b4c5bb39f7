#include "platform/media/jpeg_header.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace tarn::media {

namespace {

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

uint16_t Read16(const uint8_t* p, bool little) {
    return little ? static_cast<uint16_t>(p[0] | p[1] << 8) : Be16(p);
}

uint32_t Read32(const uint8_t* p, bool little) {
    return little ? (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24)
                  : (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]});
}

bool IsFrameHeader(uint8_t marker) {
    // SOF0..SOF15, except DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

constexpr size_t kMostHeaderBytes = 4 * 1024 * 1024;

}  // namespace

int ParseExifOrientation(const uint8_t* tiff, size_t size) {
    if (!tiff || size < 8) return 1;
    bool little;
    if (tiff[0] == 'I' && tiff[1] == 'I') little = true;
    else if (tiff[0] == 'M' && tiff[1] == 'M') little = false;
    else return 1;
    if (Read16(tiff + 2, little) != 42) return 1;
    const uint32_t ifd = Read32(tiff + 4, little);
    if (ifd < 8 || ifd > size - 2) return 1;
    const uint32_t entries = Read16(tiff + ifd, little);
    for (uint32_t i = 0; i < entries; ++i) {
        const uint64_t at = uint64_t{ifd} + 2 + uint64_t{i} * 12;
        if (at + 12 > size) return 1;
        const uint8_t* entry = tiff + at;
        if (Read16(entry, little) != 0x0112) continue;
        const uint16_t type = Read16(entry + 2, little);
        const uint32_t count = Read32(entry + 4, little);
        if (type != 3 || count < 1) return 1;  // a SHORT, stored in the entry
        const int value = Read16(entry + 8, little);
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

JpegHeader ParseJpegHeader(const uint8_t* data, size_t size) {
    JpegHeader header;
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return header;
    size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF) {
            ++at;  // stray byte between segments: look for the next marker
            continue;
        }
        uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        at += 2;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;  // no length
        if (marker == 0xD9) break;
        if (marker == 0xDA) {  // the first scan: everything the header says is known
            header.scanOffset = at - 2;
            break;
        }
        if (at + 2 > size) break;
        const size_t length = Be16(data + at);
        if (length < 2 || at + length > size) break;
        const uint8_t* payload = data + at + 2;
        const size_t payloadSize = length - 2;
        if (marker == 0xE1 && payloadSize > 6 && std::memcmp(payload, "Exif\0\0", 6) == 0) {
            header.orientation = ParseExifOrientation(payload + 6, payloadSize - 6);
        } else if (IsFrameHeader(marker)) {
            if (payloadSize < 5) break;
            header.height = Be16(payload + 1);
            header.width = Be16(payload + 3);
            header.progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
            header.valid = header.width > 0 && header.height > 0;
        }
        at += length;
    }
    if (header.scanOffset == 0) header.valid = false;  // no picture data follows
    return header;
}

JpegHeader ReadJpegHeader(const char* path) {
    struct Closer {
        void operator()(FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<FILE, Closer> file(std::fopen(path, "rb"));
    if (!file) return {};
    // Headers sit at the start; read in growing steps until the frame header
    // is found or the bound is reached.
    std::vector<uint8_t> bytes;
    size_t want = 64 * 1024;
    for (;;) {
        const size_t have = bytes.size();
        bytes.resize(want);
        const size_t got = std::fread(bytes.data() + have, 1, want - have, file.get());
        bytes.resize(have + got);
        JpegHeader header = ParseJpegHeader(bytes.data(), bytes.size());
        if (header.scanOffset != 0 || got < want - have || want >= kMostHeaderBytes) return header;
        want *= 4;
    }
}

bool JpegHasEnd(const char* path, size_t scanOffset) {
    struct Closer {
        void operator()(FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<FILE, Closer> file(std::fopen(path, "rb"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return false;
    const long size = std::ftell(file.get());
    if (size < 0 || static_cast<size_t>(size) <= scanOffset + 2) return false;
    // Scan data never holds FF D9 (an FF there is followed by 00 or a restart
    // marker), so the first one found from the end, past the scan start, is
    // the real end. Search backwards in blocks.
    constexpr size_t kBlock = 64 * 1024;
    std::vector<uint8_t> block(kBlock + 1);
    size_t end = static_cast<size_t>(size);
    while (end > scanOffset + 2) {
        const size_t begin = end - std::min(kBlock, end - scanOffset);
        const size_t length = end - begin + (end < static_cast<size_t>(size) ? 1 : 0);
        if (std::fseek(file.get(), static_cast<long>(begin), SEEK_SET) != 0) return false;
        if (std::fread(block.data(), 1, length, file.get()) != length) return false;
        for (size_t i = length - 1; i > 0; --i)
            if (block[i - 1] == 0xFF && block[i] == 0xD9) return true;
        end = begin;
    }
    return false;
}

}  // namespace tarn::media
