// The show's first picture, decoded by the package process while it is still
// extracting the other files, and handed to the player it starts: the player
// then shows its first slide without decoding it again.
//
// The picture travels in an anonymous memory file; a socket carries what it
// is (the file's path, size and modification time, the screen it was fitted
// to) and then whether it is ready. The player takes it only for exactly
// that file, unchanged, and that screen; anything else it decodes itself,
// as it would without a package process.
#pragma once

#include <cstdint>
#include <string>

#include "platform/media/picture_fit.h"

namespace tarn::media {

struct StillPicture;

// ---- The package process ------------------------------------------------------

// Starts decoding `path` for the primary screen on a thread of its own, when
// it is a JPEG named as one and the X server tells the screen's size. Once
// only; later calls do nothing.
void BeginHandingOverPicture(const char* path);
// The same for a screen of a known size.
void BeginHandingOverPicture(const char* path, Size screen);

// The picture being handed over (empty: none).
std::string PictureBeingHandedOver();

// What the next program started needs in its environment to receive the
// picture ("NAME=value"), with the descriptors it names made inheritable;
// empty when nothing is being handed over. Call it just before starting the
// player, and ForgetHandoverCopies just after.
std::string PrepareHandoverForChild();
void ForgetHandoverCopies();

// Waits for the decoding thread and closes everything that is left; a later
// BeginHandingOverPicture may start again.
void EndHandingOverPicture();

// ---- The player ---------------------------------------------------------------

// Takes over the descriptors the environment names, and removes the name
// from the environment. Call it before any thread starts.
void AcceptHandedPicture();

// The handed picture, when it is the file `path` of `fileSize` bytes last
// modified at `modifiedNanos`, fitted to `screen`; waits for its decoding to
// end. The first call uses up what was handed over, whatever it answers.
bool TakeHandedPicture(const std::string& path, int64_t fileSize, int64_t modifiedNanos, Size screen,
                       StillPicture* out);

}  // namespace tarn::media
