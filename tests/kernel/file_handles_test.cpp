// Files behind handles: creation rules, reading, writing, seeking, closing,
// deletion and attributes.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "kernel/scratch_folder.h"
#include "platform/win32.h"

namespace {

using tarn::test::Exists;
using tarn::test::ReadBytes;
using tarn::test::ScratchFolder;
using tarn::test::WriteBytes;

HANDLE Open(const std::string& path, DWORD access, DWORD disposition) {
    return CreateFileA(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

TEST(FileHandles, CreateNewRefusesAnExistingFileAndAPlantedLink) {
    ScratchFolder folder;
    const std::string existing = folder / "existing";
    WriteBytes(existing, "keep me");
    EXPECT_EQ(Open(existing, kReadWrite, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadBytes(existing), "keep me");

#ifndef _WIN32
    // A link planted under the name, to a file that does not exist yet and
    // to one that does: neither is followed.
    const std::string victim = folder / "victim";
    const std::string planted = folder / "planted";
    ASSERT_EQ(::symlink(victim.c_str(), planted.c_str()), 0);
    EXPECT_EQ(Open(planted, kReadWrite, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Exists(victim));
#endif

    const std::string fresh = folder / "fresh";
    HANDLE file = Open(fresh, kReadWrite, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_NE(file, nullptr);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_TRUE(Exists(fresh));
}

TEST(FileHandles, CreateAlwaysReplacesAFileButNeverFollowsALink) {
    ScratchFolder folder;
    const std::string path = folder / "out";
    WriteBytes(path, "old contents");
    HANDLE file = Open(path, kReadWrite, CREATE_ALWAYS);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "new", 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    CloseHandle(file);
    EXPECT_EQ(ReadBytes(path), "new");

#ifndef _WIN32
    const std::string victim = folder / "victim";
    WriteBytes(victim, "precious");
    const std::string link = folder / "link";
    ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
    EXPECT_EQ(Open(link, kReadWrite, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadBytes(victim), "precious");
#endif
}

TEST(FileHandles, OpenExistingFailsForMissingFilesAndFolders) {
    ScratchFolder folder;
    EXPECT_EQ(Open(folder / "missing", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Exists(folder / "missing"));
    EXPECT_EQ(Open(folder.Path(), GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open(folder / "x", GENERIC_READ, 99), INVALID_HANDLE_VALUE);
}

TEST(FileHandles, SeekingFromStartCurrentAndEnd) {
    ScratchFolder folder;
    const std::string path = folder / "data";
    WriteBytes(path, "0123456789");
    HANDLE file = Open(path, GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);

    char buffer[8] = {};
    DWORD read = 0;
    EXPECT_EQ(SetFilePointer(file, -4, nullptr, FILE_END), 6u);
    ASSERT_TRUE(ReadFile(file, buffer, 4, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "6789");

    EXPECT_EQ(SetFilePointer(file, 2, nullptr, FILE_BEGIN), 2u);
    EXPECT_EQ(SetFilePointer(file, 3, nullptr, FILE_CURRENT), 5u);
    ASSERT_TRUE(ReadFile(file, buffer, 1, &read, nullptr));
    EXPECT_EQ(buffer[0], '5');

    // Before the start: refused, and the position stays where it was.
    EXPECT_EQ(SetFilePointer(file, -11, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(SetFilePointer(file, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(SetFilePointer(file, -7, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 6u);

    // With a high part the distance is 64 bits wide.
    LONG high = -1;
    EXPECT_EQ(SetFilePointer(file, -10, &high, FILE_END), 0u);
    EXPECT_EQ(high, 0);
    high = 0;
    EXPECT_EQ(SetFilePointer(file, 1, &high, FILE_BEGIN), 1u);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
    CloseHandle(file);
}

TEST(FileHandles, ReadReportsShortCountsAtTheEnd) {
    ScratchFolder folder;
    const std::string path = folder / "data";
    WriteBytes(path, "abc");
    HANDLE file = Open(path, GENERIC_READ, OPEN_EXISTING);
    char buffer[16];
    DWORD read = 99;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(read, 3u);
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(read, 0u);
    // Writing to a handle opened for reading fails.
    DWORD written = 99;
    EXPECT_FALSE(WriteFile(file, "x", 1, &written, nullptr));
    EXPECT_EQ(written, 0u);
    CloseHandle(file);
    EXPECT_EQ(ReadBytes(path), "abc");
}

TEST(FileHandles, LargeTransfersArriveWhole) {
    ScratchFolder folder;
    const std::string path = folder / "big";
    std::string data(3 * 65536 + 17, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);
    HANDLE out = Open(path, kReadWrite, CREATE_ALWAYS);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(out, data.data(), static_cast<DWORD>(data.size()), &written, nullptr));
    EXPECT_EQ(written, data.size());
    EXPECT_EQ(SetFilePointer(out, 0, nullptr, FILE_BEGIN), 0u);
    std::string back(data.size(), '\0');
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(out, back.data(), static_cast<DWORD>(back.size()), &read, nullptr));
    EXPECT_EQ(read, data.size());
    EXPECT_EQ(back, data);
    CloseHandle(out);
}

TEST(FileHandles, ClosedForgedAndInvalidHandlesAreRefused) {
    ScratchFolder folder;
    HANDLE file = Open(folder / "f", kReadWrite, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_FALSE(CloseHandle(file));
    char byte;
    DWORD read = 5;
    EXPECT_FALSE(ReadFile(file, &byte, 1, &read, nullptr));
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_FALSE(CloseHandle(nullptr));
#ifndef _WIN32
    // On Windows this value is also the current process's own handle, and
    // closing that does nothing and succeeds.
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
#endif
    int notAHandle = 0;
    EXPECT_FALSE(CloseHandle(&notAHandle));
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(INVALID_HANDLE_VALUE, "x", 1, &written, nullptr));
}

TEST(FileHandles, DeleteRefusesMissingFilesAndFolders) {
    ScratchFolder folder;
    WriteBytes(folder / "file", "go");
    EXPECT_TRUE(DeleteFileA((folder / "file").c_str()));
    EXPECT_FALSE(Exists(folder / "file"));
    EXPECT_FALSE(DeleteFileA((folder / "file").c_str()));

    EXPECT_FALSE(DeleteFileA((folder / "missing").c_str()));
    EXPECT_FALSE(DeleteFileA(nullptr));
    std::filesystem::create_directory(folder / "sub");
    EXPECT_FALSE(DeleteFileA((folder / "sub").c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "sub"));
}

#ifndef _WIN32
// Symbolic links are made by users on Linux only.
TEST(FileHandles, DeleteRemovesALinkNotItsTarget) {
    ScratchFolder folder;
    const std::string target = folder / "target";
    const std::string link = folder / "link";
    WriteBytes(target, "stay");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    EXPECT_TRUE(DeleteFileA(link.c_str()));
    EXPECT_FALSE(Exists(link));
    EXPECT_EQ(ReadBytes(target), "stay");
}
#endif

TEST(FileHandles, AttributesTellFilesFoldersAndAbsence) {
    ScratchFolder folder;
    WriteBytes(folder / "f", "");
    const DWORD file = GetFileAttributesA((folder / "f").c_str());
    const DWORD directory = GetFileAttributesA(folder.Path().c_str());
    ASSERT_NE(file, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(file & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_NE(directory & FILE_ATTRIBUTE_DIRECTORY, 0u);
#ifndef _WIN32
    // Windows adds its own bits (a new file is marked for archiving).
    EXPECT_EQ(file, FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(directory, FILE_ATTRIBUTE_DIRECTORY);
#endif
    EXPECT_EQ(GetFileAttributesA((folder / "none").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(nullptr), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
