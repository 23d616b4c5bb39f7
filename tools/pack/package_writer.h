// Writing a planned package: the data back to back, the directory in reverse
// and the count, into a new file that replaces the output only when whole.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "show_plan.h"

namespace tarnpack {

// Told the bytes written so far and the bytes in all.
using ProgressReport = std::function<void(uint64_t written, uint64_t total)>;

// Writes `plan` to `output`, executable. On failure nothing is left behind
// and an existing `output` is untouched; `error` says why.
bool WritePackage(const PackagePlan& plan, const std::string& output, const ProgressReport& progress,
                  std::string* error);

}  // namespace tarnpack
