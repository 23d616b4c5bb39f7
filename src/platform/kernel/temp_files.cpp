// The temporary folder and unique temporary file names.
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/paths.h"
#include "platform/win32.h"

namespace tarn {
namespace {

std::string TemporaryFolderText() {
    // Only an absolute $TMPDIR is taken: a relative one would make every
    // temporary path depend on the current folder.
    const char* fromEnvironment = std::getenv("TMPDIR");
    std::string folder =
        (fromEnvironment != nullptr && fromEnvironment[0] == '/') ? fromEnvironment : "/tmp";
    if (folder.back() != '/') folder.push_back('/');
    return folder;
}

// Copies `text` with its NUL into `buffer` of `size` bytes when it fits.
bool CopyWhole(const std::string& text, char* buffer, size_t size) {
    if (buffer == nullptr || text.size() >= size) return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

unsigned StartingNumber() {
    unsigned seed = 0;
    if (::getrandom(&seed, sizeof seed, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof seed)) {
        seed = static_cast<unsigned>(
                   std::chrono::steady_clock::now().time_since_epoch().count()) ^
               static_cast<unsigned>(::getpid()) * 2654435761u;
    }
    return seed;
}

std::string TempFileName(const std::string& folder, const char* prefix, unsigned number) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path.push_back('/');
    path.append(prefix, ::strnlen(prefix, 3));
    char digits[16];
    std::snprintf(digits, sizeof digits, "%X.tmp", number & 0xFFFFu);
    path += digits;
    return path;
}

}  // namespace

bool TemporaryFolder(char* buffer, size_t size) {
    return CopyWhole(TemporaryFolderText(), buffer, size);
}

}  // namespace tarn

DWORD GetTempPathA(DWORD size, LPSTR buffer) {
    const std::string folder = tarn::TemporaryFolderText();
    if (!tarn::CopyWhole(folder, buffer, size)) {
        return static_cast<DWORD>(folder.size() + 1);  // the size it needs
    }
    return static_cast<DWORD>(folder.size());
}

UINT GetTempFileNameA(LPCSTR folder, LPCSTR prefix, UINT unique, LPSTR result) {
    if (folder == nullptr || result == nullptr) return 0;
    if (prefix == nullptr) prefix = "";
    const std::string folderText = folder;

    if (unique != 0) {
        // A caller-chosen number: the name is only formed, not created.
        const std::string path = tarn::TempFileName(folderText, prefix, unique);
        return tarn::CopyWhole(path, result, MAX_PATH) ? unique : 0;
    }

    // Try every number from a random start; a name that exists is never
    // taken, and the file is created exclusively, never through a link.
    const unsigned start = tarn::StartingNumber();
    for (unsigned step = 0; step < 0xFFFFu; ++step) {
        const unsigned number = (start + step) % 0xFFFFu + 1;  // 1 ... 0xFFFF
        const std::string path = tarn::TempFileName(folderText, prefix, number);
        if (path.size() >= MAX_PATH) return 0;
        int fd;
        do {
            fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return 0;
        }
        ::close(fd);
        std::memcpy(result, path.c_str(), path.size() + 1);
        return number;
    }
    return 0;
}
