#include "startup/package_directory.h"

#include <cstring>

PackageFault CheckPackageCount(int32_t count, uint64_t fileLength) {
    if (fileLength < PACKAGE_TRAILER_BYTES) return PackageFault::FileTooShort;
    if (count > PACKAGE_MAX_ENTRIES) return PackageFault::TooManyEntries;
    if (count < PACKAGE_MIN_ENTRIES) return PackageFault::TooFewEntries;
    const uint64_t tail = PACKAGE_TRAILER_BYTES + uint64_t{PACKAGE_RECORD_BYTES} * uint32_t(count);
    if (tail > fileLength) return PackageFault::DirectoryBeforeStart;
    return PackageFault::None;
}

uint64_t PackageDirectoryOffset(int32_t count, uint64_t fileLength) {
    return fileLength - PACKAGE_TRAILER_BYTES - uint64_t{PACKAGE_RECORD_BYTES} * uint32_t(count);
}

PackageFault CheckEntryName(const char (&name)[PACKAGE_NAME_BYTES]) {
    const void* end = std::memchr(name, '\0', PACKAGE_NAME_BYTES);
    if (end == nullptr) return PackageFault::NameUnterminated;
    const size_t length = static_cast<const char*>(end) - name;
    if (length == 0) return PackageFault::NameEmpty;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return PackageFault::NameDots;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c == '/' || c == '\\' || c == ':') return PackageFault::NameSeparator;
        if (c < 0x20 || c == 0x7f) return PackageFault::NameControl;
    }
    return PackageFault::None;
}

PackageFault CheckPackageEntries(const PackageEntry* entries, int32_t count,
                                 uint64_t directoryOffset, int32_t* faultyEntry) {
    uint64_t end = 0;
    for (int32_t i = 0; i < count; ++i) {
        PackageFault fault = CheckEntryName(entries[i].name);
        if (fault == PackageFault::None && entries[i].size >= PACKAGE_ENTRY_SIZE_LIMIT) {
            fault = PackageFault::EntryTooLarge;
        }
        if (fault == PackageFault::None) {
            end += entries[i].size;
            if (end > directoryOffset) fault = PackageFault::DataPastDirectory;
        }
        if (fault != PackageFault::None) {
            if (faultyEntry != nullptr) *faultyEntry = i;
            return fault;
        }
    }
    return PackageFault::None;
}
