#include "platform/media/audio_output.h"

#include <algorithm>
#include <cstring>

#include "platform/media/clock_audio_sink.h"

namespace tarn::media {

// ---- AudioSource -------------------------------------------------------------

AudioSource::AudioSource(int sampleRate, double capacitySeconds)
    : sampleRate_(sampleRate),
      capacity_(std::max<size_t>(1024, static_cast<size_t>(sampleRate * capacitySeconds))),
      ring_(capacity_ * kOutputChannels) {}

uint64_t AudioSource::Generation() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return generation_;
}

bool AudioSource::Write(const float* samples, size_t frames, uint64_t generation) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (frames > 0) {
        spaceFreed_.wait(lock, [&] {
            return closed_ || generation_ != generation || count_ < capacity_;
        });
        if (closed_ || generation_ != generation) return false;
        const size_t room = capacity_ - count_;
        const size_t n = std::min(room, frames);
        for (size_t i = 0; i < n; ++i) {
            const size_t slot = (head_ + count_ + i) % capacity_;
            std::memcpy(&ring_[slot * kOutputChannels], samples + i * kOutputChannels,
                        sizeof(float) * kOutputChannels);
        }
        count_ += n;
        samples += n * kOutputChannels;
        frames -= n;
        dataAdded_.notify_all();
    }
    return true;
}

void AudioSource::MarkEnd(uint64_t generation) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (generation != generation_ || closed_) return;
    ended_ = true;
    dataAdded_.notify_all();
}

void AudioSource::Flush() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
    head_ = 0;
    count_ = 0;
    ended_ = false;
    completed_ = false;
    played_.store(0);
    spaceFreed_.notify_all();
    dataAdded_.notify_all();
}

void AudioSource::SetPlaying(bool playing) {
    std::lock_guard<std::mutex> lock(mutex_);
    playing_.store(playing);
    dataAdded_.notify_all();
}

bool AudioSource::Playing() const { return playing_.load(); }

void AudioSource::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    spaceFreed_.notify_all();
    dataAdded_.notify_all();
}

void AudioSource::SetOnComplete(std::function<void()> onComplete) {
    std::lock_guard<std::mutex> lock(mutex_);
    onComplete_ = std::move(onComplete);
}

size_t AudioSource::MixInto(float* mix, size_t frames, float gain) {
    std::function<void()> announce;
    size_t n;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        n = std::min(frames, count_);
        for (size_t i = 0; i < n; ++i) {
            const float* frame = &ring_[((head_ + i) % capacity_) * kOutputChannels];
            for (int c = 0; c < kOutputChannels; ++c) mix[i * kOutputChannels + c] += frame[c] * gain;
        }
        head_ = (head_ + n) % capacity_;
        count_ -= n;
        played_.fetch_add(static_cast<int64_t>(n));
        if (n > 0) spaceFreed_.notify_all();
        if (ended_ && count_ == 0 && !completed_) {
            completed_ = true;
            announce = onComplete_;
        }
    }
    if (announce) announce();
    return n;
}

bool AudioSource::WaitForData(size_t frames, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    frames = std::min(frames, capacity_);
    return dataAdded_.wait_for(lock, timeout, [&] {
        return closed_ || ended_ || count_ >= frames || !playing_.load();
    });
}

size_t AudioSource::BufferedFrames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
}

bool AudioSource::EndMarked() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ended_;
}

bool AudioSource::Completed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return completed_;
}

int64_t AudioSource::PlayedFrames() const { return played_.load(); }

// ---- AudioOutput ---------------------------------------------------------------

void AudioOutput::Attach(const std::shared_ptr<AudioSource>& source) {
    std::lock_guard<std::mutex> lock(mixMutex_);
    if (std::find(sources_.begin(), sources_.end(), source) == sources_.end())
        sources_.push_back(source);
}

void AudioOutput::Detach(const std::shared_ptr<AudioSource>& source) {
    // Taking the mix lock also waits for a mix in progress: once this
    // returns, the source is never read and never announces again.
    std::lock_guard<std::mutex> lock(mixMutex_);
    sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
}

int AudioOutput::AttachedSources() const {
    std::lock_guard<std::mutex> lock(mixMutex_);
    return static_cast<int>(sources_.size());
}

std::vector<std::shared_ptr<AudioSource>> AudioOutput::PlayingSources() const {
    std::lock_guard<std::mutex> lock(mixMutex_);
    std::vector<std::shared_ptr<AudioSource>> playing;
    for (const auto& s : sources_)
        if (s->Playing()) playing.push_back(s);
    return playing;
}

void AudioOutput::Mix(float* out, size_t frames) {
    std::fill(out, out + frames * kOutputChannels, 0.0f);
    std::lock_guard<std::mutex> lock(mixMutex_);
    for (const auto& s : sources_)
        if (s->Playing()) s->MixInto(out, frames);
    for (size_t i = 0; i < frames * kOutputChannels; ++i) out[i] = std::clamp(out[i], -1.0f, 1.0f);
}

// ---- The current output --------------------------------------------------------

namespace {
std::mutex g_outputMutex;
std::shared_ptr<AudioOutput> g_installed;
std::shared_ptr<AudioOutput> g_standIn;
}  // namespace

std::shared_ptr<AudioOutput> CurrentAudioOutput() {
    std::lock_guard<std::mutex> lock(g_outputMutex);
    if (g_installed) return g_installed;
    if (!g_standIn) g_standIn = std::make_shared<ClockAudioSink>(ClockAudioSink::Pacing::OwnThread,
                                                                 /*isDevice=*/false);
    return g_standIn;
}

void InstallAudioOutput(std::shared_ptr<AudioOutput> output) {
    std::lock_guard<std::mutex> lock(g_outputMutex);
    g_installed = std::move(output);
}

}  // namespace tarn::media
