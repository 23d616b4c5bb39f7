// Where sounds go: an audio output mixes every playing source (background,
// slide sound, a clip's sound) into one stream of stereo float samples at the
// output's rate. Sources are fed by their graph's decode thread and consumed
// by the output (an SDL device, or a sink that follows a clock).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace tarn::media {

constexpr int kOutputChannels = 2;

// One sound being played: a bounded ring of interleaved stereo floats.
class AudioSource {
public:
    AudioSource(int sampleRate, double capacitySeconds);

    // ---- Producer (decode thread) --------------------------------------------
    // The generation of the data being written; a Flush starts a new one.
    uint64_t Generation() const;
    // Appends `frames` frames, blocking while the ring is full. Returns false
    // (data dropped) when the ring was flushed since `generation`, or closed.
    bool Write(const float* samples, size_t frames, uint64_t generation);
    // No more data in this generation: the source completes once the output
    // has played what is buffered.
    void MarkEnd(uint64_t generation);

    // ---- Control (any thread) ------------------------------------------------
    // Drops buffered data and the end mark; the played position restarts at 0.
    void Flush();
    void SetPlaying(bool playing);
    bool Playing() const;
    // Wakes and refuses every writer for good (the graph is going away).
    void Close();
    // Called once per generation, by the output's consuming thread, when the
    // last frame after MarkEnd has been played.
    void SetOnComplete(std::function<void()> onComplete);

    // ---- Consumer (output) ---------------------------------------------------
    // Adds up to `frames` buffered frames into `mix`; returns how many were
    // there. Completion is announced when the end is reached.
    size_t MixInto(float* mix, size_t frames, float gain = 1.0f);
    // Blocks until `frames` frames are buffered, the end is marked, the source
    // stops playing or `timeout` passes; true when the wait was satisfied.
    bool WaitForData(size_t frames, std::chrono::milliseconds timeout);

    // ---- State ---------------------------------------------------------------
    size_t BufferedFrames() const;
    bool EndMarked() const;
    bool Completed() const;
    // Frames played since the last Flush.
    int64_t PlayedFrames() const;
    int SampleRate() const { return sampleRate_; }

private:
    const int sampleRate_;
    const size_t capacity_;  // in frames
    mutable std::mutex mutex_;
    std::condition_variable spaceFreed_;
    std::condition_variable dataAdded_;
    std::vector<float> ring_;
    size_t head_ = 0;  // next frame to read
    size_t count_ = 0;
    uint64_t generation_ = 0;
    bool ended_ = false;
    bool completed_ = false;
    bool closed_ = false;
    std::atomic<bool> playing_{false};
    std::atomic<int64_t> played_{0};
    std::function<void()> onComplete_;
};

// An output with its mixer. Subclasses consume the mix at their own pace.
class AudioOutput {
public:
    explicit AudioOutput(int sampleRate) : sampleRate_(sampleRate) {}
    virtual ~AudioOutput() = default;
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    int SampleRate() const { return sampleRate_; }
    // True for a sound device (something the keep-alive can hold open);
    // false for the silent stand-in used when there is none.
    virtual bool IsDevice() const = 0;
    // Makes sure the device is running (it plays silence when nothing sounds).
    virtual void KeepRunning() {}

    virtual void Attach(const std::shared_ptr<AudioSource>& source);
    virtual void Detach(const std::shared_ptr<AudioSource>& source);
    int AttachedSources() const;

protected:
    // Fills `frames` frames of `out` with the mix of every playing source
    // (silence when none). Completion callbacks run here.
    void Mix(float* out, size_t frames);
    std::vector<std::shared_ptr<AudioSource>> PlayingSources() const;

private:
    const int sampleRate_;
    mutable std::mutex mixMutex_;
    std::vector<std::shared_ptr<AudioSource>> sources_;
};

// The output graphs play to: the installed one, else a silent stand-in that
// follows the process clock (so sounds still finish on time without a
// device).
std::shared_ptr<AudioOutput> CurrentAudioOutput();
// Installs `output` (nullptr: back to the stand-in). Graphs keep the output
// they started with.
void InstallAudioOutput(std::shared_ptr<AudioOutput> output);

}  // namespace tarn::media
