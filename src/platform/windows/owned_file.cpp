// Files this process created, held by a handle that reads nothing.
//
// The hold asks only for the file's attributes: such a handle conflicts with
// no other opening, so the extraction may go on writing the file, another
// process may read it, and the player may delete it (the name then goes when
// the last handle closes). The identity is the volume serial number and the
// file index, which no other file shares while the hold keeps this one open.
#include <fcntl.h>
#include <io.h>

#include <utility>

#include "platform/kernel/owned_file.h"
#include "platform/win32.h"

namespace tarn {
namespace {

struct Identity {
    uint64_t volume = 0;
    uint64_t index = 0;
};

// Opens `path` itself (a reparse point is not followed) for its attributes
// only; INVALID_HANDLE_VALUE when there is nothing there.
HANDLE OpenForIdentity(const char* path) {
    return CreateFileA(path, FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                       nullptr);
}

// The identity of the plain file behind `handle`; false for a directory, a
// reparse point or a device.
bool IdentifyPlainFile(HANDLE handle, Identity* identity) {
    if (GetFileType(handle) != FILE_TYPE_DISK) return false;
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information)) return false;
    if (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
        return false;
    }
    identity->volume = information.dwVolumeSerialNumber;
    identity->index = (uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    return true;
}

HANDLE HeldHandle(int descriptor) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
}

}  // namespace

OwnedFile::~OwnedFile() { Release(); }

OwnedFile::OwnedFile(OwnedFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)), device_(other.device_), inode_(other.inode_) {}

OwnedFile& OwnedFile::operator=(OwnedFile&& other) noexcept {
    if (this != &other) {
        Release();
        descriptor_ = std::exchange(other.descriptor_, -1);
        device_ = other.device_;
        inode_ = other.inode_;
    }
    return *this;
}

bool OwnedFile::Hold(const char* path) {
    Release();
    if (path == nullptr) return false;
    HANDLE handle = OpenForIdentity(path);
    if (handle == INVALID_HANDLE_VALUE) return false;
    Identity identity;
    if (!IdentifyPlainFile(handle, &identity)) {
        CloseHandle(handle);
        return false;
    }
    // The C runtime's descriptor owns the handle from here on.
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return false;
    }
    descriptor_ = descriptor;
    device_ = identity.volume;
    inode_ = identity.index;
    return true;
}

bool OwnedFile::IsNamedBy(const char* path) const {
    if (!IsHeld() || path == nullptr) return false;
    HANDLE handle = OpenForIdentity(path);
    if (handle == INVALID_HANDLE_VALUE) return false;
    Identity identity;
    const bool same = IdentifyPlainFile(handle, &identity) && identity.volume == device_ &&
                      identity.index == inode_;
    CloseHandle(handle);
    return same;
}

bool OwnedFile::DeleteAs(const char* path) {
    const bool deleted = IsNamedBy(path) && DeleteFileA(path);
    Release();
    return deleted;
}

// Windows runs any file it can read; there is no permission bit to set.
bool OwnedFile::MakeExecutable() const { return IsHeld() && HeldHandle(descriptor_) != INVALID_HANDLE_VALUE; }

void OwnedFile::Release() {
    if (descriptor_ >= 0) _close(descriptor_);
    descriptor_ = -1;
}

}  // namespace tarn
