#include "platform/media/jpeg_halves.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tarn::media {

namespace {

constexpr int kMostComponents = 4;
// Restart markers count modulo 8: RST0 .. RST7.
constexpr int kMarkerCycle = 8;
// Headers are read in growing steps from this size to the bound.
constexpr size_t kFirstHeaderBytes = 64 * 1024;
constexpr size_t kMostHeaderBytes = 4 * 1024 * 1024;
constexpr size_t kMemoryChunkBytes = 4093;

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

int CeilDiv(int a, int b) { return (a + b - 1) / b; }

struct Component {
    int id = 0;
    int h = 0;
    int v = 0;
};

// What the headers up to the scan say.
struct Headers {
    size_t heightAt = 0;  // offset of the frame header's 16-bit height
    int width = 0;
    int height = 0;
    int componentCount = 0;
    Component components[kMostComponents];
    int restartInterval = 0;
    size_t scanData = 0;  // first byte after the scan header
};

// Reads the markers from the start of image to the end of the first scan
// header. Only a baseline or extended sequential Huffman frame whose first
// scan holds every component qualifies.
bool ReadHeaders(const uint8_t* data, size_t size, Headers* h) {
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    bool haveFrame = false;
    size_t at = 2;
    for (;;) {
        if (at + 4 > size || data[at] != 0xFF) return false;
        while (at + 4 <= size && data[at + 1] == 0xFF) ++at;  // fill bytes
        if (at + 4 > size) return false;
        const uint8_t marker = data[at + 1];
        const size_t length = Be16(data + at + 2);
        if (length < 2 || at + 2 + length > size) return false;
        const uint8_t* payload = data + at + 4;
        const size_t payloadSize = length - 2;
        switch (marker) {
            case 0xC0:
            case 0xC1: {  // baseline, extended sequential (Huffman)
                if (haveFrame || payloadSize < 6 || payload[0] != 8) return false;
                h->heightAt = at + 5;
                h->height = Be16(payload + 1);
                h->width = Be16(payload + 3);
                h->componentCount = payload[5];
                if (h->height == 0 || h->width == 0) return false;  // height given later (DNL)
                if (h->componentCount < 1 || h->componentCount > kMostComponents) return false;
                if (payloadSize != 6 + 3 * static_cast<size_t>(h->componentCount)) return false;
                for (int c = 0; c < h->componentCount; ++c) {
                    const uint8_t* spec = payload + 6 + 3 * c;
                    Component& component = h->components[c];
                    component.id = spec[0];
                    component.h = spec[1] >> 4;
                    component.v = spec[1] & 0x0F;
                    if (component.h < 1 || component.h > 4 || component.v < 1 || component.v > 4)
                        return false;
                }
                haveFrame = true;
                break;
            }
            case 0xDD:  // restart interval
                if (payloadSize != 2) return false;
                h->restartInterval = Be16(payload);
                break;
            case 0xDA: {  // the scan: it must hold every component, in one go
                if (!haveFrame || payloadSize < 1) return false;
                const int count = payload[0];
                if (count != h->componentCount || payloadSize != 1 + 2 * static_cast<size_t>(count) + 3)
                    return false;
                for (int c = 0; c < count; ++c) {
                    if (payload[1 + 2 * c] != h->components[c].id) return false;
                }
                const uint8_t* spectral = payload + 1 + 2 * count;
                if (spectral[0] != 0 || spectral[1] != 63 || spectral[2] != 0) return false;
                h->scanData = at + 2 + length;
                return true;
            }
            default:
                // Other frames (progressive, lossless, arithmetic), arithmetic
                // conditioning, a second image or markers without a length.
                if (marker >= 0xC2 && marker <= 0xCF && marker != 0xC4) return false;
                if (marker == 0xD8 || marker == 0xD9 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01)
                    return false;
                break;
        }
        at += 2 + length;
    }
}

// Rows of MCUs and MCUs per row, as a decoder lays out the scan.
void McuLayout(const Headers& h, int* mcuRowPixels, int* mcusPerRow, int* mcuRows) {
    int maxH = 1;
    int maxV = 1;
    for (int c = 0; c < h.componentCount; ++c) {
        maxH = std::max(maxH, h.components[c].h);
        maxV = std::max(maxV, h.components[c].v);
    }
    if (h.componentCount == 1) {
        // A scan of one component is made of its single blocks, whatever
        // the sampling factors say.
        const Component& c = h.components[0];
        const int componentWidth = CeilDiv(h.width * c.h, maxH);
        const int componentHeight = CeilDiv(h.height * c.v, maxV);
        *mcusPerRow = CeilDiv(componentWidth, 8);
        *mcuRows = CeilDiv(componentHeight, 8);
        *mcuRowPixels = 8 * maxV / c.v;
    } else {
        *mcusPerRow = CeilDiv(h.width, 8 * maxH);
        *mcuRows = CeilDiv(h.height, 8 * maxV);
        *mcuRowPixels = 8 * maxV;
    }
}

// Finds restart marker number `wanted` (counted from 1) in the entropy-coded
// data from `at`, reading the file a chunk at a time; its offset, or 0 when
// another marker comes first, a marker is out of turn or the file ends.
class MarkerScan {
public:
    MarkerScan(const JpegByteReader& read, uint64_t fileSize, size_t chunkBytes)
        : read_(read), fileSize_(fileSize), chunk_(std::max<size_t>(chunkBytes, 2)) {}

    uint64_t Find(uint64_t at, int wanted) {
        int seen = 0;
        // Bytes of the chunk in hand start at `base`; the scan is at `at`.
        uint64_t base = at;
        size_t have = 0;
        for (;;) {
            if (at + 1 >= fileSize_) return 0;
            if (at + 1 >= base + have) {  // the pair at `at` is not all in hand
                base = at;
                have = read_(base, chunk_.data(), static_cast<size_t>(std::min<uint64_t>(chunk_.size(), fileSize_ - base)));
                if (have < 2) return 0;
            }
            const uint8_t* data = chunk_.data();
            size_t i = static_cast<size_t>(at - base);
            const void* found = std::memchr(data + i, 0xFF, have - 1 - i);
            if (!found) {
                at = base + have - 1;  // the last byte may start a pair
                continue;
            }
            i = static_cast<size_t>(static_cast<const uint8_t*>(found) - data);
            at = base + i;
            const uint8_t next = data[i + 1];
            if (next == 0x00) {  // a stuffed data byte
                at += 2;
                continue;
            }
            if (next == 0xFF) {  // fill byte before a marker
                at += 1;
                continue;
            }
            if (next < 0xD0 || next > 0xD7) return 0;  // the scan ended early
            if (next - 0xD0 != seen % kMarkerCycle) return 0;
            if (++seen == wanted) return at;
            at += 2;
        }
    }

private:
    const JpegByteReader& read_;
    uint64_t fileSize_;
    std::vector<uint8_t> chunk_;
};

std::vector<uint8_t> HeaderWithHeight(const uint8_t* data, const Headers& h, int height) {
    std::vector<uint8_t> header(data, data + h.scanData);
    header[h.heightAt] = static_cast<uint8_t>(height >> 8);
    header[h.heightAt + 1] = static_cast<uint8_t>(height & 0xFF);
    return header;
}

}  // namespace

bool PlanJpegHalvesFrom(const JpegByteReader& read, uint64_t fileSize, double topShare, size_t chunkBytes,
                        JpegHalves* out) {
    if (!out || !(topShare > 0.0 && topShare < 1.0)) return false;
    // The headers, read in growing steps until the scan header is in hand.
    std::vector<uint8_t> prefix;
    Headers h;
    for (size_t want = kFirstHeaderBytes;; want *= 4) {
        want = static_cast<size_t>(std::min<uint64_t>(want, fileSize));
        const size_t have = prefix.size();
        prefix.resize(want);
        prefix.resize(have + read(have, prefix.data() + have, want - have));
        if (ReadHeaders(prefix.data(), prefix.size(), &h)) break;
        if (prefix.size() < want || want >= fileSize || want >= kMostHeaderBytes) return false;
    }
    int mcuRowPixels = 0;
    int mcusPerRow = 0;
    int mcuRows = 0;
    McuLayout(h, &mcuRowPixels, &mcusPerRow, &mcuRows);
    if (h.restartInterval <= 0 || h.restartInterval % mcusPerRow != 0) return false;
    const int rowsPerInterval = h.restartInterval / mcusPerRow;

    // The cut follows a whole number of cycles of eight markers; the bottom
    // half must keep at least one row.
    const int rowsPerCycle = rowsPerInterval * kMarkerCycle;
    const int mostCycles = (mcuRows - 1) / rowsPerCycle;
    if (mostCycles < 1) return false;
    const int cycles = std::clamp(static_cast<int>(std::lround(topShare * mcuRows / rowsPerCycle)), 1, mostCycles);
    const int markers = cycles * kMarkerCycle;
    const int topHeight = cycles * rowsPerCycle * mcuRowPixels;
    if (topHeight >= h.height) return false;

    MarkerScan scan(read, fileSize, chunkBytes);
    const uint64_t marker = scan.Find(h.scanData, markers);
    if (marker == 0) return false;

    out->width = h.width;
    out->height = h.height;
    out->topHeight = topHeight;
    out->topHeader = HeaderWithHeight(prefix.data(), h, topHeight);
    out->bottomHeader = HeaderWithHeight(prefix.data(), h, h.height - topHeight);
    out->topBegin = h.scanData;
    out->topEnd = marker;
    out->bottomBegin = marker + 2;
    out->bottomEnd = fileSize;
    return true;
}

bool PlanJpegHalves(const uint8_t* data, size_t size, double topShare, JpegHalves* out) {
    if (!data) return false;
    const JpegByteReader read = [&](uint64_t offset, uint8_t* into, size_t count) -> size_t {
        if (offset >= size) return 0;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(count, size - offset));
        std::memcpy(into, data + offset, n);
        return n;
    };
    // Small odd chunks: every way a marker can straddle two of them is met.
    return PlanJpegHalvesFrom(read, size, topShare, kMemoryChunkBytes, out);
}

}  // namespace tarn::media
