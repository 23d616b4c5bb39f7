#include "platform/graph.h"

#include <atomic>
#include <mutex>

#include "platform/media/platform_media.h"

namespace tarn::media {

namespace {

std::atomic<bool> g_exiting{false};
std::mutex g_factoryMutex;
GraphFactory g_graphFactory;
SoundDeviceFactory g_soundFactory;

GraphFactory CurrentGraphFactory() {
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    return g_graphFactory;
}

SoundDeviceFactory CurrentSoundFactory() {
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    return g_soundFactory;
}

}  // namespace

void InstallGraphFactory(GraphFactory factory) {
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    g_graphFactory = std::move(factory);
}

void InstallSoundDeviceFactory(SoundDeviceFactory factory) {
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    g_soundFactory = std::move(factory);
}

void EnterProcessExit() { g_exiting.store(true); }
bool ProcessExitBegun() { return g_exiting.load(); }

uint64_t NewGraphNumber() {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

HRESULT CoCreateInstance(const Guid& clsid, IUnknown* outer, DWORD context, const Guid& riid,
                         void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!(clsid == CLSID_FilterGraph)) return REGDB_E_CLASSNOTREG;
    if (outer) return E_INVALIDARG;  // graphs cannot be aggregated
    IUnknown* unknown = nullptr;
    HRESULT hr;
    if (GraphFactory factory = CurrentGraphFactory())
        hr = factory(context, &unknown);
    else
        hr = CreatePlatformGraph(&unknown);
    if (FAILED(hr)) return hr;
    if (!unknown) return E_FAIL;
    hr = unknown->QueryInterface(riid, object);
    unknown->Release();
    return hr;
}

void HintUpcomingFile(const char* name) {
    if (!name || !*name || CurrentGraphFactory()) return;
    PreparePlatformFile(name);
}

void HintUpcomingSound(const char* name) {
    if (!name || !*name || CurrentGraphFactory()) return;
    PreparePlatformSound(name);
}

void ForgetUpcomingFiles() { ForgetPlatformFiles(); }

HRESULT OleRun(IUnknown* object) { return object ? S_OK : E_INVALIDARG; }

HRESULT DirectSoundCreate(const Guid* device, IDirectSound** sound, IUnknown* outer) {
    if (!sound) return DSERR_INVALIDPARAM;
    *sound = nullptr;
    if (device || outer) return DSERR_INVALIDPARAM;  // only the default device
    if (SoundDeviceFactory factory = CurrentSoundFactory()) return factory(sound);
    return OpenPlatformSoundDevice(sound);
}

}  // namespace tarn::media
