#include "soak/process_figures.h"

#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#if defined(__SANITIZE_ADDRESS__)
#define TARN_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARN_UNDER_ASAN 1
#endif
#endif

#ifdef TARN_UNDER_ASAN
// The sanitizer runtime's count of bytes handed out and not yet freed.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace tarn::test {
namespace {

int CountEntries(const char* folder) {
    DIR* dir = opendir(folder);
    if (dir == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
    return count;
}

}  // namespace

bool UnderAddressSanitizer() {
#ifdef TARN_UNDER_ASAN
    return true;
#else
    return false;
#endif
}

ProcessFigures MeasureProcess() {
    ProcessFigures figures;
    std::ifstream statm("/proc/self/statm");
    int64_t sizePages = 0, residentPages = 0;
    statm >> sizePages >> residentPages;
    figures.residentBytes = residentPages * sysconf(_SC_PAGESIZE);
#ifdef TARN_UNDER_ASAN
    figures.heapBytes = static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    figures.heapBytes = static_cast<int64_t>(info.uordblks + info.hblkhd);
#endif
    // The listing's own descriptor is open while the folder is read.
    figures.descriptors = CountEntries("/proc/self/fd") - 1;
    figures.threads = CountEntries("/proc/self/task");
    return figures;
}

std::string Describe(const ProcessFigures& figures) {
    char text[160];
    std::snprintf(text, sizeof text, "resident %.1f MiB, heap %.1f MiB, %d descriptors, %d threads",
                  static_cast<double>(figures.residentBytes) / (1 << 20),
                  static_cast<double>(figures.heapBytes) / (1 << 20), figures.descriptors,
                  figures.threads);
    return text;
}

}  // namespace tarn::test
