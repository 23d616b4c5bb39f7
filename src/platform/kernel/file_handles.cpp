// Files behind HANDLE values: creation, reading, writing, copying, seeking,
// deletion and attributes, on POSIX descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>

#include "platform/kernel/file_copy.h"
#include "platform/kernel/kernel_object.h"
#include "platform/kernel/unique_fd.h"
#include "platform/win32.h"

namespace tarn {
namespace {

// New files are private to the user, as the user's own temporary folder is
// on the system the player comes from.
constexpr mode_t kNewFileMode = 0600;

class FileObject final : public KernelObject {
public:
    explicit FileObject(UniqueFd fd) : fd_(std::move(fd)) {}
    int Fd() const { return fd_.Get(); }

private:
    UniqueFd fd_;
};

int OpenFlags(DWORD access, DWORD disposition, bool* ok) {
    *ok = true;
    int flags = O_CLOEXEC;
    const bool read = (access & GENERIC_READ) != 0;
    const bool write = (access & GENERIC_WRITE) != 0;
    flags |= (read && write) ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    switch (disposition) {
        case OPEN_EXISTING:
            break;
        case CREATE_NEW:
            // Exclusive and never through a planted symbolic link.
            flags |= O_CREAT | O_EXCL | O_NOFOLLOW;
            break;
        case CREATE_ALWAYS:
            flags |= O_CREAT | O_TRUNC | O_NOFOLLOW;
            break;
        default:
            *ok = false;
    }
    // Truncation needs write access; a read-only CREATE_ALWAYS still creates.
    if ((flags & O_TRUNC) && !write) flags &= ~O_TRUNC;
    return flags;
}

std::shared_ptr<FileObject> FindFile(HANDLE handle) {
    return FindKernelObjectOf<FileObject>(handle);
}

}  // namespace
}  // namespace tarn

using tarn::FileObject;
using tarn::UniqueFd;

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD flags, HANDLE templateFile) {
    if (name == nullptr || name[0] == '\0') return INVALID_HANDLE_VALUE;
    bool ok = false;
    const int openFlags = tarn::OpenFlags(access, disposition, &ok);
    if (!ok) return INVALID_HANDLE_VALUE;

    int raw;
    do {
        raw = ::open(name, openFlags, tarn::kNewFileMode);
    } while (raw < 0 && errno == EINTR);
    UniqueFd fd(raw);
    if (!fd.Valid()) return INVALID_HANDLE_VALUE;

    // A folder is not a file.
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || S_ISDIR(info.st_mode)) return INVALID_HANDLE_VALUE;
    return tarn::RegisterKernelObject(std::make_shared<FileObject>(std::move(fd)));
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
    auto object = tarn::FindFile(file);
    if (!object) return INVALID_SET_FILE_POINTER;
    const int fd = object->Fd();

    // With a high part the distance is a signed 64-bit number; without, the
    // signed 32-bit low part alone.
    int64_t move = distance;
    if (distanceHigh != nullptr) {
        const uint64_t bits = (static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                              static_cast<uint32_t>(distance);
        move = static_cast<int64_t>(bits);
    }

    int64_t base = 0;
    if (method == FILE_BEGIN) {
        base = 0;
    } else if (method == FILE_CURRENT) {
        const off_t here = ::lseek(fd, 0, SEEK_CUR);
        if (here < 0) return INVALID_SET_FILE_POINTER;
        base = here;
    } else if (method == FILE_END) {
        struct stat info {};
        if (::fstat(fd, &info) != 0) return INVALID_SET_FILE_POINTER;
        base = info.st_size;
    } else {
        return INVALID_SET_FILE_POINTER;
    }

    // Positions before the start fail, and so do positions that the caller
    // could not be told (beyond 32 bits without a high part).
    if ((move < 0 && base < -move) ||
        (move > 0 && base > std::numeric_limits<int64_t>::max() - move)) {
        return INVALID_SET_FILE_POINTER;
    }
    const int64_t target = base + move;
    if (distanceHigh == nullptr && target > static_cast<int64_t>(0xFFFFFFFEu)) {
        return INVALID_SET_FILE_POINTER;
    }
    if (::lseek(fd, static_cast<off_t>(target), SEEK_SET) < 0) return INVALID_SET_FILE_POINTER;
    if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(target) >> 32);
    return static_cast<DWORD>(static_cast<uint64_t>(target) & 0xFFFFFFFFu);
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void* overlapped) {
    if (read != nullptr) *read = 0;
    auto object = tarn::FindFile(file);
    if (!object || (buffer == nullptr && toRead > 0)) return FALSE;
    auto* bytes = static_cast<unsigned char*>(buffer);
    DWORD done = 0;
    while (done < toRead) {
        const ssize_t n = ::read(object->Fd(), bytes + done, toRead - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (read != nullptr) *read = done;
            return FALSE;
        }
        if (n == 0) break;  // end of file: a short count, not a failure
        done += static_cast<DWORD>(n);
    }
    if (read != nullptr) *read = done;
    return TRUE;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written, void* overlapped) {
    if (written != nullptr) *written = 0;
    auto object = tarn::FindFile(file);
    if (!object || (buffer == nullptr && toWrite > 0)) return FALSE;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    DWORD done = 0;
    while (done < toWrite) {
        const ssize_t n = ::write(object->Fd(), bytes + done, toWrite - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (written != nullptr) *written = done;
            return FALSE;
        }
        if (n == 0) break;
        done += static_cast<DWORD>(n);
    }
    if (written != nullptr) *written = done;
    return done == toWrite ? TRUE : FALSE;
}

BOOL DeleteFileA(LPCSTR name) {
    // unlink removes a symbolic link itself, never what it points to, and
    // refuses folders.
    if (name == nullptr || name[0] == '\0') return FALSE;
    return ::unlink(name) == 0 ? TRUE : FALSE;
}

DWORD GetFileAttributesA(LPCSTR name) {
    if (name == nullptr || name[0] == '\0') return INVALID_FILE_ATTRIBUTES;
    struct stat info {};
    if (::stat(name, &info) != 0) return INVALID_FILE_ATTRIBUTES;
    return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

namespace tarn {

namespace {

constexpr off_t kPageBytes = 4096;

// Whether the kernel copies between the two current positions faster than a
// read and a write through this process. It does when both lie at the same
// place within a page: it then moves whole pages. Otherwise every page of the
// destination is assembled from two of the source, which costs the kernel
// more than the two plain copies of a read and a write (a package's entries
// lie wherever the previous one ended, and each lands at the start of its own
// file).
bool KernelCopyPays(int in, int out) {
    const off_t from = ::lseek(in, 0, SEEK_CUR);
    const off_t to = ::lseek(out, 0, SEEK_CUR);
    return from >= 0 && to >= 0 && from % kPageBytes == to % kPageBytes;
}

}  // namespace

void ReserveFileSpace(HANDLE file, int64_t size) {
    auto out = FindFile(file);
    if (!out || size <= 0) return;
    const off_t at = ::lseek(out->Fd(), 0, SEEK_CUR);
    if (at < 0) return;
    // Refused by file systems without it, by pipes, on a full disk: all fine.
    static_cast<void>(::fallocate(out->Fd(), FALLOC_FL_KEEP_SIZE, at, static_cast<off_t>(size)));
}

void FreeSpaceBeyondEnd(HANDLE file) {
    auto out = FindFile(file);
    struct stat info {};
    if (!out || ::fstat(out->Fd(), &info) != 0 || !S_ISREG(info.st_mode)) return;
    // Cutting a file to its own length releases the blocks set aside past it.
    static_cast<void>(::ftruncate(out->Fd(), info.st_size));
}

BOOL CopyFileChunk(HANDLE destination, HANDLE source, DWORD size, void* buffer, DWORD* read,
                   DWORD* written) {
    *read = 0;
    *written = 0;
    auto in = FindFile(source);
    if (!in || (buffer == nullptr && size > 0)) return FALSE;
    DWORD done = 0;
    auto out = FindFile(destination);
    if (out && KernelCopyPays(in->Fd(), out->Fd())) {
        // In the kernel, from one file position to the other. Any refusal
        // (not regular files, different file systems on old kernels, a
        // destination not open for writing, a full disk …) leaves the rest
        // to the buffered copy below, which reads on whatever the writes do.
        while (done < size) {
            const ssize_t n = ::copy_file_range(in->Fd(), nullptr, out->Fd(), nullptr,
                                                size - done, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;  // 0 is the source's end, or a file the kernel will not copy
            done += static_cast<DWORD>(n);
        }
    }
    *read = done;
    *written = done;
    if (done == size) return TRUE;

    auto* rest = static_cast<unsigned char*>(buffer) + done;
    DWORD got = 0;
    const BOOL readable = ReadFile(source, rest, size - done, &got, nullptr);
    *read += got;
    DWORD put = 0;
    if (got > 0) WriteFile(destination, rest, got, &put, nullptr);
    *written += put;
    return readable;
}

}  // namespace tarn
