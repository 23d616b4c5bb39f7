// Writing a planned package: the data back to back, the directory in reverse
// and the count, into a new file that replaces the output only when whole.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "show_plan.h"

namespace tarnpack {

// Told the entry being written (its name in the package; empty for the
// directory at the end), the bytes written so far and the bytes in all.
using ProgressReport = std::function<void(const std::string& entry, uint64_t written, uint64_t total)>;

struct WriteSettings {
    ProgressReport progress;  // may be empty
    // Every file byte for byte; otherwise a show file that is a JPEG is
    // stored as one baseline scan with restart markers, losslessly.
    bool keepJpeg = false;
};

// Writes `plan` to `output`, executable. An entry stored as a rewritten JPEG
// has its size, and the plan its total, changed to the bytes stored. On
// failure nothing is left behind and an existing `output` is untouched;
// `error` says why.
bool WritePackage(PackagePlan& plan, const std::string& output, const WriteSettings& settings,
                  std::string* error);

}  // namespace tarnpack
