// Drawing on Pixels: solid fills, clipped copies and nearest-neighbour
// scaling. Every operation clips to the pictures involved; nothing writes or
// reads outside them.
#pragma once

#include <cstdint>

#include "platform/window_system.h"

namespace tarn::ws {

// A picture of the given size, every pixel `colour`. Sizes below 0 count as 0.
Pixels MakePixels(int width, int height, uint32_t colour = 0);

// Fills `area` ∩ `clip` ∩ the picture.
void FillPixels(Pixels& target, const RECT& area, const RECT& clip, uint32_t colour);

// Copies the width x height block at (sx, sy) of `source` to (dx, dy) of
// `target`, keeping only pixels inside `clip`, the target and the source.
// `source` may be `target` itself (overlapping blocks copy correctly).
void CopyPixels(Pixels& target, int dx, int dy, int width, int height, const Pixels& source,
                int sx, int sy, const RECT& clip);

// Draws `source` scaled (nearest neighbour) onto `area` of `target`, clipped
// to `clip` and the target.
void ScalePixels(Pixels& target, const RECT& area, const Pixels& source, const RECT& clip);
void ScalePixels(const PixelRows& target, const RECT& area, const Pixels& source, const RECT& clip);

// Whether ScalePixels draws anything of `source` at `area` (before clipping):
// an empty area or a malformed source leaves the target as it was.
bool ScalesSomething(const RECT& area, const Pixels& source);

// Gives the picture a new size; the pixels that fit stay where they were,
// new ones are `fill`.
void ResizePixels(Pixels& picture, int width, int height, uint32_t fill = 0);

}  // namespace tarn::ws
