#include "jpeg_baseline.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace tarnpack {
namespace {

// Beyond this the library refuses to allocate; the player refuses the same.
constexpr long kMostLibraryMemory = 1L << 30;
constexpr size_t kOutputChunk = 256u << 10;
// A marker segment holds at most 65533 bytes of data.
constexpr unsigned kWholeMarker = 0xFFFF;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Everything a transcoding owns, made before the library can jump back to
// Transcode: a jump skips no destructor. Both library objects point here
// through their client_data.
struct Transcoding {
    std::unique_ptr<std::FILE, FileCloser> file;
    jpeg_decompress_struct source{};
    jpeg_compress_struct target{};
    jpeg_error_mgr sourceErrors{};
    jpeg_error_mgr targetErrors{};
    jpeg_destination_mgr destination{};
    bool sourceCreated = false;
    bool targetCreated = false;

    std::jmp_buf jump{};
    int warnings = 0;  // of the source: data the library would paper over

    const ByteSink* sink = nullptr;
    std::vector<JOCTET> chunk;
    bool started = false;  // something went to the sink
    bool refused = false;
    bool multiScan = false;  // of the source

    Transcoding() = default;
    Transcoding(const Transcoding&) = delete;
    Transcoding& operator=(const Transcoding&) = delete;
    ~Transcoding() {
        if (targetCreated) jpeg_destroy_compress(&target);
        if (sourceCreated) jpeg_destroy_decompress(&source);
    }
};

Transcoding& Of(j_common_ptr info) { return *static_cast<Transcoding*>(info->client_data); }
Transcoding& Of(j_compress_ptr info) { return *static_cast<Transcoding*>(info->client_data); }

// The library calls error_exit for fatal errors and expects it not to
// return.
void OnError(j_common_ptr info) { std::longjmp(Of(info).jump, 1); }

void OnMessage(j_common_ptr info, int level) {
    if (level < 0 && info->is_decompressor) Of(info).warnings++;
}

void Silent(j_common_ptr) {}

void TrapErrors(jpeg_error_mgr* errors) {
    jpeg_std_error(errors);
    errors->error_exit = OnError;
    errors->emit_message = OnMessage;
    errors->output_message = Silent;
}

// The destination: chunks of the output handed to the sink.
bool Hand(Transcoding& work, size_t size) {
    if (size == 0) return true;
    work.started = true;
    if (!(*work.sink)(reinterpret_cast<const char*>(work.chunk.data()), size)) {
        work.refused = true;
        return false;
    }
    return true;
}

void StartChunks(j_compress_ptr info) {
    Transcoding& work = Of(info);
    work.destination.next_output_byte = work.chunk.data();
    work.destination.free_in_buffer = work.chunk.size();
}

boolean ChunkFull(j_compress_ptr info) {
    Transcoding& work = Of(info);
    // The library hands over a full chunk whatever free_in_buffer says.
    if (!Hand(work, work.chunk.size())) ERREXIT(info, JERR_FILE_WRITE);
    StartChunks(info);
    return TRUE;
}

void EndChunks(j_compress_ptr info) {
    Transcoding& work = Of(info);
    if (!Hand(work, work.chunk.size() - work.destination.free_in_buffer)) ERREXIT(info, JERR_FILE_WRITE);
}

bool StartsLikeJpeg(std::FILE* file) {
    unsigned char start[3] = {};
    const bool jpeg = std::fread(start, 1, sizeof start, file) == sizeof start && start[0] == 0xFF &&
                      start[1] == 0xD8 && start[2] == 0xFF;
    std::rewind(file);
    return jpeg;
}

// Whether every coefficient of every component was sent to its last bit. A
// decoder smooths the blocks of a progressive picture whose coefficients
// were left unfinished; the same coefficients in one scan would decode
// without it, to other pixels.
bool ProgressionComplete(const jpeg_decompress_struct& source) {
    if (!source.progressive_mode) return true;
    for (int component = 0; component < source.num_components; ++component) {
        for (int k = 0; k < DCTSIZE2; ++k) {
            if (source.coef_bits[component][k] != 0) return false;
        }
    }
    return true;
}

// Whether the (single) scan has a restart interval of a whole number of MCU
// rows. Known once the headers are read, before the scan is.
bool RestartsAtWholeRows(const jpeg_decompress_struct& source) {
    if (source.restart_interval == 0 || source.comps_in_scan < 1) return false;
    const long perRow =
        source.comps_in_scan == 1
            ? static_cast<long>(source.cur_comp_info[0]->width_in_blocks)
            : (static_cast<long>(source.image_width) + source.max_h_samp_factor * DCTSIZE - 1) /
                  (source.max_h_samp_factor * DCTSIZE);
    return perRow > 0 && source.restart_interval % perRow == 0;
}

// Bytes of the file the library has taken so far.
long Consumed(const jpeg_decompress_struct& source, std::FILE* file) {
    const long position = std::ftell(file);
    return position < 0 ? -1 : position - static_cast<long>(source.src->bytes_in_buffer);
}

BaselineResult Transcode(Transcoding& work, uint64_t size) {
    if (setjmp(work.jump) != 0) {
        if (work.refused) return BaselineResult::SinkRefused;
        return work.started ? BaselineResult::Abandoned : BaselineResult::LeftAsItIs;
    }

    jpeg_decompress_struct& source = work.source;
    source.err = &work.sourceErrors;
    jpeg_create_decompress(&source);
    work.sourceCreated = true;
    source.client_data = &work;
    source.mem->max_memory_to_use = kMostLibraryMemory;
    jpeg_save_markers(&source, JPEG_COM, kWholeMarker);
    for (int app = 0; app < 16; ++app) jpeg_save_markers(&source, JPEG_APP0 + app, kWholeMarker);
    jpeg_stdio_src(&source, work.file.get());
    if (jpeg_read_header(&source, TRUE) != JPEG_HEADER_OK) return BaselineResult::LeftAsItIs;
    // A single-scan file with its markers at whole rows is what we want
    // already; an arithmetic-coded one is left to decoders that read it.
    const bool multiScan = source.progressive_mode || jpeg_has_multiple_scans(&source);
    if (source.arith_code || (!multiScan && RestartsAtWholeRows(source))) return BaselineResult::LeftAsItIs;
    work.multiScan = multiScan;

    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&source);
    if (coefficients == nullptr || work.warnings != 0 || !ProgressionComplete(source)) {
        return BaselineResult::LeftAsItIs;
    }
    // Data after the end of the picture (a second picture, a trailer) would
    // be lost; a file that changed since it was measured is copied instead.
    if (Consumed(source, work.file.get()) != static_cast<long>(size)) return BaselineResult::LeftAsItIs;
    for (jpeg_saved_marker_ptr marker = source.marker_list; marker != nullptr; marker = marker->next) {
        if (marker->data_length != marker->original_length) return BaselineResult::LeftAsItIs;
    }

    jpeg_compress_struct& target = work.target;
    target.err = &work.targetErrors;
    jpeg_create_compress(&target);
    work.targetCreated = true;
    target.client_data = &work;
    jpeg_copy_critical_parameters(&source, &target);
    target.optimize_coding = TRUE;
    target.arith_code = FALSE;
    target.scan_info = nullptr;
    target.num_scans = 0;
    // A restart marker after every row of MCUs: the player can cut the
    // picture at one and decode the halves side by side.
    target.restart_interval = 0;
    target.restart_in_rows = 1;
    // The original's own JFIF or Adobe marker is among the copied ones, so
    // a decoder reads the colours exactly as it read them there.
    target.write_JFIF_header = FALSE;
    target.write_Adobe_marker = FALSE;
    target.dest = &work.destination;
    work.destination.init_destination = StartChunks;
    work.destination.empty_output_buffer = ChunkFull;
    work.destination.term_destination = EndChunks;

    jpeg_write_coefficients(&target, coefficients);
    for (jpeg_saved_marker_ptr marker = source.marker_list; marker != nullptr; marker = marker->next) {
        jpeg_write_marker(&target, marker->marker, marker->data, marker->data_length);
    }
    jpeg_finish_compress(&target);
    jpeg_finish_decompress(&source);
    return BaselineResult::Written;
}

}  // namespace

BaselineResult WriteAsBaseline(const std::string& path, uint64_t size, const ByteSink& sink, bool* multiScan) {
    Transcoding work;
    work.file.reset(std::fopen(path.c_str(), "rbe"));
    if (!work.file || !StartsLikeJpeg(work.file.get())) return BaselineResult::LeftAsItIs;
    work.sink = &sink;
    work.chunk.resize(kOutputChunk);
    TrapErrors(&work.sourceErrors);
    TrapErrors(&work.targetErrors);
    const BaselineResult result = Transcode(work, size);
    if (multiScan) *multiScan = result == BaselineResult::Written && work.multiScan;
    return result;
}

bool JpegRewriteAvailable() { return true; }

}  // namespace tarnpack
