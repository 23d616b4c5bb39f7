// Where an installed player lives, from the registry.
#pragma once

#include <cstddef>

#include "platform/win32.h"

namespace tarn {

// The key and value that name the installed player's folder.
inline constexpr const char* kInstallationKey = "SOFTWARE\\Veltane\\PixmoraX\\VeltanePixmora";
inline constexpr const char* kInstallationValue = "ApplicationPath";

// Opens (creating it when it is missing and may be created) the key `subkey`
// under `root` for reading and reads `kInstallationValue` from it. The value
// is accepted only when it is a REG_SZ string, not empty, and fits
// MAX_PATH bytes with its NUL; it is then copied unchanged into `buffer`
// (`size` bytes) and true is returned. Otherwise `buffer` is left empty.
bool ReadInstallationFolder(HKEY root, const char* subkey, char* buffer, size_t size);

}  // namespace tarn
