#include "platform/window/bmp_decoder.h"

#include <algorithm>
#include <bit>
#include <vector>

namespace tarn {
namespace {

constexpr uint32_t kRgb = 0;        // BI_RGB
constexpr uint32_t kBitFields = 3;  // BI_BITFIELDS
constexpr uint32_t kAlphaBitFields = 6;
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kCoreHeaderSize = 12;
constexpr size_t kInfoHeaderSize = 40;

// Little-endian reads; the caller checks the bounds.
uint16_t U16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
int32_t I32(const unsigned char* p) { return static_cast<int32_t>(U32(p)); }

// One colour channel described by a bit mask.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint64_t maximum = 0;

    explicit Channel(uint32_t m) : mask(m) {
        if (mask == 0) return;
        shift = std::countr_zero(mask);
        const int bits = std::countr_one(mask >> shift);
        maximum = (bits >= 32) ? 0xFFFFFFFFull : ((1ull << bits) - 1);
    }
    uint32_t Eight(uint32_t value) const {
        if (maximum == 0) return 0;
        const uint64_t v = ((value & mask) >> shift) & maximum;
        return static_cast<uint32_t>((v * 255 + maximum / 2) / maximum);
    }
};

struct Layout {
    int width = 0;
    int height = 0;  // rows stored
    bool topDown = false;
    int bitsPerPixel = 0;
    uint32_t compression = kRgb;
    uint32_t masks[3] = {0, 0, 0};
    std::vector<uint32_t> palette;
};

// Reads the info header and palette at `header` (length `available`; the
// palette ends by `paletteEnd` at the latest). `pixelsAt` receives the
// offset just past the palette.
bool ReadHeader(const unsigned char* header, size_t available, size_t paletteEnd, Layout* layout,
                size_t* pixelsAt) {
    if (available < 4) return false;
    const uint32_t headerSize = U32(header);
    if (headerSize < kCoreHeaderSize || headerSize > available) return false;
    uint32_t colourCount = 0;
    size_t entrySize = 4;
    size_t offset = headerSize;
    if (headerSize == kCoreHeaderSize) {
        layout->width = U16(header + 4);
        layout->height = static_cast<int16_t>(U16(header + 6));
        layout->bitsPerPixel = U16(header + 10);
        entrySize = 3;
    } else {
        if (headerSize < kInfoHeaderSize) return false;
        const int32_t width = I32(header + 4);
        const int32_t height = I32(header + 8);
        if (height == INT32_MIN) return false;
        layout->width = width;
        layout->height = height;
        layout->bitsPerPixel = U16(header + 14);
        layout->compression = U32(header + 16);
        colourCount = U32(header + 32);
        if (layout->compression == kBitFields || layout->compression == kAlphaBitFields) {
            // The masks sit in the larger headers, else right after the header.
            if (headerSize >= kInfoHeaderSize + 12) {
                for (int i = 0; i < 3; ++i) layout->masks[i] = U32(header + 40 + 4 * i);
            } else {
                const size_t maskBytes = layout->compression == kAlphaBitFields ? 16 : 12;
                if (available < offset + maskBytes) return false;
                for (int i = 0; i < 3; ++i) layout->masks[i] = U32(header + offset + 4 * i);
                offset += maskBytes;
            }
        } else if (layout->compression != kRgb) {
            return false;  // run-length, JPEG or PNG contents
        }
    }
    layout->topDown = layout->height < 0;
    if (layout->topDown) layout->height = -layout->height;
    if (layout->width <= 0 || layout->height <= 0 || layout->width > kMaxBitmapSide ||
        layout->height > kMaxBitmapSide) {
        return false;
    }
    switch (layout->bitsPerPixel) {
    case 1: case 4: case 8: case 24: break;
    case 16: case 32:
        if (layout->compression == kRgb) {
            if (layout->bitsPerPixel == 16) {
                layout->masks[0] = 0x7C00; layout->masks[1] = 0x03E0; layout->masks[2] = 0x001F;
            } else {
                layout->masks[0] = 0xFF0000; layout->masks[1] = 0x00FF00; layout->masks[2] = 0x0000FF;
            }
        }
        break;
    default:
        return false;
    }
    if (layout->compression != kRgb && layout->bitsPerPixel != 16 && layout->bitsPerPixel != 32) {
        return false;
    }
    if (layout->bitsPerPixel <= 8) {
        const uint32_t maximum = 1u << layout->bitsPerPixel;
        if (colourCount > maximum) return false;
        if (colourCount == 0) {
            // A full palette, unless the pixels start before its end: writers
            // of the old core format in particular store only what they use.
            const size_t room = paletteEnd > offset ? (paletteEnd - offset) / entrySize : 0;
            colourCount = static_cast<uint32_t>(std::min<size_t>(maximum, room));
        }
        if ((available - offset) / entrySize < colourCount) return false;
        layout->palette.resize(colourCount);
        for (uint32_t i = 0; i < colourCount; ++i) {
            const unsigned char* e = header + offset + i * entrySize;
            layout->palette[i] = (static_cast<uint32_t>(e[2]) << 16) |
                                 (static_cast<uint32_t>(e[1]) << 8) | e[0];
        }
        offset += colourCount * entrySize;
    }
    *pixelsAt = offset;
    return true;
}

std::optional<ws::Pixels> ReadPixels(const Layout& layout, const unsigned char* data,
                                     size_t available) {
    const uint64_t stride = ((static_cast<uint64_t>(layout.width) * layout.bitsPerPixel + 31) / 32) * 4;
    if (stride * static_cast<uint64_t>(layout.height) > available) return std::nullopt;
    ws::Pixels out;
    out.width = layout.width;
    out.height = layout.height;
    out.data.resize(static_cast<size_t>(layout.width) * layout.height);
    const Channel red(layout.masks[0]), green(layout.masks[1]), blue(layout.masks[2]);
    const auto paletteColour = [&](uint32_t index) -> uint32_t {
        return index < layout.palette.size() ? layout.palette[index] : 0;
    };
    for (int row = 0; row < layout.height; ++row) {
        const unsigned char* line = data + stride * static_cast<uint64_t>(row);
        const int y = layout.topDown ? row : layout.height - 1 - row;
        uint32_t* to = out.data.data() + static_cast<size_t>(y) * layout.width;
        for (int x = 0; x < layout.width; ++x) {
            uint32_t pixel = 0;
            switch (layout.bitsPerPixel) {
            case 1: pixel = paletteColour((line[x >> 3] >> (7 - (x & 7))) & 1); break;
            case 4: pixel = paletteColour((line[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF); break;
            case 8: pixel = paletteColour(line[x]); break;
            case 16: {
                const uint32_t v = U16(line + 2 * x);
                pixel = (red.Eight(v) << 16) | (green.Eight(v) << 8) | blue.Eight(v);
                break;
            }
            case 24: {
                const unsigned char* p = line + 3 * x;
                pixel = (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[0];
                break;
            }
            case 32: {
                const uint32_t v = U32(line + 4 * x);
                pixel = (red.Eight(v) << 16) | (green.Eight(v) << 8) | blue.Eight(v);
                break;
            }
            }
            to[x] = pixel;
        }
    }
    return out;
}

}  // namespace

std::optional<ws::Pixels> DecodeDib(const unsigned char* data, size_t size, bool iconImage) {
    if (data == nullptr) return std::nullopt;
    Layout layout;
    size_t pixelsAt = 0;
    if (!ReadHeader(data, size, size, &layout, &pixelsAt)) return std::nullopt;
    if (iconImage) {
        // The header counts the colour picture and the 1-bit transparency
        // mask that follows it; read only the colour picture.
        if (layout.height < 2) return std::nullopt;
        layout.height /= 2;
    }
    return ReadPixels(layout, data + pixelsAt, size - pixelsAt);
}

std::optional<ws::Pixels> DecodeBmp(const unsigned char* data, size_t size) {
    if (data == nullptr || size < kFileHeaderSize + 4 || data[0] != 'B' || data[1] != 'M') {
        return std::nullopt;
    }
    const uint32_t pixelOffset = U32(data + 10);
    const size_t paletteEnd =
        (pixelOffset > kFileHeaderSize && pixelOffset <= size) ? pixelOffset - kFileHeaderSize
                                                               : size - kFileHeaderSize;
    Layout layout;
    size_t pixelsAt = 0;
    if (!ReadHeader(data + kFileHeaderSize, size - kFileHeaderSize, paletteEnd, &layout, &pixelsAt)) {
        return std::nullopt;
    }
    // The file says where the pixels start; an offset of 0 is taken to mean
    // "right after the palette", as some writers leave it unset.
    size_t start = pixelOffset != 0 ? pixelOffset : kFileHeaderSize + pixelsAt;
    if (start < kFileHeaderSize + 4 || start > size) return std::nullopt;
    return ReadPixels(layout, data + start, size - start);
}

std::optional<ws::Pixels> DecodeIco(const unsigned char* data, size_t size) {
    if (data == nullptr || size < 6 || U16(data) != 0) return std::nullopt;
    const uint16_t type = U16(data + 2);
    if (type != 1 && type != 2) return std::nullopt;  // icon or cursor
    const size_t count = U16(data + 4);
    if (count == 0 || (size - 6) / 16 < count) return std::nullopt;
    // Try the images largest first (directory sizes: 0 means 256).
    struct Candidate { int area; uint32_t offset; uint32_t length; };
    std::vector<Candidate> candidates;
    for (size_t i = 0; i < count; ++i) {
        const unsigned char* e = data + 6 + 16 * i;
        const int w = e[0] ? e[0] : 256;
        const int h = e[1] ? e[1] : 256;
        candidates.push_back(Candidate{w * h, U32(e + 12), U32(e + 8)});
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.area > b.area; });
    static const unsigned char kPng[4] = {0x89, 'P', 'N', 'G'};
    for (const Candidate& c : candidates) {
        if (c.offset >= size || c.length > size - c.offset) continue;
        const unsigned char* image = data + c.offset;
        if (c.length >= 4 && std::equal(kPng, kPng + 4, image)) continue;
        if (auto pixels = DecodeDib(image, c.length, true)) return pixels;
    }
    return std::nullopt;
}

std::optional<ws::Pixels> DecodePicture(const unsigned char* data, size_t size) {
    if (data == nullptr || size < 2) return std::nullopt;
    if (data[0] == 'B' && data[1] == 'M') return DecodeBmp(data, size);
    return DecodeIco(data, size);
}

}  // namespace tarn
