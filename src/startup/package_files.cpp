#include "startup/package_files.h"

#include <cstring>

PackageFiles g_PackageFiles;

void ForgetPackageFiles() { g_PackageFiles = PackageFiles{}; }

bool RememberPackageFile(PackageFile& file, const char* path) {
    std::strncpy(file.path, path, sizeof file.path - 1);
    file.path[sizeof file.path - 1] = '\0';
    file.identity = tarn::IdentifyFile(path);
    return file.identity.valid;
}

void DeletePackageFile(PackageFile& file) {
    if (!file.identity.valid) return;
    tarn::DeleteOwnedFile(file.path, file.identity);
    file.identity = tarn::FileIdentity{};
}

void DeletePackageFiles(const bool* keep) {
    for (int32_t i = 0; i < g_PackageFiles.count && i < PACKAGE_MAX_ENTRIES; ++i) {
        if (keep != nullptr && keep[i]) continue;
        DeletePackageFile(g_PackageFiles.entries[i]);
    }
    DeletePackageFile(g_PackageFiles.decorator);
}
