// A show description made from a folder of pictures, clips and sounds (or a
// list of such files), for authors who have not written one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnpack {

enum class SlideOrder {
    Name,  // natural file-name order: img2 before img10
    Date,  // the date taken (EXIF DateTimeOriginal, else the file's time)
};

struct FolderShowOptions {
    std::vector<std::string> inputs;  // folders (their files) and files
    int32_t delayMs = 0;              // > 0: timed; otherwise by keys and clicks
    std::optional<int32_t> firstDelayMs;  // the first slide's own time
    std::string music;                // the looping tune, or empty
    bool waitForSound = false;
    bool splash = false;
    SlideOrder order = SlideOrder::Name;
};

struct FolderShow {
    std::string description;           // the show description's text
    std::vector<std::string> leftOut;  // "FILE (why)", for the author
    size_t slides = 0;
};

// Every picture and clip of the inputs becomes a slide, in `options.order`
// (ties in natural name order); a sound of a slide's base name (letter case
// aside) becomes its sound. Names are written relative to `base` where they
// can be, absolute otherwise. False with `error` naming the file when an
// input cannot be read or no slide is found.
bool MakeFolderShow(const FolderShowOptions& options, const std::string& base, FolderShow* show,
                    std::string* error);

// The date of a file for the date order: its EXIF DateTimeOriginal, or its
// modification time in local time, both as "YYYY:MM:DD HH:MM:SS" so that
// they compare as text. Empty when neither can be read.
std::string DateTaken(const std::string& path);

}  // namespace tarnpack
