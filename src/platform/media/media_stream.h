// Playback of a clip or a sound file: a reader thread demuxes and decodes
// (pictures scaled to their fitted size, sound resampled to the output's
// format into an AudioSource), a presenter thread hands each picture over at
// its time. With a sound stream the sound is the clock (its played
// position); without one the clock is the stream's running time on the
// process clock. Nothing here calls the window system: a new picture is
// announced through a callback and taken with TakeFrame on the UI thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/media/audio_output.h"
#include "platform/media/picture_fit.h"
#include "platform/window_system.h"

struct AVPacket;

namespace tarn::media {

class MediaStream {
public:
    struct Callbacks {
        // A picture is waiting for TakeFrame (presenter thread).
        std::function<void()> frameReady;
        // EC_COMPLETE once everything has been played; EC_ERRORABORT when
        // the file cannot be read on (any stream thread).
        std::function<void(long code)> event;
    };

    // Opens `path`; nullptr when it has no playable picture or sound stream.
    static std::unique_ptr<MediaStream> Open(const char* path, Size screen,
                                             std::shared_ptr<AudioOutput> output, Callbacks callbacks);
    ~MediaStream();
    MediaStream(const MediaStream&) = delete;
    MediaStream& operator=(const MediaStream&) = delete;

    bool HasPicture() const { return videoIndex_ >= 0; }
    bool HasSound() const { return audioIndex_ >= 0; }
    Size SourceSize() const { return source_; }
    Size FittedSize() const { return fitted_; }

    void Run();
    void Pause();
    // Waits (bounded) until the first picture is decoded and makes it the
    // current one; true when there is one.
    bool Cue();
    // Restarts playback at `seconds` (only 0 and the start are exact).
    void Seek(double seconds);

    // The newest picture handed over, once; nullptr when none is new.
    std::shared_ptr<const ws::VideoFrame> TakeFrame();
    // The stream's clock in seconds.
    double Position() const;

private:
    struct Queued {
        double time;
        double duration;
        uint64_t generation;
        std::shared_ptr<const ws::VideoFrame> picture;
    };

    MediaStream() = default;
    bool OpenStreams(const char* path, Size screen);
    void ReaderLoop();
    void PresenterLoop();
    // Reader side.
    bool QueuePacket(AVPacket* packet, uint64_t generation);
    bool DecodeAudio(const AVPacket* packet, uint64_t generation, uint64_t audioGeneration);
    void EndOfInput(uint64_t generation, uint64_t audioGeneration);
    // Presenter side: decodes one packet (nullptr: drains the decoder).
    void DecodeVideo(const AVPacket* packet, uint64_t generation);
    void Publish(std::shared_ptr<const ws::VideoFrame> picture);
    void AudioFinished();
    void CheckComplete();
    double WallNow() const;
    double PositionLocked() const;

    // FFmpeg state, used by the reader thread only once it runs.
    struct Decoders;
    std::unique_ptr<Decoders> ff_;
    int videoIndex_ = -1;
    int audioIndex_ = -1;
    Size source_;  // as seen: upright
    Size fitted_;  // as seen, on the screen
    Size scaled_;  // the fitted size in the stored orientation
    int orientation_ = 1;  // the turn from stored to upright, as in EXIF
    double startTime_ = 0;  // the container's start, in seconds
    double frameDuration_ = 0.04;

    std::shared_ptr<AudioOutput> output_;
    std::shared_ptr<AudioSource> audio_;
    Callbacks callbacks_;

    // Control, shared by all threads.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool abort_ = false;
    bool running_ = false;
    uint64_t generation_ = 0;  // bumped by every Seek
    double seekTarget_ = 0;
    std::deque<Queued> pictures_;
    size_t packetBytes_ = 0;   // compressed pictures queued (in Decoders)
    bool inputEnded_ = false;  // the reader reached the end of the file
    bool videoEnded_ = false;  // the last picture has been decoded
    bool videoDone_ = false;   // ... and it has been shown for its time
    bool audioDone_ = false;
    bool completeSent_ = false;
    bool anyDecoded_ = false;
    // Clock: the sound's position while it plays; then running time.
    double audioStart_ = 0;
    bool audioStartKnown_ = false;
    double wallBase_ = 0;
    int64_t wallAnchor_ = 0;

    std::mutex frameMutex_;
    std::shared_ptr<const ws::VideoFrame> latest_;
    bool fresh_ = false;

    std::thread reader_;
    std::thread presenter_;
};

}  // namespace tarn::media
