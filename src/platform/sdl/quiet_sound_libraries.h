// Keeping the sound libraries from writing to the terminal.
#pragma once

namespace tarn {

// ALSA's library reports a machine without a sound card, which is normal for
// a player that then goes on in silence, on standard error. Installs a
// handler that drops those reports, when the library is present. Call before
// the sound device is opened.
void QuietSoundLibraries();

}  // namespace tarn
