#include "startup/package.h"

#include <cstdio>
#include <cstring>

#include "platform/kernel/file_copy.h"
#include "platform/kernel/process.h"
#include "platform/picture_handover.h"
#include "show/show_record.h"
#include "startup/launch.h"
#include "startup/package_directory.h"
#include "startup/package_files.h"

namespace {

// An open file handle, closed when it goes out of scope.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }
    // Closes now; false when the close itself failed (data may be lost).
    bool Close() {
        if (!IsOpen()) return true;
        const BOOL closed = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed != 0;
    }

private:
    HANDLE handle_;
};

bool ReadWhole(HANDLE file, void* buffer, DWORD size) {
    DWORD read = 0;
    return ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

// Moves to `distance` bytes before the end and reports the new position.
bool SeekBeforeEnd(HANDLE file, uint32_t distance, uint64_t* position) {
    LONG high = -1;  // the distance is negative: its high half is all ones
    const DWORD low = SetFilePointer(file, -static_cast<LONG>(distance), &high, FILE_END);
    if (low == INVALID_SET_FILE_POINTER) return false;
    *position = (static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) | low;
    return true;
}

bool PathFits(const char* decorator, const char* name) {
    return std::strlen(decorator) + 1 + std::strlen(name) < MAX_PATH;
}

// Writes entry `slot` to its file; the package is positioned at its data.
bool ExtractEntry(HANDLE package, int32_t slot) {
    const PackageEntry& entry = g_Show.Entries[slot];
    char path[MAX_PATH];
    std::snprintf(path, sizeof path, "%s.%s", g_Show.TempFileDecorator, entry.name);
    if (slot == 0) std::snprintf(g_Show.PlayerPath, sizeof g_Show.PlayerPath, "%s", path);
    if (slot == 1) {
        std::snprintf(g_Show.ShowDescriptionPath, sizeof g_Show.ShowDescriptionPath, "%s", path);
    }

    // A later entry of the same name replaces the earlier one's file. The
    // earlier file is removed first so that the new one is again created
    // exclusively: a name someone else has taken over meanwhile is refused.
    for (int32_t earlier = 0; earlier < slot; ++earlier) {
        PackageFile& record = g_PackageFiles.entries[earlier];
        if (record.file.IsHeld() && std::strcmp(record.path, path) == 0) DeletePackageFile(record);
    }

    FileHandle output(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output.IsOpen()) return false;
    PackageFile& record = g_PackageFiles.entries[slot];
    if (!RememberPackageFile(record, path)) return false;
    if (slot == 0 && !record.file.MakeExecutable()) return false;
    const int32_t size = static_cast<int32_t>(entry.size);
    if (size > 0 && !CopyBytes(output.get(), package, size)) return false;
    return output.Close();
}

bool ExtractEntries(HANDLE package, int32_t count) {
    for (int32_t slot = 0; slot < count; ++slot) {
        if (!PathFits(g_Show.TempFileDecorator, g_Show.Entries[slot].name)) return false;
    }
    if (SetFilePointer(package, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
    int32_t firstPicture = -1;
    char firstPicturePath[MAX_PATH] = {};
    for (int32_t slot = 0; slot < count; ++slot) {
        if (tarn::TerminationSignalCaught() != 0) return false;
        if (!ExtractEntry(package, slot)) return false;
        if (slot == 1) firstPicture = FirstSlideFile(firstPicturePath, sizeof firstPicturePath);
        // The first slide's picture decodes for the player on the other core
        // while the rest of the files are copied.
        if (slot == firstPicture) tarn::media::BeginHandingOverPicture(firstPicturePath);
    }
    return true;
}

// Reads the trailer and the directory into the entry table; the count, or
// 0 when the package is refused.
int32_t ReadPackageDirectory(HANDLE package) {
    uint64_t trailerOffset = 0;
    if (!SeekBeforeEnd(package, PACKAGE_TRAILER_BYTES, &trailerOffset)) return 0;
    int32_t count = 0;
    if (!ReadWhole(package, &count, sizeof count)) return 0;
    const uint64_t length = trailerOffset + PACKAGE_TRAILER_BYTES;
    if (CheckPackageCount(count, length) != PackageFault::None) return 0;

    uint64_t directoryOffset = 0;
    const uint32_t tail = PACKAGE_TRAILER_BYTES + PACKAGE_RECORD_BYTES * static_cast<uint32_t>(count);
    if (!SeekBeforeEnd(package, tail, &directoryOffset)) return 0;
    // The record next to the trailer describes the first file.
    for (int32_t k = 0; k < count; ++k) {
        if (!ReadWhole(package, &g_Show.Entries[count - 1 - k], PACKAGE_RECORD_BYTES)) return 0;
    }
    if (CheckPackageEntries(g_Show.Entries, count, directoryOffset, nullptr) != PackageFault::None) {
        return 0;
    }
    return count;
}

int Fail() {
    DeletePackageFiles(nullptr);
    ForgetPackageFiles();
    return 0;
}

}  // namespace

namespace {

// The chunked copy itself; `*total` is how far the source moved.
int CopyChunks(HANDLE destination, HANDLE source, int32_t size, int32_t* total) {
    static char buffer[COPY_CHUNK_BYTES];
    DWORD request = size < static_cast<int32_t>(COPY_CHUNK_BYTES) ? static_cast<DWORD>(size)
                                                                   : COPY_CHUNK_BYTES;
    bool whole = true;
    while (request != 0) {
        if (tarn::TerminationSignalCaught() != 0) return 0;
        // Each chunk moves inside the kernel where it can; `buffer` carries
        // it where it cannot.
        DWORD read = 0;
        DWORD written = 0;
        if (!tarn::CopyFileChunk(destination, source, request, buffer, &read, &written) ||
            read == 0) {
            return 0;
        }
        // A failed or short write does not stop the copy: the source still
        // advances by the whole entry.
        if (written != read) whole = false;
        *total += static_cast<int32_t>(read);
        if (size - *total < static_cast<int32_t>(COPY_CHUNK_BYTES)) {
            request = static_cast<DWORD>(size - *total);
        }
    }
    return whole ? 1 : 0;
}

}  // namespace

int CopyBytes(HANDLE destination, HANDLE source, int32_t size) {
    if (size <= 0) return 0;
    // The space for the whole entry is set aside before the first write; a
    // copy that ends early gives back what it did not fill.
    tarn::ReserveFileSpace(destination, size);
    int32_t total = 0;
    const int copied = CopyChunks(destination, source, size, &total);
    if (total < size) tarn::FreeSpaceBeyondEnd(destination);
    return copied;
}

int ExtractPackageFrom(const char* packagePath) {
    tarn::CatchTerminationSignals();
    ForgetPackageFiles();

    FileHandle package(CreateFileA(packagePath, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!package.IsOpen()) return 0;
    const int32_t count = ReadPackageDirectory(package.get());
    if (count == 0) return 0;
    g_PackageFiles.count = count;

    char folder[MAX_PATH];
    const DWORD folderLength = GetTempPathA(MAX_PATH, folder);
    if (folderLength == 0 || folderLength >= MAX_PATH) return Fail();
    char decorator[MAX_PATH];
    if (GetTempFileNameA(folder, "KTZ", 0, decorator) == 0) return Fail();
    if (!RememberPackageFile(g_PackageFiles.decorator, decorator)) return Fail();
    std::snprintf(g_Show.TempFileDecorator, sizeof g_Show.TempFileDecorator, "%s", decorator);

    if (!ExtractEntries(package.get(), count)) return Fail();
    return 1;
}

int ExtractPackage() {
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 0;  // a cut path names another file
    return ExtractPackageFrom(self);
}
