// The expected look of each generated photo on a 1920x1080 screen, as a set
// of box figures, and the classification of a screen grab against them.
#pragma once

#include <string>
#include <vector>

#include "box_stats.h"

struct Signatures {
    std::vector<Box> boxes;
    // images[i][k]: expected figures of photo i in box k.
    std::vector<std::vector<BoxStats>> images;
};

// The boxes sampled on a 1920x1080 screen showing a 3:2 photo fitted to it.
std::vector<Box> DefaultBoxes();

// Text form: "box x y w h" lines, then "image i r g b d r g b d ..." lines.
bool LoadSignatures(const std::string& path, Signatures& out, std::string& error);
std::string FormatImageLine(int index, const std::vector<BoxStats>& stats);

// Index of the photo the grab shows, or -1 when it shows none of them
// completely: every box's mean colour must be within tolerance of the
// photo's, the overall detail at least a fraction of the photo's (so a
// blurred preview or a half-drawn frame does not count), and no other photo
// may be nearer.
int Classify(const Signatures& signatures, const std::vector<BoxStats>& grab);
