// For builds whose package process hands no picture over and starts no
// decoding: Windows, where the player decodes its first picture itself as it
// does every picture, and programs made of the package code alone (the fuzz
// targets).
#include "platform/picture_handover.h"

namespace tarn::media {

void BeginHandingOverPicture(const char*) {}

std::string PictureBeingHandedOver() { return {}; }

std::string PrepareHandoverForChild() { return {}; }

void ForgetHandoverCopies() {}

void EndHandingOverPicture() {}

}  // namespace tarn::media
