// The sound card through SDL: one device, opened once, fed by the mixer of
// every playing source. Without a device (a server, no sound card) nothing
// is installed and sounds follow the clock in silence.
#pragma once

namespace tarn::media {

// Opens the default playback device and makes it the audio output. Returns
// false, changing nothing, when no device can be opened.
bool StartSdlAudio();
// Closes the device (the sources it was playing are no longer consumed) and
// returns to the silent stand-in. Safe to call when not started.
void StopSdlAudio();

}  // namespace tarn::media
