// The registry of compiled-in resources and the loaders that read it.
#include "platform/window/resources.h"

#include <map>

#include "platform/window/bmp_decoder.h"
#include "platform/window/core_state.h"

namespace tarn {
namespace {

// Function-local so that registrations made during static initialisation
// find it constructed.
std::map<int, EmbeddedResource>& Registry() {
    static std::map<int, EmbeddedResource> registry;
    return registry;
}

// The numeric id behind a resource name: MAKEINTRESOURCEA(id), or "#id".
bool ResourceId(LPCSTR name, int* id) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(name);
    if (value == 0) return false;
    if (value < 0x10000) {
        *id = static_cast<int>(value);
        return true;
    }
    if (name[0] != '#' || name[1] == '\0') return false;
    int n = 0;
    for (const char* p = name + 1; *p; ++p) {
        if (*p < '0' || *p > '9' || n > 0xFFFF) return false;
        n = n * 10 + (*p - '0');
    }
    if (n > 0xFFFF) return false;
    *id = n;
    return true;
}

std::optional<ws::Pixels> LoadPicture(LPCSTR name) {
    int id = 0;
    if (!ResourceId(name, &id)) return std::nullopt;
    const EmbeddedResource* resource = FindEmbeddedResource(id);
    if (resource == nullptr) return std::nullopt;
    return DecodePicture(resource->data, resource->size);
}

}  // namespace

void RegisterEmbeddedResources(const EmbeddedResource* table, size_t count) {
    if (table == nullptr) return;
    auto& registry = Registry();
    for (size_t i = 0; i < count; ++i) {
        if (table[i].data != nullptr) registry[table[i].id] = table[i];
    }
}

const EmbeddedResource* FindEmbeddedResource(int id) {
    auto& registry = Registry();
    auto it = registry.find(id);
    return it == registry.end() ? nullptr : &it->second;
}

void ClearEmbeddedResources() { Registry().clear(); }

}  // namespace tarn

using namespace tarn;

// The instance is not looked at: every resource is the program's own.
HBITMAP LoadBitmapA(HINSTANCE instance, LPCSTR name) {
    auto pixels = LoadPicture(name);
    return pixels ? ws::detail::NewBitmap(std::move(*pixels)) : nullptr;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    auto pixels = LoadPicture(name);
    return pixels ? ws::detail::NewIcon(std::move(*pixels)) : nullptr;
}

// Without an instance the name is a system cursor; every system cursor is
// the arrow here.
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (instance == nullptr) {
        return reinterpret_cast<uintptr_t>(name) < 0x10000 && name != nullptr
                   ? ws::detail::ArrowCursor()
                   : nullptr;
    }
    auto pixels = LoadPicture(name);
    return pixels ? ws::detail::NewIcon(std::move(*pixels)) : nullptr;
}
