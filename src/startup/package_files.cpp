#include "startup/package_files.h"

#include <cstring>

PackageFiles g_PackageFiles;

void ForgetPackageFiles() { g_PackageFiles = PackageFiles{}; }

bool RememberPackageFile(PackageFile& record, const char* path) {
    // `path` may be the record's own (a file held anew under its name): a
    // copy onto itself would be undefined.
    if (path != record.path) {
        std::strncpy(record.path, path, sizeof record.path - 1);
        record.path[sizeof record.path - 1] = '\0';
    }
    return record.file.Hold(record.path);
}

void DeletePackageFile(PackageFile& record) { record.file.DeleteAs(record.path); }

void DeletePackageFiles(const bool* keep) {
    for (int32_t i = 0; i < g_PackageFiles.count && i < PACKAGE_MAX_ENTRIES; ++i) {
        if (keep != nullptr && keep[i]) continue;
        DeletePackageFile(g_PackageFiles.entries[i]);
    }
    DeletePackageFile(g_PackageFiles.decorator);
}
