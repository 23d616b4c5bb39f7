// An independent reading of the package format, written from the format
// alone, against which the player's extraction is checked: where each
// entry's data lie, and whether a package is one that must be accepted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::fuzz {

struct ModelEntry {
    std::string name;     // up to the NUL; empty when the record has none
    bool terminated;      // a NUL within the 260 bytes
    uint32_t size;
    uint64_t offset;      // where its data begin
};

struct PackageModel {
    // The trailer and directory lie within the file and the count is 2 ... 99.
    bool hasDirectory = false;
    // Every entry's data lie between the start of the file and the directory.
    bool dataFit = false;
    uint64_t directoryOffset = 0;
    std::vector<ModelEntry> entries;  // data order: entry 0 first
};

PackageModel ReadPackageModel(std::string_view bytes);

// A name no reasonable rule refuses: 1 to 64 letters, digits, '.', '-' or
// '_', and not "." or "..".
bool IsPlainEntryName(std::string_view name);

// A package that extraction must accept: its directory and data fit and
// every entry has a plain name and a size below 2^31.
bool MustBeAccepted(const PackageModel& model);

// Packs `files` (name, bytes) in data order into one package: the data back
// to back, `gap` bytes of filler, the directory (last entry first) and the
// count. Used for seeds and by the regression tests.
std::string BuildPackage(const std::vector<std::pair<std::string, std::string>>& files,
                         std::string_view gap = {});

}  // namespace tarn::fuzz
