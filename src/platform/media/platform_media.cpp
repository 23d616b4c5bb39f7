// The platform's media objects: FFmpeg graphs, and the current audio output
// seen as a sound device for the keep-alive.
#include "platform/media/platform_media.h"

#include <atomic>
#include <memory>

#include "platform/media/audio_output.h"
#include "platform/media/ffmpeg_graph.h"
#include "platform/media/picture_cache.h"

namespace tarn::media {

namespace {

// Holding it keeps the audio output alive; playing its primary buffer makes
// sure the device runs.
class OutputSoundDevice final : public IDirectSound {
public:
    explicit OutputSoundDevice(std::shared_ptr<AudioOutput> output) : output_(std::move(output)) {}

    HRESULT QueryInterface(const Guid& riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!(riid == IID_IUnknown) && !(riid == IID_IDirectSound)) return E_NOINTERFACE;
        AddRef();
        *object = static_cast<IDirectSound*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT SetCooperativeLevel(HWND, DWORD level) override {
        return level >= 1 && level <= 3 ? S_OK : DSERR_INVALIDPARAM;
    }
    HRESULT CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer,
                              IUnknown* outer) override {
        if (!buffer) return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (!description || description->dwSize != sizeof(DSBUFFERDESC) || outer)
            return DSERR_INVALIDPARAM;
        // Only the primary buffer: the device's own output.
        if (!(description->dwFlags & DSBCAPS_PRIMARYBUFFER) || description->dwBufferBytes != 0)
            return DSERR_INVALIDPARAM;
        *buffer = &primary_;
        return S_OK;
    }

private:
    ~OutputSoundDevice() = default;

    struct Primary final : IDirectSoundBuffer {
        explicit Primary(OutputSoundDevice* d) : device(d) {}
        HRESULT QueryInterface(const Guid& riid, void** object) override {
            if (!object) return E_POINTER;
            *object = nullptr;
            if (!(riid == IID_IUnknown) && !(riid == IID_IDirectSoundBuffer)) return E_NOINTERFACE;
            *object = static_cast<IDirectSoundBuffer*>(this);
            return S_OK;
        }
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
        HRESULT Play(DWORD, DWORD, DWORD) override {
            device->output_->KeepRunning();
            return S_OK;
        }
        OutputSoundDevice* device;
    };

    std::atomic<ULONG> refs_{1};
    std::shared_ptr<AudioOutput> output_;
    Primary primary_{this};
};

}  // namespace

HRESULT CreatePlatformGraph(IUnknown** graph) {
    if (!graph) return E_POINTER;
    *graph = static_cast<IGraphBuilder*>(new FfmpegGraph());
    return S_OK;
}

void PreparePlatformFile(const char* name) {
    PreparePicture(name, Size{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

// A sound opens quickly enough when it starts.
void PreparePlatformSound(const char*) {}

// The pictures prepared ahead are decoded pixels: no file is held open.
void ForgetPlatformFiles() {}

HRESULT OpenPlatformSoundDevice(IDirectSound** sound) {
    if (!sound) return E_POINTER;
    *sound = nullptr;
    std::shared_ptr<AudioOutput> output = CurrentAudioOutput();
    if (!output->IsDevice()) return DSERR_NODRIVER;
    *sound = new OutputSoundDevice(std::move(output));
    return S_OK;
}

}  // namespace tarn::media
