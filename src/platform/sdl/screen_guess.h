// The size of the screen a show will play on, asked of the X server
// directly: a round trip or two, where starting SDL's video takes tens of
// milliseconds. The player starts decoding its first picture for this size
// while SDL starts.
#pragma once

namespace tarn {

struct ScreenSize {
    int width = 0;
    int height = 0;
};

// The primary monitor of the X display named by DISPLAY (the first one when
// none is marked primary), as SDL sees its first display; false without an X
// display, without the X libraries or without a monitor. Only a guess: a
// picture decoded for another size than SDL's is simply decoded again.
bool GuessPrimaryScreenSize(ScreenSize* size);

}  // namespace tarn
