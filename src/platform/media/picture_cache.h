// Still pictures decoded ahead of time. The player hints which file it will
// show next; one worker thread decodes it, fitted to the screen, so that the
// slide change only places a ready picture. The show's first picture, and
// any picture a caller has to decode itself, may take two threads; pictures
// decoded ahead take one, leaving a core to the slide on screen. The three most recent pictures
// are kept, so stepping back is as quick; one picture at most is decoded at
// any time, by the worker or by a caller that finds its picture unprepared. Entries are matched by path, size and
// modification time of the file, and by the screen size.
#pragma once

#include <string>

#include "platform/media/still_picture.h"

namespace tarn::media {

// Starts decoding `path` for `screen` in the background unless it is kept
// or on its way already. Anything but a still picture is ignored.
void PreparePicture(const std::string& path, Size screen);

// The picture of `path` decoded for `screen`: taken from the kept ones,
// waited for when its decoding is under way (the window system meanwhile
// readies its windows: call it on the user-interface thread), else decoded
// here and kept.
StillResult DecodeStillPictureCached(const std::string& path, Size screen, StillPicture* out);

// A still picture is on screen: once the show's first one is, the worker
// loads the rest of the media libraries when it has nothing to decode, not
// while the first slide is being put on screen.
void PictureOnScreen();

// True when the picture of `path` for `screen` is kept (after waiting for a
// decoding under way); for tests.
bool PictureIsPrepared(const std::string& path, Size screen);

// Stops the worker and forgets every kept picture (tests, exit).
void ClearPreparedPictures();

}  // namespace tarn::media
