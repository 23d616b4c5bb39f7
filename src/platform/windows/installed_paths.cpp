// The installed player's folder and the temporary folder on Windows.
#include "platform/windows/installed_paths.h"

#include <cstring>

#include "platform/paths.h"

namespace tarn {
namespace {

// The folder of the running executable, without the trailing separator.
void ModuleFolder(char* buffer, size_t size) {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return;
    char* last = nullptr;
    for (char* p = path; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\' || *p == '/') last = p;
    }
    if (last == nullptr) return;
    *last = '\0';
    if (std::strlen(path) < size) std::memcpy(buffer, path, std::strlen(path) + 1);
}

}  // namespace

bool ReadInstallationFolder(HKEY root, const char* subkey, char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return false;
    buffer[0] = '\0';
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    // One byte more than MAX_PATH is asked for and left as a NUL, so that a
    // value stored without its terminator cannot run past the buffer.
    BYTE value[MAX_PATH + 1] = {};
    DWORD type = REG_NONE;
    DWORD bytes = MAX_PATH;
    const LSTATUS status =
        RegQueryValueExA(key, kInstallationValue, nullptr, &type, value, &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return false;
    const size_t length = std::strlen(reinterpret_cast<const char*>(value));
    // Empty, or 260 characters without room for the NUL: not accepted.
    if (length == 0 || length >= MAX_PATH || length >= size) return false;
    std::memcpy(buffer, value, length + 1);
    return true;
}

void InstalledPlayerDirectory(char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return;
    buffer[0] = '\0';
    if (ReadInstallationFolder(HKEY_LOCAL_MACHINE, kInstallationKey, buffer, size)) return;
    // Without an installation the player's own folder stands in.
    ModuleFolder(buffer, size);
}

bool TemporaryFolder(char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return false;
    const DWORD capacity = size > MAX_PATH ? MAX_PATH : static_cast<DWORD>(size);
    const DWORD length = GetTempPathA(capacity, buffer);
    if (length == 0 || length >= capacity) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace tarn
