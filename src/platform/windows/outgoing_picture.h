// The picture of the slide before, left on screen until the next slide's
// picture is there to cover it: a slide change hides the old picture before
// the new one is ready, and without this the owner's bare background would
// show in between. The picture is a still's window, or a clip's graph whose
// video window shows the clip's last picture.
#pragma once

#include <dshow.h>

#include <memory>

#include "platform/windows/com_ref.h"
#include "platform/windows/picture_window.h"

namespace tarn {

// Keeps `picture` (visible, in its owner) until NextPictureShown, or until
// this thread's message loop next runs its timers when nothing drops it
// first (the show ends, or goes on without a new picture). A picture kept
// before is dropped.
void KeepOutgoingPicture(std::unique_ptr<PictureWindow> picture);
// The same for a clip's graph, its video window shown in its owner: when
// dropped, the window is hidden and given back by its owner, and the graph
// released.
// The clip is paused on the picture it shows.
void KeepOutgoingClip(ComRef<::IGraphBuilder> graph);
// Lets the kept picture go, if any.
void DropOutgoingPicture();
// Called once the next picture is shown: a kept still goes at once, a kept
// clip when the message loop next runs its timers, after the new picture
// has been painted (hiding the clip's window and releasing its graph may
// take a while).
void NextPictureShown();

}  // namespace tarn
