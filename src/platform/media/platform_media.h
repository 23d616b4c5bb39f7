// The platform's own media objects behind the graph interface of
// platform/graph.h: the FFmpeg graph and the sound device of the current audio
// output. No FFmpeg or SDL types appear here.
#pragma once

#include "platform/graph.h"

namespace tarn::media {

// A new, empty FFmpeg graph; its IUnknown (one reference) in *graph.
HRESULT CreatePlatformGraph(IUnknown** graph);
// The current audio output as a sound device object; DSERR_NODRIVER when
// there is no device to play on.
HRESULT OpenPlatformSoundDevice(IDirectSound** sound);

// Starts preparing the file `name` (8-bit) for a later RenderFile.
void PreparePlatformFile(const char* name);
// Starts preparing the sound file `name` (8-bit) for a later RenderFile.
void PreparePlatformSound(const char* name);
// Lets go of what is held open for the files prepared so far.
void ForgetPlatformFiles();

}  // namespace tarn::media
