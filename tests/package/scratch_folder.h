// A private folder for one test, removed with everything in it afterwards,
// and a temporary folder ($TMPDIR, and %TMP% on Windows) inside it for the
// code under test. Its paths use the system's own separator.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/native_paths.h"

namespace tarn::test {

class ScratchFolder {
public:
    // In `base` when given, else in $TARN_TEST_SCRATCH or /tmp (on Windows
    // the user's temporary folder).
    explicit ScratchFolder(const std::string& base = "") {
        const char* fromEnvironment = std::getenv("TARN_TEST_SCRATCH");
        std::string folder = !base.empty() ? base : fromEnvironment != nullptr ? fromEnvironment : DefaultBase();
        std::string pattern = folder + kSeparator + "tarn-test-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        root_ = pattern;
        temp_ = root_ + kSeparator + "tmp";
        outside_ = root_ + kSeparator + "outside";
        std::filesystem::create_directory(temp_);
        std::filesystem::create_directory(outside_);
        const char* previous = std::getenv("TMPDIR");
        hadTmpdir_ = previous != nullptr;
        if (hadTmpdir_) previousTmpdir_ = previous;
        setenv("TMPDIR", temp_.c_str(), 1);
    }
    ~ScratchFolder() {
        if (hadTmpdir_) {
            setenv("TMPDIR", previousTmpdir_.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& root() const { return root_; }
    // The temporary folder the code under test sees, without a trailing '/'.
    const std::string& temp() const { return temp_; }
    // A folder beside it, for files that must not be touched.
    const std::string& outside() const { return outside_; }

    // The names in the temporary folder, sorted.
    std::vector<std::string> TempNames() const { return Names(temp_); }

    static std::vector<std::string> Names(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& item : std::filesystem::directory_iterator(folder)) {
            names.push_back(item.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    static std::string DefaultBase() {
#ifdef _WIN32
        std::string base = std::filesystem::temp_directory_path().string();
        while (!base.empty() && (base.back() == '\\' || base.back() == '/')) base.pop_back();
        return base;
#else
        return "/tmp";
#endif
    }

    std::string root_;
    std::string temp_;
    std::string outside_;
    bool hadTmpdir_ = false;
    std::string previousTmpdir_;
};

// A folder in memory when the system has one (many files are made quickly
// there), else the default.
inline std::string FastScratchBase() {
#ifdef _WIN32
    return "";
#else
    return access("/dev/shm", W_OK | X_OK) == 0 ? "/dev/shm" : "";
#endif
}

#ifndef _WIN32
// Windows has no mode bit that makes a file a program.
inline bool IsExecutable(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 && (status.st_mode & S_IXUSR) != 0;
}
#endif

inline bool Exists(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

}  // namespace tarn::test
