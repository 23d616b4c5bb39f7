#include "platform/media/still_picture.h"

#include <climits>
#include <cstring>
#include <strings.h>
#include <string_view>

#include "platform/media/ffmpeg_handles.h"
#include "platform/media/jpeg_decoder.h"
#include "platform/media/jpeg_header.h"

namespace tarn::media {

namespace {

bool IsStillFormat(const AVInputFormat* format) {
    if (!format || !format->name) return false;
    const std::string_view name = format->name;
    // The image demuxers ("image2", "jpeg_pipe", "png_pipe" …) and GIF, of
    // which the first picture is shown.
    return name == "image2" || name == "gif" ||
           (name.size() > 5 && name.substr(name.size() - 5) == "_pipe");
}

// Reads packets of stream 0 into the decoder until it gives a picture.
ff::FramePtr DecodeFirstFrame(AVFormatContext* format, AVCodecContext* codec) {
    ff::PacketPtr packet = ff::NewPacket();
    ff::FramePtr frame = ff::NewFrame();
    if (!packet || !frame) return nullptr;
    bool draining = false;
    for (;;) {
        const int received = avcodec_receive_frame(codec, frame.get());
        if (received == 0) return frame;
        if (received != AVERROR(EAGAIN) || draining) return nullptr;
        const int read = av_read_frame(format, packet.get());
        if (read < 0) {
            draining = true;
            if (avcodec_send_packet(codec, nullptr) < 0) return nullptr;
            continue;
        }
        if (packet->stream_index == 0) {
            const int sent = avcodec_send_packet(codec, packet.get());
            if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_INVALIDDATA) {
                av_packet_unref(packet.get());
                return nullptr;
            }
        }
        av_packet_unref(packet.get());
    }
}

// The JPEG's size as shown, turned upright.
Size SeenSize(const JpegHeader& jpeg) {
    return OrientationSwapsAxes(jpeg.orientation) ? Size{jpeg.height, jpeg.width} : Size{jpeg.width, jpeg.height};
}

// The size the JPEG's stored picture is scaled to, so that once turned
// upright it fits `screen`.
Size StoredTarget(const JpegHeader& jpeg, Size screen) {
    Size target = FitInside(SeenSize(jpeg), screen);
    if (OrientationSwapsAxes(jpeg.orientation)) std::swap(target.width, target.height);
    return Size{std::max(1, target.width), std::max(1, target.height)};
}

// The JPEG `path` (its header `jpeg`, with an end of image) decoded by
// libjpeg-turbo, reduced in its DCT and scaled band by band to fit `screen`;
// false when libjpeg-turbo cannot decode it.
bool DecodeJpegFitted(const char* path, const JpegHeader& jpeg, Size screen, Urgency urgency,
                      StillPicture* out) {
    const Size target = StoredTarget(jpeg, screen);
    JpegDecoded decoded;
    if (!DecodeJpegScaled(path, Size{jpeg.width, jpeg.height}, target, &decoded,
                          urgency == Urgency::Wanted)) {
        return false;
    }
    out->source = SeenSize(jpeg);
    out->reducedLevel = decoded.reducedLevel;
    out->orientation = jpeg.orientation;
    out->cutInTwo = decoded.cutInTwo;
    // Upright pictures are kept as decoded, without a copy.
    out->frame = std::make_shared<const ws::VideoFrame>(
        jpeg.orientation == 1 ? std::move(decoded.picture) : OrientPicture(decoded.picture, jpeg.orientation));
    return true;
}

enum class JpegAttempt { NotTried, Decoded, Refused };

// A whole JPEG named as one needs neither the format nor the codec
// libraries: its name and its own markers say what it is, as they would
// tell the format libraries. The show's first slide need not wait for them
// to load.
JpegAttempt TryNamedJpeg(const char* path, Size screen, Urgency urgency, StillPicture* out) {
    if (!NamedAsJpeg(path)) return JpegAttempt::NotTried;
    const JpegHeader jpeg = ReadJpegHeader(path);
    if (!jpeg.valid || !JpegHasEnd(path, jpeg.scanOffset)) return JpegAttempt::NotTried;
    return DecodeJpegFitted(path, jpeg, screen, urgency, out) ? JpegAttempt::Decoded : JpegAttempt::Refused;
}

}  // namespace

// A file named as a JPEG picture is a still picture to the format
// libraries whatever it holds after its first picture (their image demuxer
// goes by the name). Under any other name, JPEG pictures one after the other
// are a motion-JPEG clip to them.
bool NamedAsJpeg(const char* path) {
    const char* dot = std::strrchr(path, '.');
    if (dot == nullptr || std::strchr(dot, '/') != nullptr) return false;
    return strcasecmp(dot, ".jpg") == 0 || strcasecmp(dot, ".jpeg") == 0;
}

bool DecodeNamedJpeg(const char* path, Size screen, StillPicture* out, Urgency urgency) {
    return TryNamedJpeg(path, screen, urgency, out) == JpegAttempt::Decoded;
}

StillResult DecodeStillPicture(const char* path, Size screen, StillPicture* out, Urgency urgency) {
    const JpegAttempt attempt = TryNamedJpeg(path, screen, urgency, out);
    if (attempt == JpegAttempt::Decoded) return StillResult::Decoded;
    const bool triedJpeg = attempt == JpegAttempt::Refused;

    ff::FormatPtr format = ff::OpenInput(path);
    if (!format) return StillResult::Failed;
    if (!IsStillFormat(format->iformat)) return StillResult::NotStill;
    if (format->nb_streams < 1) return StillResult::Failed;

    AVStream* stream = format->streams[0];
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!decoder) return StillResult::Failed;
    ff::CodecPtr codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0)
        return StillResult::Failed;

    // A JPEG tells its size and orientation before any decoding: decode at
    // the smallest resolution that still covers the fitted picture.
    JpegHeader jpeg;
    int level = 0;
    if (stream->codecpar->codec_id == AV_CODEC_ID_MJPEG) {
        jpeg = ReadJpegHeader(path);
        // A JPEG cut short would show half-drawn: refuse it as a whole.
        if (!jpeg.valid || !JpegHasEnd(path, jpeg.scanOffset)) return StillResult::Failed;
        {
            // libjpeg-turbo first, unless it has already refused the file.
            if (!triedJpeg && DecodeJpegFitted(path, jpeg, screen, urgency, out)) return StillResult::Decoded;
            const Size target = StoredTarget(jpeg, screen);
            level = ChooseReducedLevel(Size{jpeg.width, jpeg.height}, target,
                                       std::min(3, static_cast<int>(decoder->max_lowres)));
            const int64_t reduced = (int64_t{jpeg.width} >> level) * (int64_t{jpeg.height} >> level);
            if (reduced > ff::kMaxDecodedPixels) return StillResult::Failed;
        }
    }
    codec->lowres = level;
    // The decoder checks the full size against this; the picture it makes is
    // 4^level times smaller.
    codec->max_pixels = std::min<int64_t>(ff::kMaxDecodedPixels << (2 * level), INT_MAX);
    codec->thread_count = 1;
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0) return StillResult::Failed;

    ff::FramePtr frame = DecodeFirstFrame(format.get(), codec.get());
    if (!frame || frame->width <= 0 || frame->height <= 0) return StillResult::Failed;
    if ((frame->flags & AV_FRAME_FLAG_CORRUPT) || frame->decode_error_flags) return StillResult::Failed;
    if (int64_t{frame->width} * frame->height > ff::kMaxDecodedPixels) return StillResult::Failed;

    const int orientation = jpeg.valid ? jpeg.orientation : 1;
    Size stored = jpeg.valid ? Size{jpeg.width, jpeg.height}
                             : Size{frame->width << level, frame->height << level};
    Size seen = stored;
    if (OrientationSwapsAxes(orientation)) std::swap(seen.width, seen.height);
    const Size fitted = FitInside(seen, screen);
    Size scaled = fitted;  // the fitted size before turning upright
    if (OrientationSwapsAxes(orientation)) std::swap(scaled.width, scaled.height);
    scaled.width = std::max(1, scaled.width);
    scaled.height = std::max(1, scaled.height);

    ff::ScalePtr scaler(sws_getContext(frame->width, frame->height,
                                       static_cast<AVPixelFormat>(frame->format), scaled.width,
                                       scaled.height, AV_PIX_FMT_0RGB32, SWS_AREA, nullptr,
                                       nullptr, nullptr));
    if (!scaler) return StillResult::Failed;
    ws::Pixels picture;
    picture.width = scaled.width;
    picture.height = scaled.height;
    picture.data.resize(static_cast<size_t>(scaled.width) * scaled.height);
    uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(picture.data.data()), nullptr, nullptr, nullptr};
    int strides[4] = {scaled.width * 4, 0, 0, 0};
    if (sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides) <= 0)
        return StillResult::Failed;
    // The 0RGB output leaves the top byte undefined for some inputs.
    for (uint32_t& p : picture.data) p &= 0x00FFFFFFu;

    out->source = seen;
    out->reducedLevel = level;
    out->orientation = orientation;
    out->cutInTwo = false;
    out->frame = std::make_shared<const ws::VideoFrame>(OrientPicture(picture, orientation));
    return StillResult::Decoded;
}

}  // namespace tarn::media
