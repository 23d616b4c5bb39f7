#include "jpeg_samples.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

extern "C" {
#include <jpeglib.h>
}

namespace tarn::test {
namespace {

struct Trap {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    int warnings = 0;
};

void OnError(j_common_ptr info) { std::longjmp(static_cast<Trap*>(info->client_data)->jump, 1); }
void OnMessage(j_common_ptr info, int level) {
    if (level < 0) static_cast<Trap*>(info->client_data)->warnings++;
}
void Silent(j_common_ptr) {}

jpeg_error_mgr* Install(Trap& trap) {
    jpeg_std_error(&trap.manager);
    trap.manager.error_exit = OnError;
    trap.manager.emit_message = OnMessage;
    trap.manager.output_message = Silent;
    return &trap.manager;
}

// Smooth gradients under noise: every coefficient has work to do.
std::vector<uint8_t> Pattern(const JpegSample& sample) {
    std::vector<uint8_t> samples(static_cast<size_t>(sample.width) * sample.height * sample.components);
    uint32_t state = sample.seed * 2654435761u + 7u;
    size_t i = 0;
    for (int y = 0; y < sample.height; ++y) {
        for (int x = 0; x < sample.width; ++x) {
            for (int c = 0; c < sample.components; ++c) {
                state = state * 1103515245u + 12345u;
                const int noise = static_cast<int>((state >> 24) % 48);
                samples[i++] = static_cast<uint8_t>((x * (3 + c) + y * (5 - c) + noise) & 0xFF);
            }
        }
    }
    return samples;
}

struct Compressor {
    jpeg_compress_struct info{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    bool created = false;
    ~Compressor() {
        if (created) jpeg_destroy_compress(&info);
        std::free(buffer);
    }
};

bool Compress(Compressor& c, Trap& trap, const JpegSample& sample, const std::vector<uint8_t>& pixels,
              jpeg_scan_info* scans) {
    if (setjmp(trap.jump) != 0) return false;
    c.info.err = Install(trap);
    jpeg_create_compress(&c.info);
    c.created = true;
    c.info.client_data = &trap;
    jpeg_mem_dest(&c.info, &c.buffer, &c.size);
    c.info.image_width = static_cast<JDIMENSION>(sample.width);
    c.info.image_height = static_cast<JDIMENSION>(sample.height);
    c.info.input_components = sample.components;
    c.info.in_color_space = sample.components == 1 ? JCS_GRAYSCALE : sample.components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c.info);
    jpeg_set_quality(&c.info, sample.quality, TRUE);
    c.info.arith_code = sample.arithmetic ? TRUE : FALSE;
    c.info.restart_in_rows = sample.restartRows;
    c.info.restart_interval = static_cast<unsigned>(sample.restartMcus);
    int scanCount = 0;
    switch (sample.scans) {
        case JpegSample::Baseline:
            break;
        case JpegSample::Progressive:
            jpeg_simple_progression(&c.info);
            break;
        case JpegSample::OneScanPerComponent:
            for (int component = 0; component < sample.components; ++component) {
                scans[scanCount].comps_in_scan = 1;
                scans[scanCount].component_index[0] = component;
                scans[scanCount].Ss = 0;
                scans[scanCount].Se = DCTSIZE2 - 1;
                scans[scanCount].Ah = scans[scanCount].Al = 0;
                ++scanCount;
            }
            break;
        case JpegSample::ProgressiveDcOnly:
            scans[0].comps_in_scan = sample.components;
            for (int component = 0; component < sample.components; ++component) {
                scans[0].component_index[component] = component;
            }
            scans[0].Ss = scans[0].Se = scans[0].Ah = scans[0].Al = 0;
            scanCount = 1;
            break;
    }
    if (scanCount != 0) {
        c.info.scan_info = scans;
        c.info.num_scans = scanCount;
    }
    jpeg_start_compress(&c.info, TRUE);
    for (const auto& [marker, data] : sample.markers) {
        jpeg_write_marker(&c.info, marker, reinterpret_cast<const JOCTET*>(data.data()),
                          static_cast<unsigned>(data.size()));
    }
    const size_t stride = static_cast<size_t>(sample.width) * sample.components;
    while (c.info.next_scanline < c.info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + c.info.next_scanline * stride);
        jpeg_write_scanlines(&c.info, &row, 1);
    }
    jpeg_finish_compress(&c.info);
    return true;
}

struct Decompressor {
    jpeg_decompress_struct info{};
    bool created = false;
    ~Decompressor() {
        if (created) jpeg_destroy_decompress(&info);
    }
};

bool Decompress(Decompressor& d, Trap& trap, const std::string& bytes, JpegPixels* out) {
    if (setjmp(trap.jump) != 0) return false;
    d.info.err = Install(trap);
    jpeg_create_decompress(&d.info);
    d.created = true;
    d.info.client_data = &trap;
    jpeg_mem_src(&d.info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&d.info, TRUE) != JPEG_HEADER_OK) return false;
    jpeg_start_decompress(&d.info);
    out->width = static_cast<int>(d.info.output_width);
    out->height = static_cast<int>(d.info.output_height);
    out->components = d.info.output_components;
    const size_t stride = static_cast<size_t>(out->width) * out->components;
    out->samples.resize(stride * out->height);
    while (d.info.output_scanline < d.info.output_height) {
        JSAMPROW row = out->samples.data() + d.info.output_scanline * stride;
        jpeg_read_scanlines(&d.info, &row, 1);
    }
    jpeg_finish_decompress(&d.info);
    return trap.warnings == 0;
}

}  // namespace

std::string MakeJpeg(const JpegSample& sample) {
    const std::vector<uint8_t> pixels = Pattern(sample);
    Compressor compressor;
    Trap trap;
    jpeg_scan_info scans[MAX_COMPONENTS] = {};
    if (!Compress(compressor, trap, sample, pixels, scans)) throw std::runtime_error("libjpeg refused the sample");
    return std::string(reinterpret_cast<const char*>(compressor.buffer), compressor.size);
}

std::pair<int, std::string> ExifMarker(unsigned seed) {
    std::string data("Exif\0\0MM\0*\0\0\0\x08", 14);
    for (unsigned i = 0; i < 40; ++i) data.push_back(static_cast<char>((seed * 31 + i * 7) & 0xFF));
    return {JPEG_APP0 + 1, data};
}

std::pair<int, std::string> CommentMarker(const std::string& text) { return {JPEG_COM, text}; }

std::vector<JpegSegment> JpegSegments(const std::string& bytes) {
    std::vector<JpegSegment> segments;
    auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    size_t i = 0;
    while (i + 1 < bytes.size()) {
        if (at(i) != 0xFF) throw std::runtime_error("no marker at " + std::to_string(i));
        const int marker = at(i + 1);
        if (marker == 0xFF) {  // fill byte
            ++i;
            continue;
        }
        i += 2;
        if (marker == 0xD8 || marker == 0xD9) {
            segments.push_back({marker, ""});
            if (marker == 0xD9) break;
            continue;
        }
        if (i + 2 > bytes.size()) throw std::runtime_error("a segment without its length");
        const size_t length = static_cast<size_t>(at(i)) << 8 | at(i + 1);
        if (length < 2 || i + length > bytes.size()) throw std::runtime_error("a segment past the end");
        segments.push_back({marker, bytes.substr(i + 2, length - 2)});
        i += length;
        if (marker != 0xDA) continue;
        // Entropy-coded data run to the next marker other than a stuffed
        // zero or a restart marker.
        while (i + 1 < bytes.size() &&
               !(at(i) == 0xFF && at(i + 1) != 0x00 && !(at(i + 1) >= 0xD0 && at(i + 1) <= 0xD7))) {
            ++i;
        }
    }
    return segments;
}

int RestartInterval(const std::vector<JpegSegment>& segments) {
    for (const JpegSegment& segment : segments) {
        if (segment.marker == 0xDD && segment.data.size() == 2) {
            return static_cast<unsigned char>(segment.data[0]) << 8 | static_cast<unsigned char>(segment.data[1]);
        }
    }
    return 0;
}

int CountSegments(const std::vector<JpegSegment>& segments, int marker) {
    int count = 0;
    for (const JpegSegment& segment : segments) count += segment.marker == marker ? 1 : 0;
    return count;
}

std::vector<JpegSegment> MetadataSegments(const std::vector<JpegSegment>& segments) {
    std::vector<JpegSegment> metadata;
    for (const JpegSegment& segment : segments) {
        if ((segment.marker >= 0xE0 && segment.marker <= 0xEF) || segment.marker == 0xFE) {
            metadata.push_back(segment);
        }
    }
    return metadata;
}

JpegPixels DecodeJpeg(const std::string& bytes) {
    JpegPixels pixels;
    Decompressor decompressor;
    Trap trap;
    pixels.ok = Decompress(decompressor, trap, bytes, &pixels);
    return pixels;
}

}  // namespace tarn::test
