#include "platform/media/clock_audio_sink.h"

#include <algorithm>
#include <climits>

namespace tarn::media {

namespace {
constexpr int64_t kMicrosPerSecond = 1'000'000;
constexpr size_t kChunkFrames = 2048;
// How long an ideal device waits for a decoder before it plays silence.
constexpr std::chrono::milliseconds kDecoderWait{1000};
}  // namespace

ClockAudioSink::ClockAudioSink(VirtualClock& clock, bool isDevice, int sampleRate)
    : AudioOutput(sampleRate), virtualClock_(&clock), isDevice_(isDevice),
      lastMicros_(clock.NowMicros()) {
    scratch_.resize(kChunkFrames * kOutputChannels);
    clock.AddListener(this);
}

ClockAudioSink::ClockAudioSink(Pacing, bool isDevice, int sampleRate)
    : AudioOutput(sampleRate), isDevice_(isDevice), lastMicros_(CurrentClock().NowMicros()) {
    scratch_.resize(kChunkFrames * kOutputChannels);
    pacer_ = std::thread([this] { PaceLoop(); });
}

ClockAudioSink::~ClockAudioSink() {
    if (virtualClock_) virtualClock_->RemoveListener(this);
    if (pacer_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(pacerMutex_);
            stopPacer_ = true;
        }
        pacerWake_.notify_all();
        pacer_.join();
    }
}

void ClockAudioSink::PaceLoop() {
    std::unique_lock<std::mutex> lock(pacerMutex_);
    while (!stopPacer_) {
        pacerWake_.wait_for(lock, std::chrono::milliseconds(10));
        if (stopPacer_) break;
        lock.unlock();
        Sync(CurrentClock().NowMicros(), /*waitForData=*/false);
        lock.lock();
    }
}

void ClockAudioSink::Attach(const std::shared_ptr<AudioSource>& source) {
    // Time that passed before the source arrived belongs to the others.
    const int64_t now = virtualClock_ ? virtualClock_->NowMicros() : CurrentClock().NowMicros();
    Sync(now, virtualClock_ != nullptr);
    AudioOutput::Attach(source);
}

int64_t ClockAudioSink::NextEventMicros() const {
    const auto playing = PlayingSources();
    if (playing.empty()) return INT64_MAX;
    std::lock_guard<std::mutex> lock(syncMutex_);
    int64_t next = lastMicros_ + kStepMicros;
    const int rate = SampleRate();
    for (const auto& s : playing) {
        if (!s->EndMarked() || s->Completed()) continue;
        // The moment the last buffered frame will have been played.
        const int64_t remaining = static_cast<int64_t>(s->BufferedFrames());
        const int64_t needed = remaining * kMicrosPerSecond - carry_;
        const int64_t micros = needed <= 0 ? 1 : (needed + rate - 1) / rate;
        next = std::min(next, lastMicros_ + std::max<int64_t>(micros, 1));
    }
    return next;
}

void ClockAudioSink::OnTimeAdvanced(int64_t now) { Sync(now, /*waitForData=*/true); }

void ClockAudioSink::Sync(int64_t now, bool waitForData) {
    std::lock_guard<std::mutex> lock(syncMutex_);
    if (now <= lastMicros_) {
        lastMicros_ = std::min(lastMicros_, now);  // a clock that went back: start over from it
        return;
    }
    const int rate = SampleRate();
    const int64_t total = (now - lastMicros_) * rate + carry_;
    int64_t frames = total / kMicrosPerSecond;
    carry_ = total % kMicrosPerSecond;
    lastMicros_ = now;

    const size_t lookahead = static_cast<size_t>(rate) * kStepMicros / kMicrosPerSecond;
    while (frames > 0) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(frames, kChunkFrames));
        if (waitForData) {
            for (const auto& s : PlayingSources()) s->WaitForData(n + lookahead, kDecoderWait);
        }
        Mix(scratch_.data(), n);
        if (captured_.size() < captureLimit_ * kOutputChannels) {
            const size_t room = captureLimit_ * kOutputChannels - captured_.size();
            captured_.insert(captured_.end(), scratch_.begin(),
                             scratch_.begin() + std::min(room, n * kOutputChannels));
        }
        consumed_ += static_cast<int64_t>(n);
        frames -= static_cast<int64_t>(n);
    }
    // Know ahead whether a source ends before the next step, so that its
    // completion is stepped to exactly.
    if (waitForData) {
        for (const auto& s : PlayingSources()) s->WaitForData(lookahead, kDecoderWait);
    }
}

int64_t ClockAudioSink::ConsumedFrames() const {
    std::lock_guard<std::mutex> lock(syncMutex_);
    return consumed_;
}

void ClockAudioSink::CaptureMix(size_t maxFrames) {
    std::lock_guard<std::mutex> lock(syncMutex_);
    captureLimit_ = maxFrames;
    captured_.clear();
}

std::vector<float> ClockAudioSink::CapturedMix() const {
    std::lock_guard<std::mutex> lock(syncMutex_);
    return captured_;
}

}  // namespace tarn::media
