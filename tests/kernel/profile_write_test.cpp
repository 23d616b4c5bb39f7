// Writing values with the private profile functions: edits in place that
// keep every other byte, and an atomic replacement of the file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "kernel/scratch_folder.h"
#include "platform/win32.h"

namespace {

using tarn::test::ReadBytes;
using tarn::test::ScratchFolder;
using tarn::test::WriteBytes;

const std::string kSample =
    "; written by hand\r\n"
    "[OPTIONS]\r\n"
    "AdvanceMethod=6\r\n"
    "  ; keep this comment\r\n"
    "BackgroundSound=\r\n"
    "ShowSplash=0\r\n"
    "\r\n"
    "[SLIDES]\r\n"
    "Count=2\r\n"
    "Image1000=P1000.jpg\r\n"
    "Image1001=P1001.jpg\r\n";

class ProfileWrite : public ::testing::Test {
protected:
    BOOL Write(const char* section, const char* key, const char* value) {
        return WritePrivateProfileStringA(section, key, value, file.c_str());
    }
    std::string Value(const char* section, const char* key) {
        char buffer[260];
        GetPrivateProfileStringA(section, key, "<absent>", buffer, sizeof buffer, file.c_str());
        return buffer;
    }
    // What every write must keep: the entries it did not name, and comments.
    void ExpectSampleKept(const std::string& except = "") {
        if (except != "AdvanceMethod") {
            EXPECT_EQ(Value("OPTIONS", "AdvanceMethod"), "6");
        }
        if (except != "ShowSplash") {
            EXPECT_EQ(Value("OPTIONS", "ShowSplash"), "0");
        }
        EXPECT_EQ(Value("OPTIONS", "BackgroundSound"), "");
        EXPECT_EQ(Value("SLIDES", "Count"), "2");
        if (except != "Image1000") {
            EXPECT_EQ(Value("SLIDES", "Image1000"), "P1000.jpg");
        }
        EXPECT_EQ(Value("SLIDES", "Image1001"), "P1001.jpg");
        const std::string text = ReadBytes(file);
        EXPECT_EQ(text.rfind("; written by hand\r\n", 0), 0u);
        EXPECT_NE(text.find("; keep this comment\r\n"), std::string::npos);
    }

    ScratchFolder folder;
    std::string file = folder / "show.ini";
};

TEST_F(ProfileWrite, ReplacingAValueKeepsEveryOtherLineByteForByte) {
    WriteBytes(file, kSample);
    ASSERT_TRUE(Write("slides", "IMAGE1000", "/tmp/KTZ1.tmp.P1000.jpg"));
    std::string expected = kSample;
    expected.replace(expected.find("Image1000=P1000.jpg"), 19, "Image1000=/tmp/KTZ1.tmp.P1000.jpg");
#ifndef _WIN32
    EXPECT_EQ(ReadBytes(file), expected);
#endif
    EXPECT_EQ(Value("SLIDES", "Image1000"), "/tmp/KTZ1.tmp.P1000.jpg");
    ExpectSampleKept("Image1000");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"show.ini"});
}

TEST_F(ProfileWrite, NewKeyGoesAfterTheLastEntryOfItsSection) {
    WriteBytes(file, kSample);
    ASSERT_TRUE(Write("OPTIONS", "TempFileDecorator", "/tmp/KTZ1.tmp"));
    std::string expected = kSample;
    expected.insert(expected.find("\r\n\r\n[SLIDES]") + 2, "TempFileDecorator=/tmp/KTZ1.tmp\r\n");
#ifndef _WIN32
    EXPECT_EQ(ReadBytes(file), expected);
#endif
    EXPECT_EQ(Value("SLIDES", "TempFileDecorator"), "<absent>");
    ExpectSampleKept();

    char buffer[64];
    GetPrivateProfileStringA("OPTIONS", "TempFileDecorator", "0", buffer, sizeof buffer, file.c_str());
    EXPECT_STREQ(buffer, "/tmp/KTZ1.tmp");
}

TEST_F(ProfileWrite, NewSectionGoesAtTheEndSetOffByABlankLine) {
    WriteBytes(file, kSample);
    ASSERT_TRUE(Write("EXTRA", "Key", "v"));
#ifndef _WIN32
    EXPECT_EQ(ReadBytes(file), kSample + "\r\n[EXTRA]\r\nKey=v\r\n");
#endif
    EXPECT_EQ(Value("EXTRA", "Key"), "v");
    EXPECT_EQ(Value("SLIDES", "Key"), "<absent>");
    ExpectSampleKept();
}

TEST_F(ProfileWrite, LfFileStaysLfAndAnUnendedLastLineIsEnded) {
    WriteBytes(file, "[A]\nx=1");
    ASSERT_TRUE(Write("A", "y", "2"));
#ifndef _WIN32
    EXPECT_EQ(ReadBytes(file), "[A]\nx=1\ny=2\n");
#endif
    ASSERT_TRUE(Write("B", "z", "3"));
#ifndef _WIN32
    EXPECT_EQ(ReadBytes(file), "[A]\nx=1\ny=2\n\n[B]\nz=3\n");
#endif
    EXPECT_EQ(Value("A", "x"), "1");
    EXPECT_EQ(Value("A", "y"), "2");
    EXPECT_EQ(Value("B", "z"), "3");
}

TEST_F(ProfileWrite, MissingFileIsCreatedWithCrLfLines) {
    ASSERT_TRUE(Write("OPTIONS", "TempFileDecorator", "/tmp/KTZ9.tmp"));
    ASSERT_TRUE(Write("SLIDES", "Count", "1"));
    ASSERT_TRUE(Write("OPTIONS", "CLEAN", "0"));
#ifndef _WIN32
    EXPECT_EQ(ReadBytes(file),
              "[OPTIONS]\r\nTempFileDecorator=/tmp/KTZ9.tmp\r\nCLEAN=0\r\n\r\n[SLIDES]\r\nCount=1\r\n");
#endif
    // Windows sets no blank line between the sections.
    const std::string text = ReadBytes(file);
    EXPECT_EQ(text.rfind("[OPTIONS]\r\nTempFileDecorator=/tmp/KTZ9.tmp\r\nCLEAN=0\r\n", 0), 0u) << text;
    EXPECT_EQ(text.substr(text.size() - 19), "[SLIDES]\r\nCount=1\r\n");
}

TEST_F(ProfileWrite, IndentedEntryKeepsItsIndentAndSpelling) {
    WriteBytes(file, "[A]\r\n  MyKey = old \r\n");
    ASSERT_TRUE(Write("a", "mykey", "new"));
#ifndef _WIN32
    EXPECT_EQ(ReadBytes(file), "[A]\r\n  MyKey=new\r\n");
#else
    // Windows drops the indent; the spelling stays.
    EXPECT_EQ(ReadBytes(file), "[A]\r\nMyKey=new\r\n");
#endif
}

TEST_F(ProfileWrite, NullValueRemovesTheKeyOnly) {
    WriteBytes(file, kSample);
    ASSERT_TRUE(Write("OPTIONS", "ShowSplash", nullptr));
    std::string expected = kSample;
    expected.erase(expected.find("ShowSplash=0\r\n"), 14);
#ifndef _WIN32
    EXPECT_EQ(ReadBytes(file), expected);
#endif
    const std::string written = ReadBytes(file);
    ASSERT_TRUE(Write("OPTIONS", "Absent", nullptr));
    EXPECT_EQ(ReadBytes(file), written);
    EXPECT_EQ(Value("OPTIONS", "ShowSplash"), "<absent>");
    ExpectSampleKept("ShowSplash");
}

#ifndef _WIN32
// Windows' writer takes such text as it is (and a null key deletes the
// section): on Windows the names the rewrite writes are checked before,
// with the package's directory.
TEST_F(ProfileWrite, TextThatWouldAddLinesIsRefusedAndTheFileUntouched) {
    WriteBytes(file, kSample);
    EXPECT_FALSE(Write("OPTIONS", "Image1000", "x\r\nCLEAN=1"));
    EXPECT_FALSE(Write("OPTIONS", "Image1000", "x\nCLEAN=1"));
    EXPECT_FALSE(Write("OPTIONS", "A=B", "x"));
    EXPECT_FALSE(Write("OPTIONS", "[X]", "x"));
    EXPECT_FALSE(Write("OPTIONS", ";x", "x"));
    EXPECT_FALSE(Write("OPTIONS", "  ", "x"));
    EXPECT_FALSE(Write("OPT]IONS", "k", "x"));
    EXPECT_FALSE(Write("OPT\nIONS", "k", "x"));
    EXPECT_FALSE(Write(nullptr, "k", "x"));
    EXPECT_FALSE(Write("OPTIONS", nullptr, "x"));
    EXPECT_FALSE(WritePrivateProfileStringA("OPTIONS", "k", "x", nullptr));
    EXPECT_EQ(ReadBytes(file), kSample);
}
#endif

#ifndef _WIN32
// How the file is replaced, its mode bits and links: Linux matters only.
TEST_F(ProfileWrite, ReplacementIsAtomicAndLeavesNoOtherFile) {
    WriteBytes(file, kSample);
    // A reader that opened the file before the write still sees the whole
    // old text: the new text went to a new file that took the name.
    const int before = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(before, 0);
    ASSERT_TRUE(Write("SLIDES", "Count", "3"));
    std::string old(kSample.size() + 16, '\0');
    const ssize_t n = ::pread(before, old.data(), old.size(), 0);
    ::close(before);
    ASSERT_GE(n, 0);
    old.resize(static_cast<size_t>(n));
    EXPECT_EQ(old, kSample);
    EXPECT_NE(ReadBytes(file).find("Count=3\r\n"), std::string::npos);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"show.ini"});
}

TEST_F(ProfileWrite, PermissionsAreKept) {
    WriteBytes(file, kSample);
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE(Write("SLIDES", "Count", "3"));
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(ProfileWrite, SymbolicLinkIsWrittenThroughAndStaysALink) {
    const std::string real = folder / "real.ini";
    WriteBytes(real, kSample);
    ASSERT_EQ(::symlink(real.c_str(), file.c_str()), 0);
    ASSERT_TRUE(Write("SLIDES", "Count", "5"));
    EXPECT_TRUE(std::filesystem::is_symlink(file));
    EXPECT_NE(ReadBytes(real).find("Count=5\r\n"), std::string::npos);
}

#endif

TEST_F(ProfileWrite, ExistingButUnreadableFileIsNeverReplaced) {
    std::filesystem::create_directory(file);
    EXPECT_FALSE(Write("A", "k", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(file));
}

TEST_F(ProfileWrite, FolderThatDoesNotExistFails) {
    EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", (folder / "no/such.ini").c_str()));
}

}  // namespace
