#include "platform/media/jpeg_decoder.h"

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <thread>
#include <vector>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

#include "platform/media/ffmpeg_handles.h"
#include "platform/media/file_reader.h"
#include "platform/media/jpeg_halves.h"

namespace tarn::media {

namespace {

// Rows decoded per band: enough for the library's own output groups.
constexpr int kBandRows = 16;
// Beyond this the library refuses to allocate (a progressive picture keeps
// its coefficients whole: 2 bytes per sample).
constexpr long kMostLibraryMemory = 1L << 30;
// Bytes a decompressor reads from the file at a time.
constexpr size_t kReadBytes = 64 * 1024;
// The planner's reads while it looks for the cut.
constexpr size_t kPlanReadBytes = 256 * 1024;
// When a picture is cut in two, the calling thread decodes the top half and
// scales every row; the other thread only decodes. The top half is the
// smaller one so that both finish together.
constexpr double kTopShare = 0.47;

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

// A piece of the library's input: bytes in memory, or a range of the file.
struct Part {
    const uint8_t* data = nullptr;  // null: the file's bytes from `offset`
    uint64_t offset = 0;
    uint64_t size = 0;
};

// The library's input: pieces read one after the other, so that a half of a
// picture is its own header followed by its range of the file.
struct PartSource {
    jpeg_source_mgr manager{};
    std::vector<Part> parts;  // consumed as they are read
    size_t next = 0;
    const FileReader* file = nullptr;
    std::vector<uint8_t> buffer;
};

void StartParts(j_decompress_ptr) {}

boolean NextPart(j_decompress_ptr info) {
    auto* source = reinterpret_cast<PartSource*>(info->src);
    while (source->next < source->parts.size()) {
        Part& part = source->parts[source->next];
        if (part.size == 0) {
            ++source->next;
            continue;
        }
        if (part.data != nullptr) {
            source->manager.next_input_byte = part.data;
            source->manager.bytes_in_buffer = static_cast<size_t>(part.size);
            part.size = 0;
            return TRUE;
        }
        if (source->buffer.empty()) source->buffer.resize(kReadBytes);
        const size_t want = static_cast<size_t>(std::min<uint64_t>(part.size, source->buffer.size()));
        const size_t got = source->file->ReadAt(part.offset, source->buffer.data(), want);
        if (got == 0) break;  // the file ended early
        part.offset += got;
        part.size -= got;
        source->manager.next_input_byte = source->buffer.data();
        source->manager.bytes_in_buffer = got;
        return TRUE;
    }
    // Past the end: as the library's own sources do, an end of image with a
    // warning (which fails the picture).
    static const JOCTET kEnd[2] = {0xFF, JPEG_EOI};
    WARNMS(info, JWRN_JPEG_EOF);
    source->manager.next_input_byte = kEnd;
    source->manager.bytes_in_buffer = sizeof kEnd;
    return TRUE;
}

void SkipParts(j_decompress_ptr info, long count) {
    jpeg_source_mgr& manager = *info->src;
    while (count > static_cast<long>(manager.bytes_in_buffer)) {
        count -= static_cast<long>(manager.bytes_in_buffer);
        manager.bytes_in_buffer = 0;
        NextPart(info);
    }
    if (count > 0) {
        manager.next_input_byte += count;
        manager.bytes_in_buffer -= static_cast<size_t>(count);
    }
}

void EndParts(j_decompress_ptr) {}

// A decompressor reading parts of memory, destroyed on every path out. Made
// before the library can jump: a jump back skips no destructor.
struct Reader {
    jpeg_decompress_struct info{};
    ErrorTrap trap;
    PartSource source;
    bool created = false;

    Reader(const FileReader& file, std::vector<Part> parts) {
        source.file = &file;
        source.parts = std::move(parts);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    ~Reader() {
        if (created) jpeg_destroy_decompress(&info);
    }
};

// Reads the headers and sets the output: reduced by 2^level, 0x00RRGGBB
// words. Only inside a function that has set the reader's jump.
bool Open(Reader& reader, Size stored, int level) {
    jpeg_decompress_struct& info = reader.info;
    info.err = jpeg_std_error(&reader.trap.manager);
    reader.trap.manager.error_exit = OnError;
    reader.trap.manager.emit_message = OnMessage;
    reader.trap.manager.output_message = Silent;
    jpeg_create_decompress(&info);
    reader.created = true;
    info.mem->max_memory_to_use = kMostLibraryMemory;
    reader.source.manager.init_source = StartParts;
    reader.source.manager.fill_input_buffer = NextPart;
    reader.source.manager.skip_input_data = SkipParts;
    reader.source.manager.resync_to_restart = jpeg_resync_to_restart;
    reader.source.manager.term_source = EndParts;
    info.src = &reader.source.manager;
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
    if (static_cast<int>(info.image_width) != stored.width ||
        static_cast<int>(info.image_height) != stored.height) {
        return false;
    }
    info.scale_num = 1;
    info.scale_denom = 1u << level;
    info.out_color_space = JCS_EXT_BGRX;  // little-endian 0x00RRGGBB words
    info.dct_method = JDCT_ISLOW;
    jpeg_calc_output_dimensions(&info);
    const int64_t width = info.output_width;
    const int64_t height = info.output_height;
    return width > 0 && height > 0 && width * height <= ff::kMaxDecodedPixels;
}

// Whether every output row comes from its own MCU row alone: no component is
// stretched vertically, which would blend rows across a cut.
bool RowsStandAlone(const jpeg_decompress_struct& info) {
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        if (component.v_samp_factor * component.DCT_scaled_size !=
            info.max_v_samp_factor * info.min_DCT_scaled_size) {
            return false;
        }
    }
    return true;
}

// The reduced rows to the target, in order, top to bottom. The scaler
// writes planes of red, green and blue (its packed output costs twice the
// time for the same values), joined into 0x00RRGGBB words at the end.
struct Scaler {
    ff::ScalePtr context;
    ws::Pixels* picture = nullptr;
    std::vector<uint8_t> planes[3];  // green, blue, red: the scaler's order

    bool Start(int width, int height, Size target, ws::Pixels* out) {
        context.reset(sws_getContext(width, height, AV_PIX_FMT_BGR0, target.width, target.height,
                                     AV_PIX_FMT_GBRP, SWS_AREA, nullptr, nullptr, nullptr));
        if (!context) return false;
        picture = out;
        out->width = target.width;
        out->height = target.height;
        const size_t pixels = static_cast<size_t>(target.width) * target.height;
        for (std::vector<uint8_t>& plane : planes) plane.assign(pixels, 0);
        return true;
    }
    void Feed(const uint8_t* rows, size_t stride, int first, int count) {
        uint8_t* targets[4] = {planes[0].data(), planes[1].data(), planes[2].data(), nullptr};
        const int strides[4] = {picture->width, picture->width, picture->width, 0};
        const uint8_t* source[4] = {rows, nullptr, nullptr, nullptr};
        const int sourceStrides[4] = {static_cast<int>(stride), 0, 0, 0};
        sws_scale(context.get(), source, sourceStrides, first, count, targets, strides);
    }
    void Finish() {
        const size_t pixels = planes[0].size();
        picture->data.resize(pixels);
        const uint8_t* green = planes[0].data();
        const uint8_t* blue = planes[1].data();
        const uint8_t* red = planes[2].data();
        uint32_t* out = picture->data.data();
        for (size_t i = 0; i < pixels; ++i) out[i] = uint32_t{red[i]} << 16 | uint32_t{green[i]} << 8 | blue[i];
        for (std::vector<uint8_t>& plane : planes) std::vector<uint8_t>().swap(plane);
    }
};

// Decodes the reader's rows band by band into the scaler, from source row
// `first` on. Only inside a function that has set the reader's jump.
bool DecodeBands(Reader& reader, Scaler& scaler, int first) {
    jpeg_decompress_struct& info = reader.info;
    const size_t stride = size_t{info.output_width} * 4;
    std::vector<uint8_t> band(stride * kBandRows);
    JSAMPROW rows[kBandRows];
    for (int r = 0; r < kBandRows; ++r) rows[r] = band.data() + stride * r;
    if (!jpeg_start_decompress(&info)) return false;
    while (info.output_scanline < info.output_height) {
        const int at = static_cast<int>(info.output_scanline);
        int got = 0;
        while (got < kBandRows && info.output_scanline < info.output_height) {
            const JDIMENSION n = jpeg_read_scanlines(&info, rows + got, kBandRows - got);
            if (n == 0) return false;
            got += static_cast<int>(n);
        }
        scaler.Feed(band.data(), stride, first + at, got);
    }
    jpeg_finish_decompress(&info);
    return reader.trap.warnings == 0;
}

// The whole picture on the calling thread.
struct Whole {
    Reader reader;
    Scaler scaler;
    explicit Whole(const FileReader& file) : reader(file, {{nullptr, 0, file.Size()}}) {}
};

bool DecodeWhole(Whole& work, Size stored, Size target, int level, ws::Pixels* out) {
    if (setjmp(work.reader.trap.jump) != 0) return false;
    if (!Open(work.reader, stored, level)) return false;
    const jpeg_decompress_struct& info = work.reader.info;
    if (!work.scaler.Start(static_cast<int>(info.output_width), static_cast<int>(info.output_height), target, out))
        return false;
    if (!DecodeBands(work.reader, work.scaler, 0)) return false;
    work.scaler.Finish();
    return true;
}

// The bottom half, decoded whole into memory by a second thread while the
// calling thread decodes and scales the top half; then the calling thread
// scales these rows as they come.
struct BottomHalf {
    Reader reader;
    Size stored;
    int level = 0;
    int width = 0;   // expected reduced size
    int height = 0;
    std::vector<uint8_t> rows;
    // Rows decoded so far; -1 once the half failed.
    std::atomic<int> ready{0};

    BottomHalf(const JpegHalves& halves, const FileReader& file)
        : reader(file, {{halves.bottomHeader.data(), 0, halves.bottomHeader.size()},
                        {nullptr, halves.bottomBegin, halves.bottomEnd - halves.bottomBegin}}) {}

    void Publish(int value) {
        ready.store(value, std::memory_order_release);
        ready.notify_one();
    }
};

bool DecodeBottomRows(BottomHalf& half, const std::stop_token& stop) {
    if (setjmp(half.reader.trap.jump) != 0) return false;
    if (!Open(half.reader, half.stored, half.level)) return false;
    jpeg_decompress_struct& info = half.reader.info;
    if (static_cast<int>(info.output_width) != half.width || static_cast<int>(info.output_height) != half.height)
        return false;
    const size_t stride = size_t{info.output_width} * 4;
    half.rows.resize(stride * info.output_height);
    if (!jpeg_start_decompress(&info)) return false;
    JSAMPROW rows[kBandRows];
    while (info.output_scanline < info.output_height) {
        if (stop.stop_requested()) return false;
        const int at = static_cast<int>(info.output_scanline);
        const int want = std::min<int>(kBandRows, half.height - at);
        for (int r = 0; r < want; ++r) rows[r] = half.rows.data() + stride * (at + r);
        if (jpeg_read_scanlines(&info, rows, static_cast<JDIMENSION>(want)) == 0) return false;
        // Damaged data fails the picture as soon as it is seen. The last
        // rows count only once the end of the picture has been read too.
        if (half.reader.trap.warnings != 0) return false;
        if (info.output_scanline < info.output_height) half.Publish(static_cast<int>(info.output_scanline));
    }
    jpeg_finish_decompress(&info);
    if (half.reader.trap.warnings != 0) return false;
    half.Publish(half.height);
    return true;
}

void DecodeBottom(BottomHalf& half, const std::stop_token& stop) {
    bool decoded = false;
    try {
        decoded = DecodeBottomRows(half, stop);
    } catch (...) {  // no memory for the rows: the other thread must not wait
    }
    if (!decoded) half.Publish(-1);
}

// The top half, decoded and scaled on the calling thread.
struct TopHalf {
    Reader reader;
    Scaler scaler;
    TopHalf(const JpegHalves& halves, const FileReader& file)
        : reader(file, {{halves.topHeader.data(), 0, halves.topHeader.size()},
                        {nullptr, halves.topBegin, halves.topEnd - halves.topBegin},
                        {kJpegEnd, 0, sizeof kJpegEnd}}) {}
};

enum class HalvesResult { Decoded, Failed, NotCut };

// Opens the top half; NotCut when the rows of the halves would not be the
// rows of the whole picture.
HalvesResult OpenTop(TopHalf& top, const JpegHalves& halves, int level, Size target, int wholeHeight,
                     ws::Pixels* out) {
    if (setjmp(top.reader.trap.jump) != 0) return HalvesResult::Failed;
    if (!Open(top.reader, Size{halves.width, halves.topHeight}, level)) return HalvesResult::Failed;
    if (!RowsStandAlone(top.reader.info)) return HalvesResult::NotCut;
    const int width = static_cast<int>(top.reader.info.output_width);
    return top.scaler.Start(width, wholeHeight, target, out) ? HalvesResult::Decoded : HalvesResult::Failed;
}

bool DecodeTop(TopHalf& top) {
    if (setjmp(top.reader.trap.jump) != 0) return false;
    return DecodeBands(top.reader, top.scaler, 0);
}

// Scales the bottom half's rows as the other thread publishes them.
bool ScaleBottom(BottomHalf& bottom, Scaler& scaler, int first) {
    const size_t stride = static_cast<size_t>(bottom.width) * 4;
    int done = 0;
    while (done < bottom.height) {
        const int ready = bottom.ready.load(std::memory_order_acquire);
        if (ready < 0) return false;
        if (ready == done) {
            bottom.ready.wait(done, std::memory_order_acquire);
            continue;
        }
        scaler.Feed(bottom.rows.data() + stride * done, stride, first + done, ready - done);
        done = ready;
    }
    return true;
}

HalvesResult DecodeInHalves(const JpegHalves& halves, const FileReader& file, Size target, int level,
                            ws::Pixels* out) {
    const int denominator = 1 << level;
    const int topHeight = halves.topHeight / denominator;  // whole MCU rows: exact
    const int bottomHeight = (halves.height - halves.topHeight + denominator - 1) / denominator;
    BottomHalf bottom(halves, file);
    bottom.stored = Size{halves.width, halves.height - halves.topHeight};
    bottom.level = level;
    bottom.width = (halves.width + denominator - 1) / denominator;  // as the library rounds
    bottom.height = bottomHeight;
    TopHalf top(halves, file);
    HalvesResult result = HalvesResult::Failed;
    {
        // The bottom half starts at once; the worker is joined (after being
        // asked to stop) before `bottom` goes.
        std::jthread worker([&bottom](std::stop_token stop) { DecodeBottom(bottom, stop); });
        const HalvesResult opened = OpenTop(top, halves, level, target, topHeight + bottomHeight, out);
        if (opened != HalvesResult::Decoded) {
            result = opened;
        } else if (static_cast<int>(top.reader.info.output_width) == bottom.width && DecodeTop(top) &&
                   ScaleBottom(bottom, top.scaler, topHeight)) {
            result = HalvesResult::Decoded;
        }
    }
    if (result == HalvesResult::Decoded) top.scaler.Finish();
    return result;
}

bool TwoCores() { return std::thread::hardware_concurrency() >= 2; }

}  // namespace

bool DecodeJpegScaled(const char* path, Size stored, Size target, JpegDecoded* out, bool twoThreads) {
    if (target.width <= 0 || target.height <= 0) return false;
    const FileReader file(path);
    if (!file.IsOpen()) return false;
    const int level = ChooseReducedLevel(stored, target, 3);
    JpegDecoded decoded;
    decoded.reducedLevel = level;

    JpegHalves halves;
    const JpegByteReader read = [&file](uint64_t offset, uint8_t* into, size_t size) {
        return file.ReadAt(offset, into, size);
    };
    if (twoThreads && TwoCores() && PlanJpegHalvesFrom(read, file.Size(), kTopShare, kPlanReadBytes, &halves) &&
        halves.width == stored.width && halves.height == stored.height) {
        switch (DecodeInHalves(halves, file, target, level, &decoded.picture)) {
            case HalvesResult::Decoded:
                decoded.cutInTwo = true;
                *out = std::move(decoded);
                return true;
            case HalvesResult::Failed:  // the whole picture decides
            case HalvesResult::NotCut:
                break;
        }
    }
    Whole whole(file);
    if (!DecodeWhole(whole, stored, target, level, &decoded.picture)) return false;
    *out = std::move(decoded);
    return true;
}

}  // namespace tarn::media
