// The files the package process created in the temporary folder: the temp
// decorator and every extracted entry, each held from its creation on. Only
// these files, and only while their names still lead to them, are ever
// deleted by the package process.
#pragma once

#include <cstdint>

#include "platform/kernel/owned_file.h"
#include "platform/win32.h"
#include "show/show_record.h"

struct PackageFile {
    char path[MAX_PATH];
    tarn::OwnedFile file;  // held while the file is known to exist
};

struct PackageFiles {
    PackageFile decorator;
    PackageFile entries[PACKAGE_MAX_ENTRIES];  // slot i = entry i
    int32_t count;                             // entries in the package
};

// The one record of the process, filled by ExtractPackage.
extern PackageFiles g_PackageFiles;

// Lets go of every file (without deleting any).
void ForgetPackageFiles();

// Takes hold of the file `path` names, which this process has just created,
// in `record`. Returns false when the name no longer leads to a plain file.
bool RememberPackageFile(PackageFile& record, const char* path);

// Deletes the file of `record` when its name still leads to it, and lets go.
void DeletePackageFile(PackageFile& record);

// Deletes the decorator and every extracted entry that still exists, except
// the entries whose slot is marked in `keep` (may be null: keep none).
void DeletePackageFiles(const bool* keep);
