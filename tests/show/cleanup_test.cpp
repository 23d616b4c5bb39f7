// Clean-up of a show's files: everything extraction made goes, in order,
// and nothing else is ever deleted.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "kernel/scratch_folder.h"
#include "platform/win32.h"
#include "show/cleanup.h"
#include "show/sample_show.h"
#include "show/show_record.h"

namespace {

using tarn::test::Exists;
using tarn::test::ReadBytes;
using tarn::test::SampleShowDescription;
using tarn::test::ScratchFolder;
using tarn::test::WriteBytes;

// An extracted show in a private temporary folder: the decorator, the player
// copy, the show description and its files, named as extraction names them,
// plus a person's own files beside them.
class CleanUp : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
        char name[MAX_PATH];
        ASSERT_NE(GetTempFileNameA(temp, "KTZ", 0, name), 0u);
        decorator = name;
        showDescription = Extracted("stub.ini");
        WriteBytes(Extracted("stub.exe"), "player");
        for (int i = 0; i < 8; ++i) WriteBytes(Image(i), "jpeg");
        std::filesystem::create_directory(folder / "home");
        WriteBytes(ownFile, "a person's own picture");
    }

    std::string Extracted(const std::string& entry) const { return decorator + "." + entry; }
    std::string Image(int i) const { return Extracted("P100" + std::to_string(i) + ".jpg"); }

    // The sample as the rewrite leaves it, with `background` as its
    // background sound and `extraOptions` added to OPTIONS.
    std::string Rewritten(const std::string& extraOptions = "",
                          const std::string& background = "") const {
        std::string text = SampleShowDescription();
        text.replace(text.find("BackgroundSound=\r\n"), 18, "BackgroundSound=" + background + "\r\n");
        for (int i = 0; i < 8; ++i) {
            const std::string bare = "P100" + std::to_string(i) + ".jpg";
            text.replace(text.find("=" + bare), bare.size() + 1, "=" + Image(i));
        }
        text.insert(text.find("\r\n\r\n[SLIDES]") + 2,
                    "TempFileDecorator=" + decorator + "\r\n" + extraOptions);
        return text;
    }

    // Starts the show on `text` as the player does, then closes it.
    void PlayAndClose(const std::string& text, const std::string& path = "") {
        const std::string file = path.empty() ? showDescription : path;
        WriteBytes(file, text);
        LoadDefaultPaths();
        std::snprintf(g_Show.ShowDescriptionPath, sizeof g_Show.ShowDescriptionPath, "%s",
                      file.c_str());
        ReadShowSettings();
        ReadBackgroundSound();
        EXPECT_EQ(CleanUpShowFiles(), 1);
    }

    std::vector<std::string> Left() const { return folder.Names(); }
    std::string Base(const std::string& path) const { return path.substr(path.find_last_of("/\\") + 1); }

    ScratchFolder folder;
    std::string decorator;
    std::string showDescription;
    std::string ownFile = folder / "home/own.jpg";
};

TEST_F(CleanUp, SampleShowLeavesOnlyThePlayerCopy) {
    PlayAndClose(Rewritten());
    EXPECT_EQ(Left(), (std::vector<std::string>{Base(Extracted("stub.exe")), "home"}));
    EXPECT_TRUE(Exists(ownFile));
    EXPECT_EQ(g_Show.CurrentSlide, 7);
}

TEST_F(CleanUp, CleanZeroKeepsSlidesButDeletesTheRest) {
    const std::string tune = Extracted("tune.mp3");
    const std::string chime = Extracted("chime.wav");
    WriteBytes(tune, "mp3");
    WriteBytes(chime, "wav");
    std::string text = Rewritten("CLEAN=0\r\n", tune);
    text.replace(text.find("Sound1003=\r\n"), 12, "Sound1003=" + chime + "\r\n");
    g_Show.CurrentSlide = 0;
    PlayAndClose(text);
    EXPECT_FALSE(Exists(decorator));
    EXPECT_FALSE(Exists(tune));
    EXPECT_FALSE(Exists(showDescription));
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(Exists(Image(i))) << i;
    EXPECT_TRUE(Exists(chime));
    EXPECT_EQ(g_Show.CurrentSlide, 0);
}

TEST_F(CleanUp, SlideSoundsThatAreNamedAreDeleted) {
    const std::string chime = Extracted("chime.wav");
    WriteBytes(chime, "wav");
    std::string text = Rewritten();
    text.replace(text.find("Sound1003=\r\n"), 12, "Sound1003=" + chime + "\r\n");
    PlayAndClose(text);
    EXPECT_FALSE(Exists(chime));
}

TEST_F(CleanUp, NoSlidesTouchedForACountOfZeroOrBelow) {
    for (const char* count : {"Count=0", "Count=-2"}) {
        SetUp();
        const std::string tune = Extracted("tune.mp3");
        WriteBytes(tune, "mp3");
        std::string text = Rewritten("", tune);
        text.replace(text.find("Count=8"), 7, count);
        PlayAndClose(text);
        EXPECT_FALSE(Exists(decorator)) << count;
        EXPECT_FALSE(Exists(tune)) << count;
        EXPECT_FALSE(Exists(showDescription)) << count;
        for (int i = 0; i < 8; ++i) EXPECT_TRUE(Exists(Image(i))) << count << " " << i;
    }
}

TEST_F(CleanUp, HandWrittenShowDescriptionDeletesNothing) {
    // A person's show: their own pictures and description, no decorator.
    const std::string own = folder / "home/show.ini";
    WriteBytes(folder / "home/P1000.jpg", "mine");
    std::string text = SampleShowDescription();
    text.replace(text.find("Image1000=P1000.jpg"), 19, "Image1000=" + folder / "home/P1000.jpg");
    text.replace(text.find("BackgroundSound="), 16, "BackgroundSound=" + ownFile);
    PlayAndClose(text, own);
    EXPECT_TRUE(Exists(own));
    EXPECT_TRUE(Exists(folder / "home/P1000.jpg"));
    EXPECT_TRUE(Exists(ownFile));
    EXPECT_TRUE(Exists(decorator));
}

TEST_F(CleanUp, UnusableDecoratorDeletesNothing) {
    // Outside the temporary folder, below it, relative, not a KTZ name, "0",
    // or with a folder part after the name.
    const std::string outside = "/var/KTZ1.tmp";
    std::filesystem::create_directory(folder / "sub");
    const std::string below = folder / "sub/KTZ1.tmp";
    WriteBytes(below, "");
    const std::string notKtz = folder / "ABC1.tmp";
    WriteBytes(notKtz, "");
    for (const std::string& bad :
         {outside, below, std::string("KTZ1.tmp"), notKtz, std::string("0"), decorator + "/x",
          std::string()}) {
        std::string text = Rewritten();
        text.replace(text.find("TempFileDecorator=" + decorator), 18 + decorator.size(),
                     "TempFileDecorator=" + bad);
        text += "Image1001=" + bad + ".P1001.jpg\r\n";
        PlayAndClose(text);
        EXPECT_TRUE(Exists(showDescription)) << bad;
        EXPECT_TRUE(Exists(decorator)) << bad;
        EXPECT_TRUE(Exists(below)) << bad;
        EXPECT_TRUE(Exists(notKtz)) << bad;
        for (int i = 0; i < 8; ++i) EXPECT_TRUE(Exists(Image(i))) << bad << " " << i;
    }
}

TEST_F(CleanUp, SlidePathsNotMadeByExtractionStay) {
    // Paths beside the decorator, through a folder, or under another name.
    std::filesystem::create_directory(Extracted("d"));
    const std::string nested = Extracted("d/inner.jpg");
    WriteBytes(nested, "x");
    const std::string other = folder / "KTZ.other.jpg";
    WriteBytes(other, "x");
    const std::string escaping = Extracted("d/../home/own.jpg");
    std::string text = Rewritten("", ownFile);
    text.replace(text.find("Image1001=" + Image(1)), 10 + Image(1).size(), "Image1001=" + ownFile);
    text.replace(text.find("Image1002=" + Image(2)), 10 + Image(2).size(), "Image1002=" + nested);
    text.replace(text.find("Image1003=" + Image(3)), 10 + Image(3).size(), "Image1003=" + other);
    text.replace(text.find("Sound1004=\r\n"), 12, "Sound1004=" + escaping + "\r\n");
    text.replace(text.find("Sound1005=\r\n"), 12, "Sound1005=" + decorator + "\r\n");
    PlayAndClose(text);
    EXPECT_TRUE(Exists(ownFile));
    EXPECT_TRUE(Exists(nested));
    EXPECT_TRUE(Exists(other));
    EXPECT_TRUE(Exists(Image(1)));  // no longer named
    // What extraction made still goes.
    EXPECT_FALSE(Exists(Image(0)));
    EXPECT_FALSE(Exists(Image(4)));
    EXPECT_FALSE(Exists(decorator));
    EXPECT_FALSE(Exists(showDescription));
}

TEST_F(CleanUp, AbsentSoundKeyNamesNoFile) {
    // Slide 7 has no sound key: its "0" is never deleted, wherever we are.
    WriteBytes(folder / "0", "not a sound");
    const std::string previous = std::filesystem::current_path().string();
    ASSERT_EQ(::chdir(folder.Path().c_str()), 0);
    PlayAndClose(Rewritten());
    ASSERT_EQ(::chdir(previous.c_str()), 0);
    EXPECT_EQ(ReadBytes(folder / "0"), "not a sound");
    EXPECT_FALSE(Exists(Image(7)));
}

TEST_F(CleanUp, NamesComeFromTheirOwnMoments) {
    // The background sound named at the start goes; slide names are those of
    // the file at close.
    const std::string startTune = Extracted("start.mp3");
    const std::string laterTune = Extracted("later.mp3");
    const std::string replacement = Extracted("replacement.jpg");
    WriteBytes(startTune, "");
    WriteBytes(laterTune, "");
    WriteBytes(replacement, "");
    std::string text = Rewritten("", startTune);
    WriteBytes(showDescription, text);
    LoadDefaultPaths();
    std::snprintf(g_Show.ShowDescriptionPath, sizeof g_Show.ShowDescriptionPath, "%s",
                  showDescription.c_str());
    ReadShowSettings();
    ReadBackgroundSound();

    WritePrivateProfileStringA("OPTIONS", "BackgroundSound", laterTune.c_str(),
                               showDescription.c_str());
    WritePrivateProfileStringA("SLIDES", "Image1000", replacement.c_str(), showDescription.c_str());
    CleanUpShowFiles();
    EXPECT_FALSE(Exists(startTune));
    EXPECT_TRUE(Exists(laterTune));
    EXPECT_FALSE(Exists(replacement));
    EXPECT_TRUE(Exists(Image(0)));
    EXPECT_FALSE(Exists(Image(1)));
}

TEST_F(CleanUp, ShowDescriptionGoneAlreadyStillDeletesTheDecorator) {
    PlayAndClose(Rewritten());
    // A second close finds nothing to read: CLEAN reads as 1, names as "0".
    WriteBytes(decorator, "");
    WriteBytes(Image(0), "again");
    CleanUpShowFiles();
    EXPECT_FALSE(Exists(decorator));
    EXPECT_TRUE(Exists(Image(0)));
}

}  // namespace
