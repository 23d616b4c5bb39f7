#include "platform/kernel/kernel_object.h"

#include <mutex>
#include <unordered_map>

namespace tarn {
namespace {

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<HANDLE, std::shared_ptr<KernelObject>> objects;
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable;  // outlives every static destructor
    return *table;
}

}  // namespace

HANDLE RegisterKernelObject(std::shared_ptr<KernelObject> object) {
    if (!object) return INVALID_HANDLE_VALUE;
    HANDLE handle = object.get();
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    table.objects[handle] = std::move(object);
    return handle;
}

std::shared_ptr<KernelObject> FindKernelObject(HANDLE handle) {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.objects.find(handle);
    return it == table.objects.end() ? nullptr : it->second;
}

bool UnregisterKernelObject(HANDLE handle) {
    std::shared_ptr<KernelObject> released;
    {
        HandleTable& table = Table();
        std::lock_guard lock(table.mutex);
        auto it = table.objects.find(handle);
        if (it == table.objects.end()) return false;
        released = std::move(it->second);
        table.objects.erase(it);
    }
    return true;  // `released` is destroyed here, outside the lock
}

}  // namespace tarn

BOOL CloseHandle(HANDLE handle) {
    return tarn::UnregisterKernelObject(handle) ? TRUE : FALSE;
}
