// The show record's readers and the number rule.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <utility>
#include <string>

#include "kernel/scratch_folder.h"
#include "platform/win32.h"
#include "show/sample_show.h"
#include "show/show_record.h"

namespace {

using tarn::test::SampleShowDescription;
using tarn::test::ScratchFolder;
using tarn::test::WriteBytes;

TEST(ParseShowNumber, ReadsLeadingDecimalDigits) {
    EXPECT_EQ(ParseShowNumber("6000"), 6000);
    EXPECT_EQ(ParseShowNumber(" 12"), 12);
    EXPECT_EQ(ParseShowNumber("\t\n\v\f\r 12"), 12);
    EXPECT_EQ(ParseShowNumber("6000ms"), 6000);
    EXPECT_EQ(ParseShowNumber("0x20"), 0);
    EXPECT_EQ(ParseShowNumber("-5"), -5);
    EXPECT_EQ(ParseShowNumber("+7"), 7);
    EXPECT_EQ(ParseShowNumber("0,0,0"), 0);
    EXPECT_EQ(ParseShowNumber(""), 0);
    EXPECT_EQ(ParseShowNumber("yes"), 0);
    EXPECT_EQ(ParseShowNumber("- 5"), 0);
    EXPECT_EQ(ParseShowNumber("--5"), 0);
}

TEST(ParseShowNumber, WrapsToTheLowThirtyTwoBits) {
    // 123456789012 = 28 * 2^32 + 3197704724, and 3197704724 - 2^32 = -1097262572.
    EXPECT_EQ(ParseShowNumber("123456789012"), -1097262572);
    EXPECT_EQ(ParseShowNumber("-123456789012"), 1097262572);
    EXPECT_EQ(ParseShowNumber("2147483647"), INT32_MAX);
    EXPECT_EQ(ParseShowNumber("2147483648"), INT32_MIN);
    EXPECT_EQ(ParseShowNumber("4294967296"), 0);
}

class ShowRecordRead : public ::testing::Test {
protected:
    void SetUp() override {
        LoadDefaultPaths();
        std::snprintf(g_Show.ShowDescriptionPath, sizeof g_Show.ShowDescriptionPath, "%s",
                      file.c_str());
    }

    void Write(const std::string& text) { WriteBytes(file, text); }
    // A relative name of the description, as the readers give it.
    std::string InFolder(const std::string& name) { return folder / name; }

    ScratchFolder folder;
    std::string file = folder / "show.ini";
};

TEST_F(ShowRecordRead, SampleShowDescription) {
    Write(SampleShowDescription());
    EXPECT_EQ(ReadShowSettings(), 1);
    EXPECT_EQ(g_Show.AdvanceMethod, 6);
    EXPECT_EQ(g_Show.AdvanceMethod, ADVANCE_TIMED | ADVANCE_WAIT_FOR_SOUND);
    EXPECT_EQ(g_Show.ViewOptions, 8);
    EXPECT_EQ(g_Show.SoundOptions, SOUND_LOOP_BACKGROUND);
    EXPECT_EQ(g_Show.DelayBetweenSlidesInMilliseconds, 6000);
    EXPECT_EQ(g_Show.ShowSplash, 0);
    EXPECT_EQ(g_Show.Count, 8);
    EXPECT_STREQ(g_Show.TempFileDecorator, "0");
    EXPECT_EQ(g_Show.FillColour, 0u);
    EXPECT_STREQ(ReadBackgroundSound(), "");
}

TEST_F(ShowRecordRead, ShowSplashIsStoredAsZeroOrOne) {
    for (const auto& [text, stored] : {std::pair{"5", 1}, {"-1", 1}, {"yes", 0}, {"0", 0}, {"1", 1}}) {
        Write(std::string("[OPTIONS]\r\nShowSplash=") + text + "\r\n");
        ReadShowSettings();
        EXPECT_EQ(g_Show.ShowSplash, stored) << text;
    }
}

TEST_F(ShowRecordRead, NumbersAreStoredAsReadWithoutLimits) {
    Write("[OPTIONS]\r\nDelayBetweenSlidesInMilliseconds=6000ms\r\nAdvanceMethod=0x20\r\n"
          "SoundOptions= 12\r\n[SLIDES]\r\nCount=-3\r\n");
    ReadShowSettings();
    EXPECT_EQ(g_Show.DelayBetweenSlidesInMilliseconds, 6000);
    EXPECT_EQ(g_Show.AdvanceMethod, 0);
    EXPECT_EQ(g_Show.SoundOptions, 12);
    EXPECT_EQ(g_Show.Count, -3);

    Write("[SLIDES]\r\nCount=0\r\n");
    g_Show.Count = 99;
    ReadShowSettings();
    EXPECT_EQ(g_Show.Count, 0);

    Write("[SLIDES]\r\n");
    g_Show.Count = 99;
    ReadShowSettings();
    EXPECT_EQ(g_Show.Count, 0);
}

TEST_F(ShowRecordRead, MissingShowDescriptionReadsAsAllKeysAbsent) {
    g_Show.AdvanceMethod = 5;
    g_Show.Count = 5;
    ReadShowSettings();
    EXPECT_EQ(g_Show.AdvanceMethod, 0);
    EXPECT_EQ(g_Show.Count, 0);
    EXPECT_STREQ(g_Show.TempFileDecorator, "0");
    EXPECT_STREQ(ReadImageName(), "0");
    EXPECT_STREQ(ReadSoundName(), "0");
    EXPECT_STREQ(ReadBackgroundSound(), "");
}

TEST_F(ShowRecordRead, SlideKeysAreNumberedFromOneThousand) {
    Write(SampleShowDescription() + "Image7=wrong\r\nImage0=wrong\r\n");
    g_Show.CurrentSlide = 0;
    EXPECT_STREQ(ReadImageName(), InFolder("P1000.jpg").c_str());
    g_Show.CurrentSlide = 7;
    EXPECT_STREQ(ReadImageName(), InFolder("P1007.jpg").c_str());
    g_Show.CurrentSlide = 8;
    EXPECT_STREQ(ReadImageName(), "0");
    // The key number wraps like 32-bit arithmetic.
    Write("[SLIDES]\r\nImage-2147482649=wrapped\r\n");
    g_Show.CurrentSlide = INT32_MAX;
    EXPECT_STREQ(ReadImageName(), InFolder("wrapped").c_str());
}

TEST_F(ShowRecordRead, EmptySoundKeyIsEmptyAndAnAbsentOneIsZero) {
    Write(SampleShowDescription());
    g_Show.CurrentSlide = 0;
    EXPECT_STREQ(ReadSoundName(), "");
    g_Show.CurrentSlide = 7;
    EXPECT_STREQ(ReadSoundName(), "0");
}

TEST_F(ShowRecordRead, EachReaderHasOneAreaThatTheNextCallOverwrites) {
    Write(SampleShowDescription() + "Sound1007=chime.wav\r\n");
    g_Show.CurrentSlide = 0;
    const char* first = ReadImageName();
    const char* sound = ReadSoundName();
    g_Show.CurrentSlide = 7;
    const char* second = ReadImageName();
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, ImageNameBuffer);
    EXPECT_STREQ(first, InFolder("P1007.jpg").c_str());
    // The sound area is a different one: it still holds slide 0's sound.
    EXPECT_EQ(sound, SoundNameBuffer);
    EXPECT_NE(static_cast<const void*>(sound), static_cast<const void*>(first));
    EXPECT_STREQ(sound, "");
    EXPECT_STREQ(ReadSoundName(), InFolder("chime.wav").c_str());
    EXPECT_STREQ(first, InFolder("P1007.jpg").c_str());
}

TEST_F(ShowRecordRead, NamesAreReadFromTheFileEveryTime) {
    Write(SampleShowDescription());
    g_Show.CurrentSlide = 2;
    EXPECT_STREQ(ReadImageName(), InFolder("P1002.jpg").c_str());
    Write("[SLIDES]\r\nImage1002=changed.jpg\r\n");
    EXPECT_STREQ(ReadImageName(), InFolder("changed.jpg").c_str());
}

TEST_F(ShowRecordRead, LookAheadLeavesCurrentSlideAndAreasAlone) {
    Write(SampleShowDescription());
    g_Show.CurrentSlide = 0;
    ReadImageName();
    char next[SHOW_PATH_BYTES];
    ReadImageNameAt(3, next, sizeof next);
    EXPECT_STREQ(next, InFolder("P1003.jpg").c_str());
    EXPECT_EQ(g_Show.CurrentSlide, 0);
    EXPECT_STREQ(ImageNameBuffer, InFolder("P1000.jpg").c_str());
}

TEST_F(ShowRecordRead, BackgroundSoundIsReadIntoTheRecord) {
    Write("[OPTIONS]\r\nBackgroundSound=/tmp/KTZ1.tmp.tune.mp3\r\n");
    EXPECT_EQ(ReadBackgroundSound(), g_Show.BackgroundSound);
    EXPECT_STREQ(g_Show.BackgroundSound, "/tmp/KTZ1.tmp.tune.mp3");
}

TEST_F(ShowRecordRead, RelativeNamesAreInTheDescriptionsFolder) {
    Write("[OPTIONS]\r\nBackgroundSound=music/tune.ogg\r\n[SLIDES]\r\n"
          "Image1000=a.jpg\r\nSound1000=sounds/a.wav\r\n"
          "Image1001=/srv/show/b.jpg\r\nSound1001=\\\\server\\b.wav\r\n"
          "Image1002=C:\\show\\c.jpg\r\nSound1002=0\r\n");
    EXPECT_STREQ(ReadBackgroundSound(), InFolder("music/tune.ogg").c_str());
    g_Show.CurrentSlide = 0;
    EXPECT_STREQ(ReadImageName(), InFolder("a.jpg").c_str());
    EXPECT_STREQ(ReadSoundName(), InFolder("sounds/a.wav").c_str());
    // Names from the root, of a share or with a drive stay as written; so
    // does the "0" of an absent key.
    g_Show.CurrentSlide = 1;
    EXPECT_STREQ(ReadImageName(), "/srv/show/b.jpg");
    EXPECT_STREQ(ReadSoundName(), "\\\\server\\b.wav");
    g_Show.CurrentSlide = 2;
    EXPECT_STREQ(ReadImageName(), "C:\\show\\c.jpg");
    EXPECT_STREQ(ReadSoundName(), "0");
    g_Show.CurrentSlide = 3;
    EXPECT_STREQ(ReadImageName(), "0");
}

TEST_F(ShowRecordRead, ARelativeNameThatDoesNotFitWithItsFolderIsDropped) {
    const std::string room(SHOW_PATH_BYTES - 1 - InFolder("").size(), 'n');
    Write("[SLIDES]\r\nImage1000=" + room + "\r\nImage1001=" + room + "n\r\n");
    g_Show.CurrentSlide = 0;
    EXPECT_EQ(std::string(ReadImageName()), InFolder(room));
    g_Show.CurrentSlide = 1;
    EXPECT_STREQ(ReadImageName(), "");
    char small[16];
    ReadImageNameAt(0, small, sizeof small);
    EXPECT_STREQ(small, "");
}

TEST_F(ShowRecordRead, ADescriptionNamedWithoutAFolderKeepsItsNames) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows reads a profile named without a folder from the Windows folder";
#endif
    // Named from the current folder, the description's folder is that one.
    Write("[SLIDES]\r\nImage1000=a.jpg\r\n");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder / "");
    std::snprintf(g_Show.ShowDescriptionPath, sizeof g_Show.ShowDescriptionPath, "show.ini");
    const std::string name = ReadImageName();
    std::filesystem::current_path(before);
    EXPECT_EQ(name, "a.jpg");
}

TEST_F(ShowRecordRead, DecoratorLongerThanAPathIsRefusedNotCut) {
    const std::string longest = "/" + std::string(MAX_PATH - 2, 'k');  // 259 characters
    Write("[OPTIONS]\r\nTempFileDecorator=" + longest + "\r\n");
    ReadShowSettings();
    EXPECT_EQ(std::string(g_Show.TempFileDecorator), longest);

    Write("[OPTIONS]\r\nTempFileDecorator=" + longest + "x\r\n");
    ReadShowSettings();
    EXPECT_STREQ(g_Show.TempFileDecorator, "");
}

TEST(LoadDefaultPaths, UsesTheExecutablesFolderAndResetsTheRecord) {
    g_Show.Count = 4;
    g_Show.CurrentSlide = 3;
    g_Show.DelayBetweenSlidesInMilliseconds = 10;
    g_Show.FillColour = 0xFFFFFF;
    std::snprintf(g_Show.BackgroundSound, sizeof g_Show.BackgroundSound, "old");
    LoadDefaultPaths();

    char executable[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, executable, sizeof executable), 0u);
    std::string folder(executable);
    folder.resize(folder.find_last_of("/\\"));  // either separator
    EXPECT_EQ(std::string(g_Show.PlayerPath), folder + "/TarnPlayer.exe");
    EXPECT_EQ(std::string(g_Show.ShowDescriptionPath), folder + "/TarnPlayer.ini");
    EXPECT_EQ(g_Show.Count, 0);
    EXPECT_EQ(g_Show.CurrentSlide, 0);
    EXPECT_EQ(g_Show.DelayBetweenSlidesInMilliseconds, 0);
    EXPECT_EQ(g_Show.FillColour, 0u);
    EXPECT_STREQ(g_Show.BackgroundSound, "");
}

}  // namespace
