// Interim: the FFmpeg graph and the audio output are being built; until then
// no platform graph or sound device can be created.
#include "platform/media/platform_media.h"

namespace tarn::media {

HRESULT CreatePlatformGraph(IUnknown** graph) {
    if (graph) *graph = nullptr;
    return REGDB_E_CLASSNOTREG;
}

HRESULT OpenPlatformSoundDevice(IDirectSound** sound) {
    if (sound) *sound = nullptr;
    return DSERR_NODRIVER;
}

}  // namespace tarn::media
