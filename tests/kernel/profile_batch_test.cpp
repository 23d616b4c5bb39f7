// Profile writes gathered in memory and written to the file in one
// replacement: reads see them at once, the disk only at the end.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "kernel/scratch_folder.h"
#include "platform/kernel/profile_batch.h"
#include "platform/win32.h"

// On Windows the batch leaves each write to the system's own profile cache.
#ifndef _WIN32
namespace {

using tarn::ProfileWriteBatch;
using tarn::test::ReadBytes;
using tarn::test::ScratchFolder;
using tarn::test::WriteBytes;

const std::string kShow =
    "[OPTIONS]\r\n"
    "AdvanceMethod=6\r\n"
    "; the author's comment\r\n"
    "\r\n"
    "[SLIDES]\r\n"
    "Count=2\r\n"
    "Image1000=a.jpg\r\n"
    "Image1001=b.jpg\r\n";

class ProfileBatch : public ::testing::Test {
protected:
    std::string Value(const std::string& path, const char* section, const char* key) {
        char buffer[260];
        GetPrivateProfileStringA(section, key, "<absent>", buffer, sizeof buffer, path.c_str());
        return buffer;
    }
    // The same edits as a rewrite makes: a new key, replaced values, a removal.
    static void Edit(const std::string& path) {
        WritePrivateProfileStringA("OPTIONS", "TempFileDecorator", "/tmp/KTZ1.tmp", path.c_str());
        WritePrivateProfileStringA("SLIDES", "Image1000", "/tmp/KTZ1.tmp.a.jpg", path.c_str());
        WritePrivateProfileStringA("SLIDES", "Image1001", "/tmp/KTZ1.tmp.b.jpg", path.c_str());
        WritePrivateProfileStringA("OPTIONS", "AdvanceMethod", nullptr, path.c_str());
        WritePrivateProfileStringA("EXTRA", "Key", "value", path.c_str());
    }
    static ino_t Inode(const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
    }

    ScratchFolder folder;
    const std::string file = folder / "show.ini";
};

TEST_F(ProfileBatch, ReadsSeeTheWritesAtOnceAndTheFileGetsThemAtTheEnd) {
    WriteBytes(file, kShow);
    const std::string single = folder / "single.ini";
    WriteBytes(single, kShow);
    Edit(single);  // key by key, straight to the disk

    {
        ProfileWriteBatch batch(file.c_str());
        Edit(file);
        EXPECT_EQ(Value(file, "SLIDES", "Image1000"), "/tmp/KTZ1.tmp.a.jpg");
        EXPECT_EQ(Value(file, "OPTIONS", "TempFileDecorator"), "/tmp/KTZ1.tmp");
        EXPECT_EQ(Value(file, "OPTIONS", "AdvanceMethod"), "<absent>");
        EXPECT_EQ(GetPrivateProfileIntA("SLIDES", "Count", 0, file.c_str()), 2u);
        EXPECT_EQ(ReadBytes(file), kShow) << "nothing reaches the disk before the end";
    }
    EXPECT_EQ(ReadBytes(file), ReadBytes(single)) << "the same text as the writes one by one";
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"show.ini", "single.ini"}));
    // After the batch, writes go to the disk again.
    ASSERT_TRUE(WritePrivateProfileStringA("SLIDES", "Count", "3", file.c_str()));
    EXPECT_NE(ReadBytes(file).find("Count=3\r\n"), std::string::npos);
}

TEST_F(ProfileBatch, AFileNobodyChangedIsLeftAsItWas) {
    WriteBytes(file, kShow);
    const ino_t before = Inode(file);
    {
        ProfileWriteBatch batch(file.c_str());
        // The value it already has, and the removal of a key it lacks.
        WritePrivateProfileStringA("OPTIONS", "AdvanceMethod", "6", file.c_str());
        WritePrivateProfileStringA("OPTIONS", "Missing", nullptr, file.c_str());
        EXPECT_TRUE(batch.Commit());
    }
    EXPECT_EQ(Inode(file), before) << "not replaced";
    EXPECT_EQ(ReadBytes(file), kShow);
}

TEST_F(ProfileBatch, AMissingFileReadsAsEmptyUntilWrittenAndIsCreatedAtCommit) {
    ProfileWriteBatch batch(file.c_str());
    EXPECT_EQ(Value(file, "A", "k"), "<absent>");
    ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "v", file.c_str()));
    EXPECT_EQ(Value(file, "A", "k"), "v");
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(batch.Commit());
    EXPECT_EQ(ReadBytes(file), "[A]\r\nk=v\r\n");
}

TEST_F(ProfileBatch, AFailedReplacementIsReported) {
    const std::string gone = folder / "sub/show.ini";
    std::filesystem::create_directory(folder / "sub");
    WriteBytes(gone, kShow);
    ProfileWriteBatch batch(gone.c_str());
    ASSERT_TRUE(WritePrivateProfileStringA("SLIDES", "Count", "3", gone.c_str()));
    // The folder disappears before the end: the new text has nowhere to go.
    std::filesystem::remove_all(folder / "sub");
    EXPECT_FALSE(batch.Commit());
}

TEST_F(ProfileBatch, AnUnreadableFileOrASecondBatchGathersNothing) {
    // A folder in the file's place: each write fails as it would without a batch.
    std::filesystem::create_directory(file);
    {
        ProfileWriteBatch batch(file.c_str());
        EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", file.c_str()));
    }
    EXPECT_TRUE(std::filesystem::is_directory(file));

    const std::string first = folder / "first.ini";
    const std::string second = folder / "second.ini";
    WriteBytes(first, kShow);
    WriteBytes(second, kShow);
    ProfileWriteBatch gathering(first.c_str());
    ProfileWriteBatch other(second.c_str());
    ASSERT_TRUE(WritePrivateProfileStringA("SLIDES", "Count", "7", second.c_str()));
    EXPECT_NE(ReadBytes(second).find("Count=7\r\n"), std::string::npos) << "straight to the disk";
    ASSERT_TRUE(WritePrivateProfileStringA("SLIDES", "Count", "8", first.c_str()));
    EXPECT_EQ(ReadBytes(first), kShow) << "still gathered by the first batch";
    EXPECT_TRUE(gathering.Commit());
    EXPECT_NE(ReadBytes(first).find("Count=8\r\n"), std::string::npos);
}

}  // namespace
#endif
