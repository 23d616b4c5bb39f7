// Reading values with the private profile functions.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "kernel/scratch_folder.h"
#include "platform/win32.h"

namespace {

using tarn::test::ScratchFolder;
using tarn::test::WriteBytes;

class ProfileRead : public ::testing::Test {
protected:
    std::string Read(const char* section, const char* key, const char* fallback = "dflt",
                     DWORD size = 260) {
        char buffer[600];
        std::memset(buffer, '#', sizeof buffer);
        lastCount = GetPrivateProfileStringA(section, key, fallback, buffer, size, file.c_str());
        return std::string(buffer);
    }

    ScratchFolder folder;
    std::string file = folder / "show.ini";
    DWORD lastCount = 0;
};

TEST_F(ProfileRead, NamesMatchWithoutRegardToCase) {
    WriteBytes(file, "[Options]\r\nAdvanceMethod=6\r\n[slides]\r\nCOUNT=8\r\n");
    EXPECT_EQ(Read("OPTIONS", "advancemethod"), "6");
    EXPECT_EQ(Read("options", "ADVANCEMETHOD"), "6");
    EXPECT_EQ(Read("SLIDES", "Count"), "8");
    // A key belongs to its own section only.
    EXPECT_EQ(Read("SLIDES", "AdvanceMethod"), "dflt");
}

TEST_F(ProfileRead, AbsentKeyOrSectionGivesTheDefaultAndEmptyValueGivesEmpty) {
    WriteBytes(file, "[SLIDES]\r\nSound1000=\r\nImage1000=P1000.jpg\r\n");
    EXPECT_EQ(Read("SLIDES", "Sound1000", "0"), "");
    EXPECT_EQ(lastCount, 0u);
    EXPECT_EQ(Read("SLIDES", "Sound1001", "0"), "0");
    EXPECT_EQ(lastCount, 1u);
    EXPECT_EQ(Read("OPTIONS", "Image1000", "0"), "0");
    EXPECT_EQ(Read("SLIDES", "Image1000", "0"), "P1000.jpg");
    EXPECT_EQ(lastCount, 9u);
}

TEST_F(ProfileRead, BlanksAroundNamesAndValuesAreIgnoredAndQuotesRemoved) {
    WriteBytes(file,
               "  [ OPTIONS ]  \r\n"
               "\tBackgroundSound =  \"C:\\a b.wav\"  \r\n"
               "  Delay\t=\t 6000 \r\n"
               "Single='x y'\r\n"
               "Unbalanced=\"open\r\n");
    EXPECT_EQ(Read("OPTIONS", "BackgroundSound"), "C:\\a b.wav");
    EXPECT_EQ(Read("OPTIONS", "Delay"), "6000");
    EXPECT_EQ(Read("OPTIONS", "Single"), "x y");
    EXPECT_EQ(Read("OPTIONS", "Unbalanced"), "\"open");
}

TEST_F(ProfileRead, CommentsAreNotEntries) {
    WriteBytes(file, "[OPTIONS]\r\n;ShowSplash=1\r\n  ; Delay=5\r\nKey=value ; not a comment\r\n");
    EXPECT_EQ(Read("OPTIONS", "ShowSplash"), "dflt");
#ifndef _WIN32
    // Windows finds a comment line by its whole text; nothing asks for one.
    EXPECT_EQ(Read("OPTIONS", ";ShowSplash"), "dflt");
#endif
    EXPECT_EQ(Read("OPTIONS", "Delay"), "dflt");
    EXPECT_EQ(Read("OPTIONS", "Key"), "value ; not a comment");
}

TEST_F(ProfileRead, LongValueIsCutToTheBufferLessOne) {
    const std::string value(300, 'v');
    WriteBytes(file, "[SLIDES]\r\nImage1000=" + value + "\r\n");
    EXPECT_EQ(Read("SLIDES", "Image1000", "0", 260), std::string(259, 'v'));
    EXPECT_EQ(lastCount, 259u);
    EXPECT_EQ(Read("SLIDES", "Image1000", "0", 512), value);
    EXPECT_EQ(lastCount, 300u);
    EXPECT_EQ(Read("SLIDES", "Image1000", "0", 1), "");
    EXPECT_EQ(lastCount, 0u);
    // So is a long default.
    EXPECT_EQ(Read("SLIDES", "Absent", value.c_str(), 4), "vvv");
    EXPECT_EQ(lastCount, 3u);
}

TEST_F(ProfileRead, MissingOrUnreadableFileReadsAsEmpty) {
    EXPECT_EQ(Read("OPTIONS", "AdvanceMethod", "0"), "0");
    std::filesystem::create_directory(file);  // a folder where the file should be
    EXPECT_EQ(Read("OPTIONS", "AdvanceMethod", "0"), "0");
}

TEST_F(ProfileRead, NullDefaultOrBufferGiveNothing) {
    WriteBytes(file, "[OPTIONS]\r\nA=1\r\n");
    char buffer[16] = "unchanged";
    EXPECT_EQ(GetPrivateProfileStringA("OPTIONS", "B", nullptr, buffer, sizeof buffer, file.c_str()),
              0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(GetPrivateProfileStringA("OPTIONS", "A", "d", nullptr, 16, file.c_str()), 0u);
}

#ifndef _WIN32
// Windows lists the names of all sections or keys for a null name, and
// reads win.ini for a null file; the player always names all three.
TEST_F(ProfileRead, NullNamesOrFileGiveTheDefault) {
    WriteBytes(file, "[OPTIONS]\r\nA=1\r\n");
    char buffer[16] = "unchanged";
    EXPECT_EQ(GetPrivateProfileStringA(nullptr, "A", "d", buffer, sizeof buffer, file.c_str()), 1u);
    EXPECT_STREQ(buffer, "d");
    EXPECT_EQ(GetPrivateProfileStringA("OPTIONS", nullptr, "d", buffer, sizeof buffer, file.c_str()),
              1u);
    EXPECT_EQ(GetPrivateProfileStringA("OPTIONS", "A", "d", buffer, sizeof buffer, nullptr), 1u);
    EXPECT_STREQ(buffer, "d");
    EXPECT_EQ(GetPrivateProfileIntA(nullptr, "A", 7, file.c_str()), 7u);
}
#endif

TEST_F(ProfileRead, FirstEntryWinsAndLaterSectionsOfTheSameNameCount) {
    WriteBytes(file, "[A]\nk=first\nk=second\n[B]\nx=1\n[a]\nlate=yes\n");
    EXPECT_EQ(Read("A", "k"), "first");
    EXPECT_EQ(Read("B", "x"), "1");
#ifndef _WIN32
    // Windows looks in the first section of a name only.
    EXPECT_EQ(Read("A", "late"), "yes");
#endif
}

TEST_F(ProfileRead, LfLinesByteOrderMarkAndUnendedLastLine) {
    WriteBytes(file, "\xEF\xBB\xBF[OPTIONS]\nDelay=5\nLast=end");
    EXPECT_EQ(Read("OPTIONS", "Delay"), "5");
    EXPECT_EQ(Read("OPTIONS", "Last"), "end");
}

TEST_F(ProfileRead, IntegerReaderReadsNumbersAsWindowsDoes) {
    WriteBytes(file,
               "[OPTIONS]\r\nCLEAN=0\r\nNeg=-5\r\nLead=  12abc\r\nWord=yes\r\nEmpty=\r\n"
               "Hex=0x20\r\nHuge=123456789012\r\nPlus=+7\r\nHexDigits=0xfF\r\nCapitalX=0X1F\r\nNegHex=-0x10\r\n"
               "Octal=0o17\r\nBinary=0b101\r\nBareX=0x\r\nHexZero=0x0\r\nNine=09\r\n");
    EXPECT_EQ(GetPrivateProfileIntA("OPTIONS", "CLEAN", 1, file.c_str()), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("OPTIONS", "Absent", 1, file.c_str()), 1u);
    EXPECT_EQ(static_cast<INT>(GetPrivateProfileIntA("OPTIONS", "Neg", 1, file.c_str())), -5);
    EXPECT_EQ(GetPrivateProfileIntA("OPTIONS", "Lead", 1, file.c_str()), 12u);
    EXPECT_EQ(GetPrivateProfileIntA("OPTIONS", "Word", 1, file.c_str()), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("OPTIONS", "Empty", 9, file.c_str()), 9u);
    // A leading 0x, 0o or 0b chooses the base: CLEAN=0x1 deletes the files.
    EXPECT_EQ(GetPrivateProfileIntA("OPTIONS", "Hex", 1, file.c_str()), 32u);
    EXPECT_EQ(GetPrivateProfileIntA("OPTIONS", "HexDigits", 1, file.c_str()), 255u);
    EXPECT_EQ(GetPrivateProfileIntA("OPTIONS", "CapitalX", 1, file.c_str()), 0u) << "no prefix";
    EXPECT_EQ(static_cast<INT>(GetPrivateProfileIntA("OPTIONS", "NegHex", 1, file.c_str())), -16);
    EXPECT_EQ(GetPrivateProfileIntA("OPTIONS", "Octal", 1, file.c_str()), 15u);
    EXPECT_EQ(GetPrivateProfileIntA("OPTIONS", "Binary", 1, file.c_str()), 5u);
    EXPECT_EQ(GetPrivateProfileIntA("OPTIONS", "BareX", 1, file.c_str()), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("OPTIONS", "HexZero", 1, file.c_str()), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("OPTIONS", "Nine", 1, file.c_str()), 9u) << "a leading 0 is no octal";
    // 123456789012 = 28 * 2^32 + 3197704724.
    EXPECT_EQ(GetPrivateProfileIntA("OPTIONS", "Huge", 1, file.c_str()), 3197704724u);
    EXPECT_EQ(GetPrivateProfileIntA("OPTIONS", "Plus", 1, file.c_str()), 7u);
    EXPECT_EQ(GetPrivateProfileIntA("OPTIONS", "CLEAN", 1, (folder / "none.ini").c_str()), 1u);
}

}  // namespace
