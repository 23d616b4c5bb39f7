// The temporary folder and unique temporary file names.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include "kernel/scratch_folder.h"
#include "platform/paths.h"
#include "platform/win32.h"

namespace {

using tarn::test::Exists;
using tarn::test::kSeparator;
using tarn::test::ReadBytes;
using tarn::test::ScratchFolder;
using tarn::test::WriteBytes;

std::string TempPath() {
    char buffer[MAX_PATH];
    const DWORD n = GetTempPathA(sizeof buffer, buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string("<failed>");
}

// File names as the file system compares them: on Windows without regard
// to case (its own temporary names may use small hexadecimal letters).
std::string Comparable(std::string name) {
#ifdef _WIN32
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
#endif
    return name;
}

TEST(TempPath, ComesFromTmpdirWithATrailingSeparator) {
    ScratchFolder folder;
    EXPECT_EQ(TempPath(), folder.Path() + kSeparator);
    ::setenv("TMPDIR", (folder.Path() + kSeparator).c_str(), 1);
    EXPECT_EQ(TempPath(), folder.Path() + kSeparator);

    char buffer[MAX_PATH];
    ASSERT_TRUE(tarn::TemporaryFolder(buffer, sizeof buffer));
    EXPECT_EQ(std::string(buffer), folder.Path() + kSeparator);
}

#ifndef _WIN32
// Windows has its own fallbacks (%TEMP%, the user's profile, its folder).
TEST(TempPath, EmptyOrRelativeTmpdirMeansTmp) {
    ScratchFolder folder;
    ::setenv("TMPDIR", "", 1);
    EXPECT_EQ(TempPath(), "/tmp/");
    ::setenv("TMPDIR", "relative/dir", 1);
    EXPECT_EQ(TempPath(), "/tmp/");
    ::unsetenv("TMPDIR");
    EXPECT_EQ(TempPath(), "/tmp/");
}
#endif

TEST(TempPath, TooSmallBufferGetsTheSizeItNeeds) {
    ScratchFolder folder;
    char small[4] = "abc";
    EXPECT_EQ(GetTempPathA(sizeof small, small), folder.Path().size() + 2);
    EXPECT_FALSE(tarn::TemporaryFolder(small, sizeof small));
}

TEST(TempFileName, CreatesANewEmptyKtzFileNamedByItsNumber) {
    ScratchFolder folder;
    char name[MAX_PATH];
    const UINT number = GetTempFileNameA(TempPath().c_str(), "KTZ", 0, name);
    ASSERT_NE(number, 0u);
    EXPECT_LE(number, 0xFFFFu);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%sKTZ%X.tmp", kSeparator, number);
    EXPECT_EQ(Comparable(name), Comparable(folder.Path() + expected));
    EXPECT_TRUE(std::regex_match(std::string(expected), std::regex(".KTZ[0-9A-F]{1,4}\\.tmp")));
    EXPECT_TRUE(Exists(name));
    EXPECT_EQ(ReadBytes(name), "");

    // A folder given without a separator works the same; a longer prefix is
    // cut to three characters.
    char second[MAX_PATH];
    ASSERT_NE(GetTempFileNameA(folder.Path().c_str(), "KTZLONG", 0, second), 0u);
    EXPECT_EQ(std::string(second).rfind(folder.Path() + kSeparator + "KTZ", 0), 0u);
    EXPECT_EQ(std::string(second).find("LONG"), std::string::npos);
    EXPECT_STRNE(name, second);
}

#ifndef _WIN32
// Fills all 65535 names, most with symbolic links: a memory folder and
// links are Linux's; on a Windows disk the names alone would take minutes.
TEST(TempFileName, NeverTakesANameThatExists) {
    // Every name but one is taken, most by links to a file that must never
    // be created and some by files with contents: the one free name is the
    // only possible result, and after it nothing is left. Memory-backed
    // when the machine has such a folder: 65535 names are many for a disk.
    ScratchFolder folder(std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "");
    const std::string dir = folder.Path() + "/";
    const std::string bait = folder / "bait";
    const unsigned freeNumber = 0x2A5;
    for (unsigned n = 1; n <= 0xFFFF; ++n) {
        if (n == freeNumber) continue;
        char path[MAX_PATH];
        std::snprintf(path, sizeof path, "%sKTZ%X.tmp", dir.c_str(), n);
        if (n % 64 == 1) {
            WriteBytes(path, "taken");
        } else {
            ASSERT_EQ(::symlink(bait.c_str(), path), 0);
        }
    }
    char name[MAX_PATH];
    EXPECT_EQ(GetTempFileNameA(dir.c_str(), "KTZ", 0, name), freeNumber);
    EXPECT_EQ(std::string(name), dir + "KTZ2A5.tmp");
    EXPECT_EQ(GetTempFileNameA(dir.c_str(), "KTZ", 0, name), 0u);
    EXPECT_FALSE(Exists(bait));
    EXPECT_EQ(ReadBytes(dir + "KTZ1.tmp"), "taken");
}
#endif

TEST(TempFileName, SuccessiveCallsGiveDistinctFiles) {
    ScratchFolder folder;
    std::set<std::string> names;
    for (int i = 0; i < 50; ++i) {
        char name[MAX_PATH];
        ASSERT_NE(GetTempFileNameA(TempPath().c_str(), "KTZ", 0, name), 0u);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 50u);
    EXPECT_EQ(folder.Names().size(), 50u);
}

TEST(TempFileName, FailsWhenThePathWouldNotFitOrTheFolderIsMissing) {
    ScratchFolder folder;
    char name[MAX_PATH];
    const std::string longFolder = folder.Path() + "/" + std::string(MAX_PATH - folder.Path().size() - 8, 'd');
    std::error_code ignored;
    std::filesystem::create_directory(longFolder, ignored);
#ifndef _WIN32
    // Wine makes names past MAX_PATH where Windows refuses them.
    EXPECT_EQ(GetTempFileNameA(longFolder.c_str(), "KTZ", 0, name), 0u);
#endif
    EXPECT_EQ(GetTempFileNameA((folder / "missing").c_str(), "KTZ", 0, name), 0u);
#ifndef _WIN32
    // Windows leaves a null folder to the caller's care.
    EXPECT_EQ(GetTempFileNameA(nullptr, "KTZ", 0, name), 0u);
#endif
}

TEST(TempFileName, AChosenNumberOnlyFormsTheName) {
    ScratchFolder folder;
    char name[MAX_PATH];
    EXPECT_EQ(GetTempFileNameA(folder.Path().c_str(), "KTZ", 0xBEEF, name), 0xBEEFu);
    EXPECT_EQ(Comparable(name), Comparable(folder / "KTZBEEF.tmp"));
    EXPECT_FALSE(Exists(name));
}

}  // namespace
