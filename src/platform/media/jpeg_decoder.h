// JPEG pictures through libjpeg-turbo: decoded reduced by the DCT itself
// (1/2, 1/4 or 1/8, the smallest that still covers the target size) and
// scaled to the target band by band, so that neither the full-size picture
// nor the reduced one is ever held whole.
#pragma once

#include "platform/media/picture_fit.h"
#include "platform/window_system.h"

namespace tarn::media {

struct JpegDecoded {
    ws::Pixels picture;  // exactly the target size, stored orientation, 0x00RRGGBB
    int reducedLevel = 0;  // the DCT reduced each side by 2^reducedLevel
    bool cutInTwo = false;  // decoded as two halves side by side
};

// Decodes the JPEG file `path`, whose stored size is `stored`, to `target`
// (stored orientation). With `twoThreads`, a picture with restart markers at
// whole rows is cut in two and the halves decoded side by side, to the same
// pixels. False when the library refuses the file (CMYK,
// arithmetic coding it lacks …), finds anything corrupt or cut short in it,
// or the size disagrees with `stored`: the caller then tries another decoder
// or gives up.
bool DecodeJpegScaled(const char* path, Size stored, Size target, JpegDecoded* out, bool twoThreads = true);

}  // namespace tarn::media
