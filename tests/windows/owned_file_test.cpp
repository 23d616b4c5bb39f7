// Files the package process made, held by handles that read nothing.
#include <gtest/gtest.h>

#include <string>

#include "kernel/scratch_folder.h"
#include "platform/kernel/owned_file.h"
#include "platform/win32.h"

namespace {

using tarn::OwnedFile;
using tarn::test::Exists;
using tarn::test::ReadBytes;
using tarn::test::ScratchFolder;
using tarn::test::WriteBytes;

TEST(OwnedFileOnWindows, HeldWhileItsCreatorStillWritesIt) {
    ScratchFolder scratch;
    const std::string path = scratch / "KTZ1.tmp.a.jpg";
    // The extraction's own handle shares nothing.
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    OwnedFile file;
    EXPECT_TRUE(file.Hold(path.c_str()));
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(writer, "data", 4, &written, nullptr));
    CloseHandle(writer);
    EXPECT_TRUE(file.IsNamedBy(path.c_str()));
    EXPECT_TRUE(file.MakeExecutable());
    EXPECT_EQ(ReadBytes(path), "data");
}

TEST(OwnedFileOnWindows, AnotherProcessMayDeleteAHeldFile) {
    ScratchFolder scratch;
    const std::string path = scratch / "KTZ1.tmp.show.ini";
    WriteBytes(path, "[OPTIONS]\r\n");
    OwnedFile file;
    ASSERT_TRUE(file.Hold(path.c_str()));
    // The player deletes the show's files while the package process holds them.
    EXPECT_TRUE(DeleteFileA(path.c_str()));
    // The name may stay until the last handle goes (it does on Windows);
    // once the package process lets go, nothing of the file is left.
    file.DeleteAs(path.c_str());
    EXPECT_FALSE(file.IsHeld());
    EXPECT_FALSE(Exists(path));
}

TEST(OwnedFileOnWindows, AReplacedFileIsNotTakenForTheHeldOne) {
    ScratchFolder scratch;
    const std::string path = scratch / "KTZ1.tmp.a.jpg";
    const std::string aside = scratch / "aside";
    WriteBytes(path, "ours");
    OwnedFile file;
    ASSERT_TRUE(file.Hold(path.c_str()));
    ASSERT_TRUE(MoveFileA(path.c_str(), aside.c_str()));
    WriteBytes(path, "someone else's");
    EXPECT_FALSE(file.IsNamedBy(path.c_str()));
    EXPECT_TRUE(file.IsNamedBy(aside.c_str()));
    EXPECT_FALSE(file.DeleteAs(path.c_str()));
    EXPECT_EQ(ReadBytes(path), "someone else's");
}

TEST(OwnedFileOnWindows, DeletesItsOwnFileAndLetsGo) {
    ScratchFolder scratch;
    const std::string path = scratch / "KTZ1.tmp";
    WriteBytes(path, "");
    OwnedFile file;
    ASSERT_TRUE(file.Hold(path.c_str()));
    OwnedFile moved = std::move(file);
    EXPECT_FALSE(file.IsHeld());
    EXPECT_TRUE(moved.DeleteAs(path.c_str()));
    EXPECT_FALSE(moved.IsHeld());
    EXPECT_FALSE(Exists(path));
}

TEST(OwnedFileOnWindows, OnlyPlainFilesAreHeld) {
    ScratchFolder scratch;
    OwnedFile file;
    EXPECT_FALSE(file.Hold(scratch.Path().c_str()));
    EXPECT_FALSE(file.Hold((scratch / "absent").c_str()));
    EXPECT_FALSE(file.Hold(nullptr));
    EXPECT_FALSE(file.IsHeld());
    EXPECT_FALSE(file.MakeExecutable());
}

}  // namespace
