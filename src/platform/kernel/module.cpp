// The running program: its file, its instance, its folder; and the few
// process-wide services that need nothing on this system.
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/paths.h"
#include "platform/win32.h"

namespace tarn {
namespace {

// Any non-null value serves: nothing dereferences an instance handle.
HINSTANCE ThisInstance() {
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));
}

// The full path of the running executable, or empty.
std::string ExecutablePath() {
    std::string path(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < path.size()) {
            path.resize(static_cast<size_t>(n));
            return path;
        }
        if (path.size() >= 65536) return {};
        path.resize(path.size() * 2);
    }
}

}  // namespace

void InstalledPlayerDirectory(char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) return;
    buffer[0] = '\0';
    const std::string path = ExecutablePath();
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return;
    const std::string folder = path.substr(0, slash);  // "/" itself gives ""
    if (folder.size() >= size) return;
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
}

}  // namespace tarn

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    if (buffer == nullptr || size == 0) return 0;
    if (module != nullptr && module != tarn::ThisInstance()) return 0;
    const std::string path = tarn::ExecutablePath();
    if (path.empty() || path.size() >= size) {
        buffer[0] = '\0';  // a path that does not fit is refused, never cut
        return 0;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

HMODULE GetModuleHandleA(LPCSTR name) {
    return name == nullptr ? tarn::ThisInstance() : nullptr;
}

int lstrlenA(LPCSTR text) {
    return text == nullptr ? 0 : static_cast<int>(std::strlen(text));
}

HRESULT CoInitialize(void* reserved) {
    return S_OK;
}

void CoUninitialize() {}
