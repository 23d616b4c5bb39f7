// Window classes: a name (compared without regard to case, as on Windows)
// bound to a window procedure and a few attributes.
#include <algorithm>
#include <cctype>

#include "platform/window/core_state.h"

namespace tarn::ws::detail {

bool SameClassName(const std::string& a, const char* b) {
    const size_t length = std::char_traits<char>::length(b);
    if (a.size() != length) return false;
    for (size_t i = 0; i < length; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::shared_ptr<const WindowClass> FindClass(const char* name) {
    if (name == nullptr) return nullptr;
    for (const auto& c : Core().classes) {
        if (SameClassName(c->name, name)) return c;
    }
    return nullptr;
}

}  // namespace tarn::ws::detail

using namespace tarn::ws::detail;

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
    if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXA) ||
        windowClass->lpfnWndProc == nullptr || windowClass->lpszClassName == nullptr ||
        windowClass->lpszClassName[0] == '\0') {
        return 0;
    }
    // Integer atoms as class names are not supported.
    if (reinterpret_cast<uintptr_t>(windowClass->lpszClassName) < 0x10000) return 0;
    if (FindClass(windowClass->lpszClassName)) return 0;  // already registered
    CoreState& core = Core();
    auto c = std::make_shared<WindowClass>();
    c->name = windowClass->lpszClassName;
    c->procedure = windowClass->lpfnWndProc;
    c->style = windowClass->style;
    c->background = windowClass->hbrBackground;
    c->icon = windowClass->hIcon;
    c->cursor = windowClass->hCursor;
    c->atom = core.nextAtom++;
    core.classes.push_back(c);
    return c->atom;
}
