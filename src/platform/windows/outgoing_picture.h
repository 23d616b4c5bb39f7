// The picture of the slide before, left on screen until the next slide's
// picture is there to cover it: a slide change hides the old picture before
// the new one is ready, and without this the owner's bare background would
// show in between.
#pragma once

#include <memory>

#include "platform/windows/picture_window.h"

namespace tarn {

// Keeps `picture` (visible, in its owner) until DropOutgoingPicture, or until
// this thread's message loop next runs its timers when nothing drops it
// first (the show ends, or goes on without a new picture). A picture kept
// before is dropped.
void KeepOutgoingPicture(std::unique_ptr<PictureWindow> picture);
// Destroys the kept picture, if any: called once the next picture is shown.
void DropOutgoingPicture();

}  // namespace tarn
