// The graphs that show a still picture. Only their pictures take part in a
// cross-fade: a clip's picture is never held nor faded into.
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace tarn::media {

// The graph `number` holds a still picture (from RenderFile until it goes).
void AddStillGraph(uint64_t number);
void RemoveStillGraph(uint64_t number);

// The still picture of graph `number` has started running in `owner`: it
// fades in over a picture kept for `owner`, if there is one.
void StillPictureRuns(HWND owner, uint64_t number);

}  // namespace tarn::media
