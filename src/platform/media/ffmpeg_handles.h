// Owning handles for the FFmpeg objects the media code uses.
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace tarn::media::ff {

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScaleFreer {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct ResampleFreer {
    void operator()(SwrContext* s) const { swr_free(&s); }
};

using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using ScalePtr = std::unique_ptr<SwsContext, ScaleFreer>;
using ResamplePtr = std::unique_ptr<SwrContext, ResampleFreer>;

inline FramePtr NewFrame() { return FramePtr(av_frame_alloc()); }
inline PacketPtr NewPacket() { return PacketPtr(av_packet_alloc()); }

// Silences FFmpeg's own logging (the player prints nothing); idempotent.
void QuietLogging();

// The largest picture, in pixels, any decoder may produce.
constexpr int64_t kMaxDecodedPixels = 64LL * 1000 * 1000;

// Opens `path` for reading. Nothing is probed beyond the container header.
FormatPtr OpenInput(const char* path);

}  // namespace tarn::media::ff
