#include "package_listing.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace tarnpack {
namespace {

bool ReadExactly(std::istream& in, void* buffer, size_t size) {
    in.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
    return in.gcount() == static_cast<std::streamsize>(size);
}

}  // namespace

PackageListing ReadPackageListing(std::istream& in) {
    PackageListing listing;
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (end < 0) {
        listing.fault = PackageFault::FileTooShort;
        return listing;
    }
    listing.fileLength = static_cast<uint64_t>(end);
    if (listing.fileLength < PACKAGE_TRAILER_BYTES) {
        listing.fault = PackageFault::FileTooShort;
        return listing;
    }

    in.seekg(static_cast<std::streamoff>(listing.fileLength - PACKAGE_TRAILER_BYTES));
    unsigned char trailer[4];
    if (!ReadExactly(in, trailer, sizeof trailer)) {
        listing.fault = PackageFault::FileTooShort;
        return listing;
    }
    listing.count = static_cast<int32_t>(uint32_t{trailer[0]} | uint32_t{trailer[1]} << 8 |
                                         uint32_t{trailer[2]} << 16 | uint32_t{trailer[3]} << 24);
    listing.fault = CheckPackageCount(listing.count, listing.fileLength);
    if (listing.fault != PackageFault::None) return listing;

    listing.directoryOffset = PackageDirectoryOffset(listing.count, listing.fileLength);
    in.seekg(static_cast<std::streamoff>(listing.directoryOffset));
    std::vector<PackageEntry> slots(static_cast<size_t>(listing.count));
    // The record next to the trailer describes the first file.
    for (int32_t k = 0; k < listing.count; ++k) {
        PackageEntry& slot = slots[static_cast<size_t>(listing.count - 1 - k)];
        unsigned char record[PACKAGE_RECORD_BYTES];
        if (!ReadExactly(in, record, sizeof record)) {
            listing.fault = PackageFault::DirectoryBeforeStart;
            return listing;
        }
        slot.size = uint32_t{record[0]} | uint32_t{record[1]} << 8 | uint32_t{record[2]} << 16 |
                    uint32_t{record[3]} << 24;
        std::memcpy(slot.name, record + 4, sizeof slot.name);
    }
    listing.fault = CheckPackageEntries(slots.data(), listing.count, listing.directoryOffset,
                                        &listing.faultyEntry);
    if (listing.fault != PackageFault::None) return listing;

    uint64_t offset = 0;
    for (const PackageEntry& slot : slots) {
        listing.entries.push_back({slot.name, slot.size, offset});
        offset += slot.size;
    }
    listing.dataEnd = offset;
    return listing;
}

bool ReadPackageListingFile(const std::string& path, PackageListing* listing, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    *listing = ReadPackageListing(in);
    return true;
}

std::string DescribeFault(const PackageListing& listing) {
    const std::string entry = "entry " + std::to_string(listing.faultyEntry) + ": ";
    switch (listing.fault) {
        case PackageFault::None:
            return "no fault";
        case PackageFault::FileTooShort:
            return "the file is too short to hold a package";
        case PackageFault::TooFewEntries:
            return "the file carries no package (entry count " + std::to_string(listing.count) + ")";
        case PackageFault::TooManyEntries:
            return "no package, or a damaged one: the entry count " + std::to_string(listing.count) +
                   " is above " + std::to_string(PACKAGE_MAX_ENTRIES);
        case PackageFault::DirectoryBeforeStart:
            return "no package, or a damaged one: the entry count " + std::to_string(listing.count) +
                   " asks for a directory larger than the file";
        case PackageFault::NameUnterminated:
            return entry + "the name does not end within " + std::to_string(PACKAGE_NAME_BYTES) + " bytes";
        case PackageFault::NameEmpty:
            return entry + "the name is empty";
        case PackageFault::NameDots:
            return entry + "the name is \".\" or \"..\"";
        case PackageFault::NameSeparator:
            return entry + "the name holds a folder separator";
        case PackageFault::NameControl:
            return entry + "the name holds a control character";
        case PackageFault::EntryTooLarge:
            return entry + "the size is 2 GiB or more";
        case PackageFault::DataPastDirectory:
            return entry + "the data run past the start of the directory";
    }
    return "unknown fault";
}

}  // namespace tarnpack
