// What goes into a package built from a show description written by a
// person: the player, the show description rewritten to name every file by
// its bare entry name, and every file it names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarnpack {

struct PlannedEntry {
    std::string name;    // the entry name
    std::string origin;  // for messages: "the player", "Image1003", ...
    std::string path;    // the file the data come from; empty for `bytes`
    std::string bytes;   // the data themselves, when held in memory
    uint64_t size = 0;   // bytes taken from the start of `path`, or bytes.size()
    bool showFile = false;  // a file the show description names
    // Set when written: a JPEG went in rewritten (one scan, restart markers
    // at every row), and `size` is then the bytes stored; storedAsBaseline
    // when it was a multi-scan one.
    bool storedRewritten = false;
    bool storedAsBaseline = false;
};

struct PackagePlan {
    std::vector<PlannedEntry> entries;  // entry 0 first
    uint64_t totalBytes = 0;
    bool playerStripped = false;  // the player carried a package, left out
    std::vector<std::string> warnings;
};

// Plans the package of the show description `showPath` with the player at
// `playerPath`. False with `error` set when a file is missing or unusable or
// the show does not fit the package format.
bool PlanPackage(const std::string& showPath, const std::string& playerPath, PackagePlan* plan,
                 std::string* error);

// The same for a show description held in memory: `text`, whose relative
// names are taken from `folder`, packed as the entry `descriptionName`.
bool PlanPackageFromText(std::string text, const std::string& folder, const std::string& descriptionName,
                         const std::string& playerPath, PackagePlan* plan, std::string* error);

}  // namespace tarnpack
