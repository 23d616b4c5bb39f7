// The checks that make a package directory safe to extract: every entry
// lands inside the temporary folder under its own name, and every byte the
// directory promises is really there.
#pragma once

#include <cstdint>

#include "show/show_record.h"

constexpr int32_t PACKAGE_MIN_ENTRIES = 2;  // the player and its show description
constexpr uint32_t PACKAGE_TRAILER_BYTES = 4;
constexpr uint32_t PACKAGE_RECORD_BYTES = sizeof(PackageEntry);
constexpr uint32_t PACKAGE_NAME_BYTES = sizeof(PackageEntry::name);
constexpr uint64_t PACKAGE_ENTRY_SIZE_LIMIT = 0x80000000u;  // sizes must stay below 2^31

enum class PackageFault {
    None,
    FileTooShort,          // no room for the trailer
    TooFewEntries,         // a count below 2: a plain player without a show
    TooManyEntries,        // a count above PACKAGE_MAX_ENTRIES
    DirectoryBeforeStart,  // the count asks for a directory larger than the file
    NameUnterminated,      // no NUL within the 260 bytes of a name
    NameEmpty,
    NameDots,              // "." or ".."
    NameSeparator,         // a folder separator ('/', '\\' or ':')
    NameControl,           // a control character, which a show description cannot hold
    EntryTooLarge,         // a size of 2^31 or more
    DataPastDirectory,     // the data would run into the directory or past the file
};

// The fault of a package of `fileLength` bytes whose trailer holds `count`;
// None when the directory lies within the file.
PackageFault CheckPackageCount(int32_t count, uint64_t fileLength);

// Where the directory of a package with `count` entries begins; only for a
// count that CheckPackageCount accepted.
uint64_t PackageDirectoryOffset(int32_t count, uint64_t fileLength);

// The fault of one entry name as a directory record holds it.
PackageFault CheckEntryName(const char (&name)[PACKAGE_NAME_BYTES]);

// Checks every record, `entries` in data order (slot 0 = the first file),
// and that their data end no later than `directoryOffset`. On a fault,
// `faultyEntry` (when given) receives the slot at fault.
PackageFault CheckPackageEntries(const PackageEntry* entries, int32_t count,
                                 uint64_t directoryOffset, int32_t* faultyEntry);
