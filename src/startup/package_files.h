// The files the package process created in the temporary folder: the temp
// decorator and every extracted entry, each with the identity it had when it
// was created. Only these files, and only while their names still lead to
// them, are ever deleted by the package process.
#pragma once

#include <cstdint>

#include "platform/kernel/owned_file.h"
#include "platform/win32.h"
#include "show/show_record.h"

struct PackageFile {
    char path[MAX_PATH];
    tarn::FileIdentity identity;  // invalid once deleted or never created
};

struct PackageFiles {
    PackageFile decorator;
    PackageFile entries[PACKAGE_MAX_ENTRIES];  // slot i = entry i
    int32_t count;                             // entries in the package
};

// The one record of the process, filled by ExtractPackage.
extern PackageFiles g_PackageFiles;

// Forgets every file (without deleting any).
void ForgetPackageFiles();

// Records that `path` was just created by this process, in `file`. Returns
// false when the name no longer leads to a plain file.
bool RememberPackageFile(PackageFile& file, const char* path);

// Deletes `file` when its name still leads to the file that was created, and
// forgets it.
void DeletePackageFile(PackageFile& file);

// Deletes the decorator and every extracted entry that still exists, except
// the entries whose slot is marked in `keep` (may be null: keep none).
void DeletePackageFiles(const bool* keep);
