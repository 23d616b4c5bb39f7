// The media of the soak show, made at test time with the ffmpeg tool: small
// stills, a clip with sound, short sounds, and damaged files of each kind.
#pragma once

#include <string>
#include <vector>

namespace tarn::test {

struct SoakMedia {
    std::string folder;  // where the files are, without a trailing '/'
    // File names in `folder`.
    std::vector<std::string> pictures;  // stills and clips, damaged ones among them
    std::vector<std::string> sounds;    // short sounds, damaged ones among them
    std::string tune;                   // the background sound (about a second)
};

// Makes the files in `folder` (once: files already there are kept). False,
// with `error` set, when the ffmpeg tool cannot make them.
bool MakeSoakMedia(const std::string& folder, SoakMedia* media, std::string* error);

}  // namespace tarn::test
