// Cross-fades between the still pictures of the Windows build: a window of
// its own above the owner's children shows the kept picture while the slide
// changes beneath it, then the two pictures mixed, redrawn on a timer of the
// user-interface thread, until the fade's time is over and the new
// picture's own window, beneath it, is seen alone.
#pragma once

#include "platform/win32.h"
#include "platform/windows/picture_window.h"

namespace tarn {

// The picture window `entering`, placed in `owner`, is about to be shown:
// when a picture was kept for `owner`, it fades into `entering` from now on.
void StartPictureFade(HWND owner, const PictureWindow& entering);

}  // namespace tarn
