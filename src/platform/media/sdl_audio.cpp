#include "platform/media/sdl_audio.h"

#include <SDL.h>

#include <memory>
#include <mutex>

#include "platform/media/audio_output.h"

namespace tarn::media {

namespace {

constexpr int kDeviceRate = 48000;

class SdlAudioOutput final : public AudioOutput {
public:
    SdlAudioOutput() : AudioOutput(kDeviceRate) {}
    ~SdlAudioOutput() override { Close(); }

    // Opens the default device; SDL converts our format to the hardware's.
    bool Open() {
        SDL_AudioSpec want{};
        want.freq = kDeviceRate;
        want.format = AUDIO_F32SYS;
        want.channels = kOutputChannels;
        want.samples = 1024;
        want.callback = &SdlAudioOutput::Callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        std::lock_guard<std::mutex> lock(mutex_);
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device_ == 0) return false;
        SDL_PauseAudioDevice(device_, 0);  // running from now on: the keep-alive
        return true;
    }
    void Close() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (device_ == 0) return;
        SDL_CloseAudioDevice(device_);  // waits for a callback in progress
        device_ = 0;
    }

    bool IsDevice() const override { return true; }
    void KeepRunning() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
    }

private:
    // Runs on SDL's audio thread.
    static void Callback(void* self, Uint8* stream, int bytes) {
        auto* output = static_cast<SdlAudioOutput*>(self);
        const size_t frames = static_cast<size_t>(bytes) / (sizeof(float) * kOutputChannels);
        output->Mix(reinterpret_cast<float*>(stream), frames);
    }

    std::mutex mutex_;
    SDL_AudioDeviceID device_ = 0;
};

std::mutex g_sdlMutex;
std::shared_ptr<SdlAudioOutput> g_output;

}  // namespace

bool StartSdlAudio() {
    std::lock_guard<std::mutex> lock(g_sdlMutex);
    if (g_output) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    auto output = std::make_shared<SdlAudioOutput>();
    // Without a device the subsystem stays as it is, idle: quitting it would
    // wait for SDL's thread that watches for new devices to wake from its
    // sleep, up to a tenth of a second, while the show is starting.
    if (!output->Open()) return false;
    g_output = output;
    InstallAudioOutput(output);
    return true;
}

void StopSdlAudio() {
    std::lock_guard<std::mutex> lock(g_sdlMutex);
    if (!g_output) return;
    InstallAudioOutput(nullptr);
    g_output->Close();
    g_output.reset();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace tarn::media
