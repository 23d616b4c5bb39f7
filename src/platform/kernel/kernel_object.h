// Kernel objects behind HANDLE values: open files, started processes.
//
// A HANDLE is the address of a registered object. Only registered handles
// are ever used, so a stale, forged or double-closed handle is refused
// instead of touching freed memory, and no handle value is ever 0 or -1
// (INVALID_HANDLE_VALUE).
#pragma once

#include <memory>

#include "platform/win32.h"

namespace tarn {

class KernelObject {
public:
    virtual ~KernelObject() = default;
};

// Takes ownership of `object` and returns its new handle.
HANDLE RegisterKernelObject(std::shared_ptr<KernelObject> object);

// The live object of `handle`, or nullptr when the handle is not open. The
// object stays alive while the caller holds it, even if another thread closes
// the handle meanwhile.
std::shared_ptr<KernelObject> FindKernelObject(HANDLE handle);

template <class T>
std::shared_ptr<T> FindKernelObjectOf(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(FindKernelObject(handle));
}

// Forgets `handle`; the object is destroyed when its last user lets go.
// False when the handle is not open.
bool UnregisterKernelObject(HANDLE handle);

}  // namespace tarn
