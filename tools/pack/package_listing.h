// Reading a package's directory without extracting anything: what `list`
// prints, what `verify` checks and how a player carrying a package is found
// out. The checks are the ones extraction applies.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "startup/package_directory.h"

namespace tarnpack {

struct ListedEntry {
    std::string name;
    uint32_t size = 0;
    uint64_t offset = 0;  // where the entry's data begin
};

struct PackageListing {
    PackageFault fault = PackageFault::None;
    int32_t faultyEntry = -1;  // the slot at fault, for a fault of one entry
    int32_t count = 0;         // the count in the trailer, when it could be read
    uint64_t fileLength = 0;
    uint64_t directoryOffset = 0;
    uint64_t dataEnd = 0;
    std::vector<ListedEntry> entries;  // in data order; empty on a fault
};

// Reads the trailer and the directory of the package `in` holds.
PackageListing ReadPackageListing(std::istream& in);

// The same for a file; false with `error` set when it cannot be read.
bool ReadPackageListingFile(const std::string& path, PackageListing* listing, std::string* error);

// What is wrong, in words, for a listing with a fault.
std::string DescribeFault(const PackageListing& listing);

}  // namespace tarnpack
