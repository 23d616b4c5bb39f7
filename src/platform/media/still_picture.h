// Still pictures (JPEG, PNG, BMP, GIF, WebP, TIFF …): decoded once, straight
// to the size they will have on the screen. A JPEG is decoded at the reduced
// resolution that still covers that size, and scaled from the decoder's own
// frame; no full-size RGB copy is ever made. EXIF orientation is applied.
#pragma once

#include <memory>

#include "platform/media/picture_fit.h"
#include "platform/window_system.h"

namespace tarn::media {

struct StillPicture {
    Size source;  // as seen (after orientation), full resolution
    std::shared_ptr<const ws::VideoFrame> frame;  // fitted to the screen
    int reducedLevel = 0;  // the decoder's reduction (JPEG)
    int orientation = 1;
    bool cutInTwo = false;  // a JPEG decoded as two halves side by side
};

enum class StillResult {
    NotStill,  // opened, but not a still picture format (try it as a stream)
    Failed,    // cannot be opened, or a still picture that cannot be decoded
    Decoded,
};

// Whether someone waits for the picture: then a JPEG may be decoded on two
// threads. A picture decoded ahead in the background takes one, so that the
// user-interface thread keeps a core to put the current slide on screen.
enum class Urgency { Wanted, Ahead };

StillResult DecodeStillPicture(const char* path, Size screen, StillPicture* out,
                               Urgency urgency = Urgency::Wanted);

// Whether the file's name says JPEG (".jpg", ".jpeg", any case).
bool NamedAsJpeg(const char* path);

// A whole JPEG named as one, decoded by libjpeg-turbo alone: the format and
// codec libraries are never called. False for any other file and for a JPEG
// that libjpeg-turbo refuses.
bool DecodeNamedJpeg(const char* path, Size screen, StillPicture* out, Urgency urgency = Urgency::Wanted);

}  // namespace tarn::media
