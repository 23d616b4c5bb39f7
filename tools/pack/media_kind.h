// What a file is to a show, told by its name's extension (any case):
// a picture or a clip becomes a slide, a sound a slide's sound or the tune.
#pragma once

#include <string>

namespace tarnpack {

enum class MediaKind { Picture, Clip, Sound, Other };

MediaKind KindOfFile(const std::string& fileName);

// Orders file names as people count: digits compare by their number
// ("img2" before "img10"), letters without regard to case. Names that
// differ only in case or leading zeros still have a fixed order.
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace tarnpack
