#include "platform/kernel/whole_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/kernel/unique_fd.h"

namespace tarn {
namespace {

UniqueFd OpenRetrying(const char* path, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return UniqueFd(fd);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// The file a write to `path` must replace: the target of a symbolic link,
// else `path` itself.
bool ResolveTarget(const char* path, std::string* target) {
    struct stat info {};
    if (::lstat(path, &info) == 0 && S_ISLNK(info.st_mode)) {
        std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path, nullptr), &std::free);
        if (!resolved) return false;  // a dangling link is not followed
        *target = resolved.get();
    } else {
        *target = path;
    }
    return true;
}

std::string SiblingName(const std::string& target) {
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    unsigned random = 0;
    if (::getrandom(&random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
        random = static_cast<unsigned>(::getpid()) ^ static_cast<unsigned>(reinterpret_cast<uintptr_t>(&random));
    }
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%08x~", random);
    return folder + "." + name + suffix;
}

}  // namespace

ReadResult ReadWholeFile(const char* path, std::string* contents) {
    contents->clear();
    UniqueFd fd = OpenRetrying(path, O_RDONLY | O_CLOEXEC, 0);
    if (!fd.Valid()) return errno == ENOENT ? ReadResult::Absent : ReadResult::Refused;
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return ReadResult::Refused;
    if (static_cast<unsigned long long>(info.st_size) > kMostWholeFileBytes) {
        return ReadResult::Refused;
    }

    char chunk[8192];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            contents->clear();
            return ReadResult::Refused;
        }
        if (n == 0) return ReadResult::Read;
        if (contents->size() + static_cast<size_t>(n) > kMostWholeFileBytes) {
            contents->clear();  // it grew while being read
            return ReadResult::Refused;
        }
        contents->append(chunk, static_cast<size_t>(n));
    }
}

bool ReplaceWholeFile(const char* path, std::string_view contents) {
    std::string target;
    if (!ResolveTarget(path, &target)) return false;

    struct stat original {};
    const bool exists = ::stat(target.c_str(), &original) == 0;
    if (exists && !S_ISREG(original.st_mode)) return false;

    std::string temporary;
    UniqueFd fd;
    for (int attempt = 0; attempt < 16 && !fd.Valid(); ++attempt) {
        temporary = SiblingName(target);
        fd = OpenRetrying(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          exists ? (original.st_mode & 07777) : 0666);
        if (!fd.Valid() && errno != EEXIST) return false;
    }
    if (!fd.Valid()) return false;

    bool ok = WriteAll(fd.Get(), contents);
    // The creation mode passed through the umask; put the original bits back.
    if (ok && exists) ok = ::fchmod(fd.Get(), original.st_mode & 07777) == 0;
    if (!fd.Reset()) ok = false;
    if (ok) ok = ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temporary.c_str());
    return ok;
}

}  // namespace tarn
