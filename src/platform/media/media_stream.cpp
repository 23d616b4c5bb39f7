#include "platform/media/media_stream.h"

#include <algorithm>
#include <climits>
#include <deque>
#include <vector>

#include "platform/clock.h"
#include "platform/media/ffmpeg_handles.h"

#include "platform/media/jpeg_header.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
}

namespace tarn::media {

namespace {
// Decoded pictures waiting for their time (each one screen-sized at most).
constexpr size_t kMaxQueuedPictures = 3;
// Compressed pictures read ahead: enough for any interleaving of sound and
// pictures in a file, small in memory.
constexpr size_t kMaxQueuedPackets = 1500;
constexpr size_t kMaxQueuedPacketBytes = 64u << 20;
constexpr double kSoundBufferSeconds = 2.0;
constexpr std::chrono::seconds kCueWait{2};
constexpr long kEcComplete = 1;
constexpr long kEcErrorAbort = 3;
}  // namespace

struct MediaStream::Decoders {
    ff::FormatPtr format;
    ff::CodecPtr video;
    ff::CodecPtr audio;
    SwsContext* scaler = nullptr;  // sws_getCachedContext owns the reuse
    ff::ResamplePtr resampler;
    int resampleRate = 0;
    int resampleFormat = -1;
    AVChannelLayout resampleLayout{};
    ff::FramePtr soundFrame = ff::NewFrame();    // the reader's
    ff::FramePtr pictureFrame = ff::NewFrame();  // the presenter's
    std::vector<float> sound;
    double videoTimeBase = 0;
    double audioTimeBase = 0;
    double nextVideoTime = 0;
    // Compressed pictures from the reader to the presenter (under mutex_).
    struct Pending {
        uint64_t generation;
        ff::PacketPtr packet;
    };
    std::deque<Pending> packets;

    ~Decoders() {
        sws_freeContext(scaler);
        av_channel_layout_uninit(&resampleLayout);
    }
};

std::unique_ptr<MediaStream> MediaStream::Open(const char* path, Size screen,
                                               std::shared_ptr<AudioOutput> output,
                                               Callbacks callbacks) {
    std::unique_ptr<MediaStream> stream(new MediaStream());
    stream->output_ = std::move(output);
    stream->callbacks_ = std::move(callbacks);
    if (!stream->OpenStreams(path, screen)) return nullptr;
    if (stream->HasSound()) {
        stream->audio_ = std::make_shared<AudioSource>(stream->output_->SampleRate(), kSoundBufferSeconds);
        MediaStream* self = stream.get();
        stream->audio_->SetOnComplete([self] { self->AudioFinished(); });
        stream->output_->Attach(stream->audio_);
    }
    stream->wallAnchor_ = stream->WallNow();
    stream->reader_ = std::thread([self = stream.get()] { self->ReaderLoop(); });
    if (stream->HasPicture()) stream->presenter_ = std::thread([self = stream.get()] { self->PresenterLoop(); });
    return stream;
}

bool MediaStream::OpenStreams(const char* path, Size screen) {
    ff_ = std::make_unique<Decoders>();
    ff_->format = ff::OpenInput(path);
    if (!ff_->format || !ff_->soundFrame || !ff_->pictureFrame) return false;
    AVFormatContext* format = ff_->format.get();
    avformat_find_stream_info(format, nullptr);  // a failure still leaves what the header told

    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream* s = format->streams[i];
        const AVCodecParameters* p = s->codecpar;
        s->discard = AVDISCARD_ALL;
        if (p->codec_type == AVMEDIA_TYPE_VIDEO && videoIndex_ < 0 &&
            !(s->disposition & AV_DISPOSITION_ATTACHED_PIC) && p->width > 0 && p->height > 0 &&
            int64_t{p->width} * p->height <= ff::kMaxDecodedPixels) {
            const AVCodec* decoder = avcodec_find_decoder(p->codec_id);
            ff::CodecPtr codec(decoder ? avcodec_alloc_context3(decoder) : nullptr);
            if (!codec || avcodec_parameters_to_context(codec.get(), p) < 0) continue;
            codec->max_pixels = ff::kMaxDecodedPixels;
            codec->thread_count = 2;
            if (avcodec_open2(codec.get(), decoder, nullptr) < 0) continue;
            ff_->video = std::move(codec);
            ff_->videoTimeBase = av_q2d(s->time_base);
            const AVRational rate = av_guess_frame_rate(format, s, nullptr);
            if (rate.num > 0 && rate.den > 0) frameDuration_ = std::clamp(av_q2d(av_inv_q(rate)), 0.001, 1.0);
            // A clip filmed on its side (a phone held upright) is stored
            // turned and says so in its display matrix.
            if (const auto* matrix = reinterpret_cast<const int32_t*>(
                    av_stream_get_side_data(s, AV_PKT_DATA_DISPLAYMATRIX, nullptr))) {
                orientation_ = OrientationOfDisplayRotation(av_display_rotation_get(matrix));
            }
            const bool turned = OrientationSwapsAxes(orientation_);
            source_ = turned ? Size{p->height, p->width} : Size{p->width, p->height};
            fitted_ = FitInside(source_, screen);
            fitted_.width = std::max(1, fitted_.width);
            fitted_.height = std::max(1, fitted_.height);
            scaled_ = turned ? Size{fitted_.height, fitted_.width} : fitted_;
            videoIndex_ = static_cast<int>(i);
            s->discard = AVDISCARD_DEFAULT;
        } else if (p->codec_type == AVMEDIA_TYPE_AUDIO && audioIndex_ < 0 && p->sample_rate >= 1000 &&
                   p->sample_rate <= 768000 && p->ch_layout.nb_channels >= 1 &&
                   p->ch_layout.nb_channels <= 64) {
            const AVCodec* decoder = avcodec_find_decoder(p->codec_id);
            ff::CodecPtr codec(decoder ? avcodec_alloc_context3(decoder) : nullptr);
            if (!codec || avcodec_parameters_to_context(codec.get(), p) < 0) continue;
            codec->thread_count = 1;
            if (avcodec_open2(codec.get(), decoder, nullptr) < 0) continue;
            ff_->audio = std::move(codec);
            ff_->audioTimeBase = av_q2d(s->time_base);
            audioIndex_ = static_cast<int>(i);
            s->discard = AVDISCARD_DEFAULT;
        }
    }
    if (videoIndex_ < 0 && audioIndex_ < 0) return false;
    startTime_ = format->start_time != AV_NOPTS_VALUE ? format->start_time / double(AV_TIME_BASE) : 0.0;
    return true;
}

MediaStream::~MediaStream() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        abort_ = true;
    }
    changed_.notify_all();
    if (audio_) {
        audio_->Close();
        output_->Detach(audio_);  // no mix, no completion call after this
    }
    if (reader_.joinable()) reader_.join();
    if (presenter_.joinable()) presenter_.join();
}

double MediaStream::WallNow() const { return static_cast<double>(CurrentClock().NowMicros()); }

// ---- Control (UI thread) --------------------------------------------------------

void MediaStream::Run() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!running_) {
            running_ = true;
            wallAnchor_ = static_cast<int64_t>(WallNow());
        }
    }
    if (audio_) audio_->SetPlaying(true);
    changed_.notify_all();
}

void MediaStream::Pause() {
    if (audio_) audio_->SetPlaying(false);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (running_) {
            wallBase_ += (WallNow() - static_cast<double>(wallAnchor_)) / 1e6;
            running_ = false;
        }
    }
    changed_.notify_all();
}

bool MediaStream::Cue() {
    if (!HasPicture()) return false;
    std::shared_ptr<const ws::VideoFrame> first;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, kCueWait, [&] {
            return abort_ || videoEnded_ ||
                   (!pictures_.empty() && pictures_.front().generation == generation_);
        });
        if (!pictures_.empty() && pictures_.front().generation == generation_)
            first = pictures_.front().picture;
    }
    if (!first) return false;
    Publish(first);
    return true;
}

void MediaStream::Seek(double seconds) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++generation_;
        seekTarget_ = std::max(0.0, seconds);
        pictures_.clear();
        ff_->packets.clear();
        packetBytes_ = 0;
        inputEnded_ = videoEnded_ = videoDone_ = audioDone_ = completeSent_ = false;
        audioStartKnown_ = false;
        wallBase_ = seekTarget_;
        wallAnchor_ = static_cast<int64_t>(WallNow());
        // Under the same lock, so the reader's next generation of sound is
        // the one after this flush.
        if (audio_) audio_->Flush();
    }
    changed_.notify_all();
}

std::shared_ptr<const ws::VideoFrame> MediaStream::TakeFrame() {
    std::lock_guard<std::mutex> lock(frameMutex_);
    if (!fresh_) return nullptr;
    fresh_ = false;
    return latest_;
}

double MediaStream::Position() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return PositionLocked();
}

double MediaStream::PositionLocked() const {
    if (audio_ && !audioDone_) {
        const double start = audioStartKnown_ ? audioStart_ : seekTarget_;
        return start + static_cast<double>(audio_->PlayedFrames()) / audio_->SampleRate();
    }
    const double running = running_ ? (WallNow() - static_cast<double>(wallAnchor_)) / 1e6 : 0.0;
    return wallBase_ + running;
}

void MediaStream::AudioFinished() {
    // On the output's thread, when the last sound frame has been played.
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const double start = audioStartKnown_ ? audioStart_ : seekTarget_;
        wallBase_ = start + static_cast<double>(audio_->PlayedFrames()) / audio_->SampleRate();
        wallAnchor_ = static_cast<int64_t>(WallNow());
        audioDone_ = true;
    }
    changed_.notify_all();
    CheckComplete();
}

void MediaStream::CheckComplete() {
    bool send = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if ((!HasPicture() || videoDone_) && (!HasSound() || audioDone_) && !completeSent_ && !abort_) {
            completeSent_ = true;
            send = true;
        }
    }
    if (send && callbacks_.event) callbacks_.event(kEcComplete);
}

void MediaStream::Publish(std::shared_ptr<const ws::VideoFrame> picture) {
    bool announce;
    {
        std::lock_guard<std::mutex> lock(frameMutex_);
        latest_ = std::move(picture);
        announce = !fresh_;
        fresh_ = true;
    }
    if (announce && callbacks_.frameReady) callbacks_.frameReady();
}

// ---- Reader thread ----------------------------------------------------------------
// Demuxes; decodes sound at once (into the source, which paces it) and
// queues compressed pictures for the presenter, which decodes just ahead.

void MediaStream::ReaderLoop() {
    AVFormatContext* format = ff_->format.get();
    ff::PacketPtr packet = ff::NewPacket();
    if (!packet) return;
    uint64_t generation;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        generation = generation_;
    }
    uint64_t audioGeneration = audio_ ? audio_->Generation() : 0;
    bool atEnd = false;
    for (;;) {
        bool seek = false;
        double target = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (atEnd) changed_.wait(lock, [&] { return abort_ || generation_ != generation; });
            if (abort_) return;
            if (generation_ != generation) {
                generation = generation_;
                target = seekTarget_;
                seek = true;
                audioGeneration = audio_ ? audio_->Generation() : 0;
            }
        }
        if (seek) {
            const int64_t ts = static_cast<int64_t>((startTime_ + target) * AV_TIME_BASE);
            av_seek_frame(format, -1, ts, AVSEEK_FLAG_BACKWARD);
            if (ff_->audio) avcodec_flush_buffers(ff_->audio.get());
            ff_->resampler.reset();  // drop what it still holds
            atEnd = false;
        }
        const int read = av_read_frame(format, packet.get());
        if (read == AVERROR(EAGAIN)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        if (read < 0) {
            bool nothing;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                nothing = !anyDecoded_;
            }
            if (read != AVERROR_EOF && nothing) {
                // Not a single packet could be read: the file is unplayable.
                // Its sound will never come; no output waits for it.
                if (audio_) audio_->Close();
                if (callbacks_.event) callbacks_.event(kEcErrorAbort);
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return abort_; });
                return;
            }
            EndOfInput(generation, audioGeneration);
            atEnd = true;
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            anyDecoded_ = true;
        }
        if (packet->stream_index == videoIndex_) QueuePacket(packet.get(), generation);
        else if (packet->stream_index == audioIndex_) DecodeAudio(packet.get(), generation, audioGeneration);
        av_packet_unref(packet.get());
    }
}

bool MediaStream::QueuePacket(AVPacket* packet, uint64_t generation) {
    ff::PacketPtr copy = ff::NewPacket();
    if (!copy) return false;
    av_packet_move_ref(copy.get(), packet);
    const size_t bytes = static_cast<size_t>(std::max(0, copy->size));
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] {
        return abort_ || generation_ != generation ||
               (ff_->packets.size() < kMaxQueuedPackets && packetBytes_ + bytes <= kMaxQueuedPacketBytes) ||
               ff_->packets.empty();
    });
    if (abort_ || generation_ != generation) return false;
    packetBytes_ += bytes;
    ff_->packets.push_back(Decoders::Pending{generation, std::move(copy)});
    lock.unlock();
    changed_.notify_all();
    return true;
}

bool MediaStream::DecodeAudio(const AVPacket* packet, uint64_t generation, uint64_t audioGeneration) {
    AVCodecContext* codec = ff_->audio.get();
    AVFrame* frame = ff_->soundFrame.get();
    const int sent = avcodec_send_packet(codec, packet);
    if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF) return true;
    for (;;) {
        const bool draining = packet == nullptr;
        if (avcodec_receive_frame(codec, frame) < 0) {
            if (!draining || !ff_->resampler) return true;
            // Flush what the resampler still holds.
            ff_->sound.resize(4096 * kOutputChannels);
            uint8_t* out[1] = {reinterpret_cast<uint8_t*>(ff_->sound.data())};
            const int n = swr_convert(ff_->resampler.get(), out, 4096, nullptr, 0);
            if (n > 0) audio_->Write(ff_->sound.data(), static_cast<size_t>(n), audioGeneration);
            return true;
        }
        if (frame->sample_rate < 1000 || frame->sample_rate > 768000 || frame->ch_layout.nb_channels < 1 ||
            frame->ch_layout.nb_channels > 64 || frame->nb_samples <= 0) {
            av_frame_unref(frame);
            continue;
        }
        // (Re)build the resampler whenever the decoded format changes, so it
        // never reads a frame laid out differently from what it expects.
        if (!ff_->resampler || ff_->resampleRate != frame->sample_rate ||
            ff_->resampleFormat != frame->format ||
            av_channel_layout_compare(&ff_->resampleLayout, &frame->ch_layout) != 0) {
            AVChannelLayout in{};
            if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
                av_channel_layout_default(&in, frame->ch_layout.nb_channels);
            else
                av_channel_layout_copy(&in, &frame->ch_layout);
            AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
            SwrContext* swr = nullptr;
            const int made = swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_FLT, audio_->SampleRate(), &in,
                                                 static_cast<AVSampleFormat>(frame->format),
                                                 frame->sample_rate, 0, nullptr);
            // A mono sound goes to both speakers at its own level.
            static const double kBothSpeakers[2] = {1.0, 1.0};
            if (swr && in.nb_channels == 1) swr_set_matrix(swr, kBothSpeakers, 1);
            av_channel_layout_uninit(&in);
            ff_->resampler.reset(swr);
            if (made < 0 || !swr || swr_init(swr) < 0) {
                ff_->resampler.reset();
                av_frame_unref(frame);
                continue;
            }
            ff_->resampleRate = frame->sample_rate;
            ff_->resampleFormat = frame->format;
            av_channel_layout_uninit(&ff_->resampleLayout);
            av_channel_layout_copy(&ff_->resampleLayout, &frame->ch_layout);
        }
        const int capacity = swr_get_out_samples(ff_->resampler.get(), frame->nb_samples);
        if (capacity <= 0) {
            av_frame_unref(frame);
            continue;
        }
        ff_->sound.resize(static_cast<size_t>(capacity) * kOutputChannels);
        uint8_t* out[1] = {reinterpret_cast<uint8_t*>(ff_->sound.data())};
        const int n = swr_convert(ff_->resampler.get(), out, capacity,
                                  const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
        const int64_t pts = frame->best_effort_timestamp;
        av_frame_unref(frame);
        if (n <= 0) continue;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (generation_ != generation || abort_) return false;
            if (!audioStartKnown_) {
                audioStart_ = pts != AV_NOPTS_VALUE ? std::max(0.0, pts * ff_->audioTimeBase - startTime_)
                                                    : seekTarget_;
                audioStartKnown_ = true;
            }
            anyDecoded_ = true;
        }
        if (!audio_->Write(ff_->sound.data(), static_cast<size_t>(n), audioGeneration)) return false;
    }
}

void MediaStream::EndOfInput(uint64_t generation, uint64_t audioGeneration) {
    if (ff_->audio) DecodeAudio(nullptr, generation, audioGeneration);
    if (audio_) audio_->MarkEnd(audioGeneration);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (generation_ == generation) inputEnded_ = true;
    }
    changed_.notify_all();
}

// ---- Presenter thread --------------------------------------------------------------

void MediaStream::DecodeVideo(const AVPacket* packet, uint64_t generation) {
    AVCodecContext* codec = ff_->video.get();
    AVFrame* frame = ff_->pictureFrame.get();
    const int sent = avcodec_send_packet(codec, packet);
    if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF) return;  // a bad packet
    for (;;) {
        if (avcodec_receive_frame(codec, frame) < 0) return;
        double time = ff_->nextVideoTime;
        if (frame->best_effort_timestamp != AV_NOPTS_VALUE)
            time = frame->best_effort_timestamp * ff_->videoTimeBase - startTime_;
        double duration = frameDuration_;
        if (frame->pkt_duration > 0) duration = std::clamp(frame->pkt_duration * ff_->videoTimeBase, 0.001, 1.0);
        ff_->nextVideoTime = time + duration;

        ff_->scaler = sws_getCachedContext(ff_->scaler, frame->width, frame->height,
                                           static_cast<AVPixelFormat>(frame->format), scaled_.width,
                                           scaled_.height, AV_PIX_FMT_0RGB32, SWS_AREA, nullptr,
                                           nullptr, nullptr);
        if (!ff_->scaler || frame->width <= 0 || frame->height <= 0) {
            av_frame_unref(frame);
            continue;
        }
        auto picture = std::make_shared<ws::VideoFrame>();
        picture->width = scaled_.width;
        picture->height = scaled_.height;
        picture->data.resize(static_cast<size_t>(scaled_.width) * scaled_.height);
        uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(picture->data.data()), nullptr, nullptr, nullptr};
        int strides[4] = {scaled_.width * 4, 0, 0, 0};
        sws_scale(ff_->scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
        av_frame_unref(frame);
        for (uint32_t& p : picture->data) p &= 0x00FFFFFFu;
        if (orientation_ != 1) *picture = OrientPicture(*picture, orientation_);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (generation_ != generation || abort_) continue;
            pictures_.push_back(Queued{time, duration, generation, std::move(picture)});
        }
        changed_.notify_all();
    }
}

void MediaStream::PresenterLoop() {
    double shownUntil = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    uint64_t generation = generation_;
    while (!abort_) {
        if (generation_ != generation) {
            // A seek: the decoder starts afresh at the new place.
            generation = generation_;
            ff_->nextVideoTime = seekTarget_;
            shownUntil = seekTarget_;
            lock.unlock();
            avcodec_flush_buffers(ff_->video.get());
            lock.lock();
            continue;
        }
        // Decode ahead, whether running or not (a cue needs the first picture).
        if (pictures_.size() < kMaxQueuedPictures && !videoEnded_) {
            if (!ff_->packets.empty()) {
                Decoders::Pending pending = std::move(ff_->packets.front());
                ff_->packets.pop_front();
                packetBytes_ -= std::min(packetBytes_, static_cast<size_t>(std::max(0, pending.packet->size)));
                changed_.notify_all();
                if (pending.generation != generation) continue;
                lock.unlock();
                DecodeVideo(pending.packet.get(), generation);
                lock.lock();
                continue;
            }
            if (inputEnded_) {
                lock.unlock();
                DecodeVideo(nullptr, generation);  // the pictures the decoder still holds
                lock.lock();
                if (generation_ == generation) videoEnded_ = true;
                changed_.notify_all();
                continue;
            }
        }
        if (!running_) {
            changed_.wait(lock);
            continue;
        }
        const double now = PositionLocked();
        if (pictures_.empty()) {
            if (videoEnded_ && !videoDone_ && now + 1e-6 >= shownUntil) {
                videoDone_ = true;
                lock.unlock();
                CheckComplete();
                lock.lock();
                continue;
            }
            changed_.wait_for(lock, std::chrono::milliseconds(5));
            continue;
        }
        const Queued& head = pictures_.front();
        if (now + 1e-4 >= head.time) {
            Queued due = std::move(pictures_.front());
            pictures_.pop_front();
            changed_.notify_all();
            // Skip a picture that is already late for the next one.
            if (!pictures_.empty() && pictures_.front().time <= now) continue;
            shownUntil = due.time + due.duration;
            lock.unlock();
            Publish(std::move(due.picture));
            lock.lock();
            continue;
        }
        const double wait = std::clamp(head.time - now, 0.001, 0.01);
        changed_.wait_for(lock, std::chrono::microseconds(static_cast<int64_t>(wait * 1e6)));
    }
}

}  // namespace tarn::media
