// The sound device of platform/graph.h on DirectSound: the audio keep-alive's
// device object and its primary buffer.
#include "platform/graph.h"
#include "platform/media/platform_media.h"

#include <mmsystem.h>
#include <dsound.h>

#include "platform/windows/com_ref.h"

namespace tarn {
namespace {

// The primary buffer belongs to its device object, which holds the real
// buffer's reference; the player's AddRef and Release count nothing.
class PrimaryBuffer final : public media::IDirectSoundBuffer {
public:
    HRESULT QueryInterface(const media::Guid& riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!(riid == media::IID_IUnknown || riid == media::IID_IDirectSoundBuffer)) return E_NOINTERFACE;
        *object = static_cast<media::IDirectSoundBuffer*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override {
        return buffer_ ? buffer_->Play(reserved, priority, flags) : DSERR_UNINITIALIZED;
    }

    ComRef<::IDirectSoundBuffer> buffer_;
};

class SoundDevice final : public media::IDirectSound {
public:
    explicit SoundDevice(ComRef<::IDirectSound> device) : device_(std::move(device)) {}

    HRESULT QueryInterface(const media::Guid& riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (!(riid == media::IID_IUnknown || riid == media::IID_IDirectSound)) return E_NOINTERFACE;
        *object = static_cast<media::IDirectSound*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // Only the primary buffer is asked for: the keep-alive plays nothing
    // of its own.
    HRESULT CreateSoundBuffer(const media::DSBUFFERDESC* description, media::IDirectSoundBuffer** buffer,
                              media::IUnknown* outer) override {
        if (description == nullptr || buffer == nullptr) return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (outer != nullptr) return DSERR_NOAGGREGATION;
        if (!(description->dwFlags & DSBCAPS_PRIMARYBUFFER)) return DSERR_INVALIDPARAM;
        ::DSBUFFERDESC real{};
        real.dwSize = sizeof real;
        real.dwFlags = description->dwFlags;
        real.dwBufferBytes = description->dwBufferBytes;
        real.lpwfxFormat = reinterpret_cast<::WAVEFORMATEX*>(description->lpwfxFormat);
        const HRESULT hr = device_->CreateSoundBuffer(&real, primary_.buffer_.Put(), nullptr);
        if (hr != DS_OK) return hr;
        *buffer = &primary_;
        return hr;
    }
    HRESULT SetCooperativeLevel(HWND window, DWORD level) override {
        return device_->SetCooperativeLevel(window, level);
    }

private:
    ~SoundDevice() {
        primary_.buffer_.Reset();  // the buffer before its device
    }

    ULONG references_ = 1;
    ComRef<::IDirectSound> device_;
    PrimaryBuffer primary_;
};

}  // namespace
}  // namespace tarn

namespace tarn::media {

HRESULT OpenPlatformSoundDevice(IDirectSound** sound) {
    if (sound == nullptr) return DSERR_INVALIDPARAM;
    *sound = nullptr;
    ComRef<::IDirectSound> device;
    const HRESULT hr = ::DirectSoundCreate(nullptr, device.Put(), nullptr);
    if (FAILED(hr)) return hr;
    *sound = new tarn::SoundDevice(std::move(device));
    return S_OK;
}

}  // namespace tarn::media
