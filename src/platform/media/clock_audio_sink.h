// An audio output without a sound card: it consumes the mix exactly as fast
// as a clock runs. On a VirtualClock it is stepped by the clock itself, so a
// 14-second sound completes at 14 s of virtual time however quickly the test
// runs; it behaves as an ideal device that never underruns (it waits for the
// decoder instead). On a real clock its own thread paces it, which is how
// sounds still end on time on a machine with no sound device.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/media/audio_output.h"

namespace tarn::media {

class ClockAudioSink final : public AudioOutput, public TimeListener {
public:
    static constexpr int kDefaultRate = 48000;
    // Virtual time is consumed in steps no longer than this.
    static constexpr int64_t kStepMicros = 20'000;

    // Stepped by `clock`, which must outlive the sink.
    explicit ClockAudioSink(VirtualClock& clock, bool isDevice = true, int sampleRate = kDefaultRate);
    // Paced by its own thread on whatever clock is current.
    enum class Pacing { OwnThread };
    ClockAudioSink(Pacing, bool isDevice, int sampleRate = kDefaultRate);
    ~ClockAudioSink() override;

    bool IsDevice() const override { return isDevice_; }
    void Attach(const std::shared_ptr<AudioSource>& source) override;

    // TimeListener.
    int64_t NextEventMicros() const override;
    void OnTimeAdvanced(int64_t now) override;

    // Frames consumed since construction.
    int64_t ConsumedFrames() const;
    // Keeps up to `maxFrames` of the mixed output for inspection.
    void CaptureMix(size_t maxFrames);
    std::vector<float> CapturedMix() const;

private:
    void Sync(int64_t now, bool waitForData);
    void PaceLoop();

    VirtualClock* virtualClock_ = nullptr;
    const bool isDevice_;
    mutable std::mutex syncMutex_;
    int64_t lastMicros_ = 0;
    int64_t carry_ = 0;  // sub-frame remainder, in frame-microseconds
    int64_t consumed_ = 0;
    std::vector<float> scratch_;
    size_t captureLimit_ = 0;
    std::vector<float> captured_;

    std::thread pacer_;
    std::mutex pacerMutex_;
    std::condition_variable pacerWake_;
    bool stopPacer_ = false;
};

}  // namespace tarn::media
