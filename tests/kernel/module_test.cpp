// The running program's own file and folder.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/paths.h"
#include "platform/win32.h"

namespace {

TEST(Module, FileNameIsTheRunningTestExecutable) {
    char path[4096];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(n, std::string(path).size());
    EXPECT_EQ(path[0], '/');
    EXPECT_EQ(std::string(path).substr(std::string(path).rfind('/') + 1), "kernel_tests");
    EXPECT_EQ(GetModuleFileNameA(GetModuleHandleA(nullptr), path, sizeof path), n);

    // A buffer one byte short is refused, never filled with a cut path.
    char small[4096];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, n), 0u);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, n + 1), n);
}

TEST(Module, InstalledPlayerDirectoryIsTheExecutablesFolder) {
    char path[4096];
    ASSERT_GT(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
    char folder[4096];
    tarn::InstalledPlayerDirectory(folder, sizeof folder);
    EXPECT_EQ(std::string(folder) + "/kernel_tests", std::string(path));

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
