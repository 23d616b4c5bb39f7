// The few POSIX calls the shared test helpers make, for the Windows build of
// the suites (included ahead of every test source there).
//
// The temporary folder is $TMPDIR on Linux and %TMP% on Windows (the first
// place GetTempPathA looks): setting or clearing TMPDIR sets or clears TMP
// as well, so a test that moves the process's temporary folder moves it on
// both systems.
#pragma once

#ifdef _WIN32

#include <direct.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <random>
#include <string>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && std::getenv(name) != nullptr) return 0;
    if (std::strcmp(name, "TMPDIR") == 0) _putenv_s("TMP", value);
    return _putenv_s(name, value);
}

inline int unsetenv(const char* name) {
    if (std::strcmp(name, "TMPDIR") == 0) _putenv_s("TMP", "");
    return _putenv_s(name, "");
}

// Replaces the trailing XXXXXX of `pattern` and makes that folder.
inline char* mkdtemp(char* pattern) {
    const size_t length = std::strlen(pattern);
    if (length < 6 || std::strcmp(pattern + length - 6, "XXXXXX") != 0) return nullptr;
    static std::mt19937 random{std::random_device{}()};
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (size_t i = length - 6; i < length; ++i) pattern[i] = letters[random() % 36];
        if (_mkdir(pattern) == 0) return pattern;
    }
    return nullptr;
}

// Windows has no symbolic links in the tests' folders: a look at the name
// is a look at the file.
inline int lstat(const char* path, struct stat* status) { return stat(path, status); }

#endif  // _WIN32
