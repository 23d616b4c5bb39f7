// The running program's own file and folder.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>

#include "kernel/scratch_folder.h"
#include "platform/paths.h"
#include "platform/win32.h"

namespace {

using tarn::test::kSeparator;

#ifdef _WIN32
const std::string kExecutableName = "kernel_tests.exe";
#else
const std::string kExecutableName = "kernel_tests";
#endif

TEST(Module, FileNameIsTheRunningTestExecutable) {
    char path[4096];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(n, std::string(path).size());
    const std::string full = path;
#ifdef _WIN32
    EXPECT_EQ(full.substr(1, 2), ":\\") << full;
#else
    EXPECT_EQ(path[0], '/');
#endif
    EXPECT_EQ(full.substr(full.rfind(kSeparator) + 1), kExecutableName);
    EXPECT_EQ(GetModuleFileNameA(GetModuleHandleA(nullptr), path, sizeof path), n);

    char small[4096];
#ifdef _WIN32
    // Windows fills a buffer one byte short with as much as fits and tells
    // by returning the buffer's size: a caller must take a result that fills
    // the buffer for a failure.
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, n), n);
    EXPECT_EQ(std::string(small, n - 1), full.substr(0, n - 1));
#else
    // A buffer one byte short is refused, never filled with a cut path.
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, n), 0u);
    EXPECT_STREQ(small, "");
#endif
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, n + 1), n);
    EXPECT_EQ(std::string(small), full);
}

TEST(Module, InstalledPlayerDirectoryIsTheExecutablesFolder) {
    char path[4096];
    ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
    char folder[4096];
    tarn::InstalledPlayerDirectory(folder, sizeof folder);
    EXPECT_EQ(std::string(folder) + kSeparator + kExecutableName, std::string(path));

    struct stat info {};
    ASSERT_EQ(::stat(folder, &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));

    char tiny[4] = "xyz";
    tarn::InstalledPlayerDirectory(tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "");
}

TEST(Module, SmallServices) {
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_EQ(lstrlenA("abc"), 3);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
}

}  // namespace
