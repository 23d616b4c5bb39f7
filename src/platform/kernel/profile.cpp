// The private profile functions over INI files on disk. The file is read
// whole on every call, so a change made by anyone takes effect at the next
// read; a write replaces the file atomically.
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "platform/kernel/profile_text.h"
#include "platform/kernel/whole_file.h"
#include "platform/win32.h"

namespace {

// Copies `text` into `buffer` of `size` bytes, cut to size - 1 characters;
// returns the characters copied.
DWORD CopyCut(std::string_view text, LPSTR buffer, DWORD size) {
    if (buffer == nullptr || size == 0) return 0;
    const size_t n = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<DWORD>(n);
}

std::optional<std::string> LookUp(LPCSTR section, LPCSTR key, LPCSTR fileName) {
    if (section == nullptr || key == nullptr || fileName == nullptr) return std::nullopt;
    std::string contents;
    if (tarn::ReadWholeFile(fileName, &contents) != tarn::ReadResult::Read) {
        return std::nullopt;  // a missing or unreadable file reads as empty
    }
    return tarn::profile::FindValue(contents, section, key);
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                               DWORD size, LPCSTR fileName) {
    if (const std::optional<std::string> value = LookUp(section, key, fileName)) {
        return CopyCut(*value, buffer, size);
    }
    // The default loses its trailing blanks, as the value in a file would.
    std::string_view fallback = defaultValue != nullptr ? defaultValue : "";
    while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);
    return CopyCut(fallback, buffer, size);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName) {
    const std::optional<std::string> value = LookUp(section, key, fileName);
    if (!value || value->empty()) return static_cast<UINT>(defaultValue);
    return static_cast<UINT>(tarn::profile::ParseDecimal(*value));
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
    if (section == nullptr || key == nullptr || fileName == nullptr || fileName[0] == '\0') {
        return FALSE;
    }
    if (!tarn::profile::IsWritableSection(section) || !tarn::profile::IsWritableKey(key) ||
        (value != nullptr && !tarn::profile::IsWritableValue(value))) {
        return FALSE;
    }
    std::string contents;
    // Only a file that does not exist yet starts empty; one that exists but
    // cannot be read is never overwritten.
    if (tarn::ReadWholeFile(fileName, &contents) == tarn::ReadResult::Refused) return FALSE;
    std::optional<std::string_view> newValue;
    if (value != nullptr) newValue = value;
    const std::string edited = tarn::profile::SetValue(contents, section, key, newValue);
    if (edited == contents) return TRUE;
    return tarn::ReplaceWholeFile(fileName, edited) ? TRUE : FALSE;
}
