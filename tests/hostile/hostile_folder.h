// Helpers for the hostile-surroundings tests: files of another user, links,
// and many names planted at once.
#pragma once

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace tarn::test {

// The user id of "nobody": a user other than the one running the tests.
inline bool OtherUser(uid_t* uid, gid_t* gid) {
    const passwd* entry = getpwnam("nobody");
    if (entry == nullptr || entry->pw_uid == geteuid()) return false;
    *uid = entry->pw_uid;
    *gid = entry->pw_gid;
    return true;
}

// Only root can give a file away; elsewhere the tests that need it skip.
inline bool CanGiveFilesAway() { return geteuid() == 0; }

inline uid_t OwnerOf(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_uid : static_cast<uid_t>(-1);
}

inline bool IsLinkTo(const std::string& path, const std::string& target) {
    char buffer[4096];
    const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer);
    return n >= 0 && std::string(buffer, static_cast<size_t>(n)) == target;
}

// "<folder>/KTZ<number in hex>.tmp<suffix>", the names the temp decorator
// and the files extracted beside it take.
inline std::string DecoratorName(const std::string& folder, unsigned number,
                                 const std::string& suffix = "") {
    char name[32];
    std::snprintf(name, sizeof name, "/KTZ%X.tmp", number);
    return folder + name + suffix;
}

constexpr unsigned kDecoratorNumbers = 0xFFFF;  // KTZ1.tmp ... KTZFFFF.tmp

}  // namespace tarn::test
