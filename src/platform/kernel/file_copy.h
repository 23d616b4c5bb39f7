// Copying a stretch of one open file into another.
#pragma once

#include <cstdint>

#include "platform/win32.h"

namespace tarn {

// Asks the file system to set aside `size` bytes for `file` from its
// current position on, without changing the file's length, before a copy
// writes them: space found in one go costs it less than space found piece by
// piece as the writes come. Nothing happens when it cannot (a full disk
// then fails the writes as it would have). FreeSpaceBeyondEnd gives back
// what a copy that ended early did not fill.
#ifdef _WIN32
inline void ReserveFileSpace(HANDLE, int64_t) {}
inline void FreeSpaceBeyondEnd(HANDLE) {}
#else
void ReserveFileSpace(HANDLE file, int64_t size);
void FreeSpaceBeyondEnd(HANDLE file);
#endif

// Copies up to `size` bytes from the current position of `source` to the
// current position of `destination`; both positions move on. Where the
// kernel can copy between the two files itself, and both positions lie at
// the same place within a page, the bytes never pass through this process;
// otherwise (positions apart within a page, pipes, a destination open only
// for reading, file systems that refuse it …) they go through `buffer`,
// which holds at least `size` bytes.
//
// `*read` is how far the source moved: less than `size` only at its end or
// on a read error. `*written` is how many of those bytes reached the
// destination. A failed write does not hold the source back, so the source
// moves past the whole stretch whatever happens to the destination.
// FALSE only when the source could not be read.
#ifdef _WIN32
inline BOOL CopyFileChunk(HANDLE destination, HANDLE source, DWORD size, void* buffer,
                          DWORD* read, DWORD* written) {
    *read = 0;
    *written = 0;
    if (!ReadFile(source, buffer, size, read, nullptr)) return FALSE;
    if (*read > 0) WriteFile(destination, buffer, *read, written, nullptr);
    return TRUE;
}
#else
BOOL CopyFileChunk(HANDLE destination, HANDLE source, DWORD size, void* buffer, DWORD* read,
                   DWORD* written);
#endif

}  // namespace tarn
