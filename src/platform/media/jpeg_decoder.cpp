#include "platform/media/jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "platform/media/ffmpeg_handles.h"

namespace tarn::media {

namespace {

// Rows decoded per band: enough for the library's own output groups.
constexpr int kBandRows = 16;
// Beyond this the library refuses to allocate (a progressive picture keeps
// its coefficients whole: 2 bytes per sample).
constexpr long kMostLibraryMemory = 1L << 30;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The library reports fatal errors by calling error_exit, which must not
// return; it jumps back to the decoding function instead. Warnings (corrupt
// data the library would paper over) are counted and make the picture fail.
struct ErrorTrap {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    int warnings = 0;
};

void OnError(j_common_ptr info) {
    auto* trap = reinterpret_cast<ErrorTrap*>(info->err);
    std::longjmp(trap->jump, 1);
}

void OnMessage(j_common_ptr info, int level) {
    if (level < 0) reinterpret_cast<ErrorTrap*>(info->err)->warnings++;
}

void Silent(j_common_ptr) {}

// The decompressor, destroyed on every path out.
struct Decompressor {
    jpeg_decompress_struct info{};
    bool created = false;
    ~Decompressor() {
        if (created) jpeg_destroy_decompress(&info);
    }
};

// Everything the decoding needs that owns memory, made before the library
// can jump: a jump back skips no destructor.
struct Work {
    std::unique_ptr<std::FILE, FileCloser> file;
    Decompressor decompressor;
    ErrorTrap trap;
    std::vector<uint8_t> band;
    ff::ScalePtr scaler;
};

bool Decode(Work& work, Size stored, Size target, JpegDecoded* out) {
    jpeg_decompress_struct& info = work.decompressor.info;
    info.err = jpeg_std_error(&work.trap.manager);
    work.trap.manager.error_exit = OnError;
    work.trap.manager.emit_message = OnMessage;
    work.trap.manager.output_message = Silent;
    if (setjmp(work.trap.jump) != 0) return false;

    jpeg_create_decompress(&info);
    work.decompressor.created = true;
    info.mem->max_memory_to_use = kMostLibraryMemory;
    jpeg_stdio_src(&info, work.file.get());
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
    if (static_cast<int>(info.image_width) != stored.width ||
        static_cast<int>(info.image_height) != stored.height) {
        return false;
    }

    const int level = ChooseReducedLevel(stored, target, 3);
    info.scale_num = 1;
    info.scale_denom = 1u << level;
    info.out_color_space = JCS_EXT_BGRX;  // little-endian 0x00RRGGBB words
    info.dct_method = JDCT_ISLOW;
    jpeg_calc_output_dimensions(&info);
    const int width = static_cast<int>(info.output_width);
    const int height = static_cast<int>(info.output_height);
    if (width <= 0 || height <= 0 || int64_t{width} * height > ff::kMaxDecodedPixels) return false;

    work.scaler.reset(sws_getContext(width, height, AV_PIX_FMT_BGR0, target.width,
                                     target.height, AV_PIX_FMT_0RGB32, SWS_AREA, nullptr,
                                     nullptr, nullptr));
    if (!work.scaler) return false;
    const size_t stride = static_cast<size_t>(width) * 4;
    work.band.resize(stride * kBandRows);
    out->picture.width = target.width;
    out->picture.height = target.height;
    out->picture.data.assign(static_cast<size_t>(target.width) * target.height, 0);

    if (!jpeg_start_decompress(&info)) return false;
    JSAMPROW rows[kBandRows];
    for (int r = 0; r < kBandRows; ++r) rows[r] = work.band.data() + stride * r;
    uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(out->picture.data.data()), nullptr, nullptr,
                          nullptr};
    int strides[4] = {target.width * 4, 0, 0, 0};
    while (info.output_scanline < info.output_height) {
        const int first = static_cast<int>(info.output_scanline);
        int got = 0;
        while (got < kBandRows && info.output_scanline < info.output_height) {
            const JDIMENSION n = jpeg_read_scanlines(&info, rows + got, kBandRows - got);
            if (n == 0) return false;
            got += static_cast<int>(n);
        }
        // Bands go to the scaler in order, top to bottom.
        const uint8_t* source[4] = {work.band.data(), nullptr, nullptr, nullptr};
        const int sourceStrides[4] = {static_cast<int>(stride), 0, 0, 0};
        sws_scale(work.scaler.get(), source, sourceStrides, first, got, planes, strides);
    }
    jpeg_finish_decompress(&info);
    if (work.trap.warnings != 0) return false;
    // The X byte of the library's output is undefined for the scaler's sake.
    for (uint32_t& p : out->picture.data) p &= 0x00FFFFFFu;
    out->reducedLevel = level;
    return true;
}

}  // namespace

bool DecodeJpegScaled(const char* path, Size stored, Size target, JpegDecoded* out) {
    if (target.width <= 0 || target.height <= 0) return false;
    Work work;
    work.file.reset(std::fopen(path, "rb"));
    if (!work.file) return false;
    JpegDecoded decoded;
    if (!Decode(work, stored, target, &decoded)) return false;
    *out = std::move(decoded);
    return true;
}

}  // namespace tarn::media
