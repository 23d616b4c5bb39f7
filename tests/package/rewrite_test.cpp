// RewriteShowDescription: the extracted show description names the
// decorator and every extracted file by its full path.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "package/package_builder.h"
#include "package/scratch_folder.h"
#include "startup/launch.h"
#include "startup/package_files.h"

namespace {

using namespace tarn::test;

constexpr const char* kAbsent = "<absent>";

class Rewrite : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(&g_Show, 0, sizeof g_Show);
        path_ = scratch_.temp() + "/KTZ1F.tmp.show.ini";
        decorator_ = scratch_.temp() + "/KTZ1F.tmp";
        std::snprintf(g_Show.ShowDescriptionPath, sizeof g_Show.ShowDescriptionPath, "%s", path_.c_str());
        std::snprintf(g_Show.TempFileDecorator, sizeof g_Show.TempFileDecorator, "%s", decorator_.c_str());
        // The package these show descriptions came with: the names the
        // cases use, after the player and the show description.
        Pack({"tarnplayer", "show.ini", "a.jpg", "b.jpg", "c.jpg", "z.jpg", "a.wav", "b.wav",
              "c.wav", "tune.mp3", "P1000.jpg", "P1001.jpg", "P1002.jpg", "P1003.jpg",
              "P1004.jpg", "P1005.jpg", "P1006.jpg", "P1007.jpg"});
    }

    // The entry table extraction would have left for a package of `names`.
    void Pack(std::initializer_list<std::string> names) {
        ASSERT_LE(names.size(), static_cast<size_t>(PACKAGE_MAX_ENTRIES));
        int32_t count = 0;
        for (const std::string& name : names) {
            PackageEntry& entry = g_Show.Entries[count++];
            std::memset(&entry, 0, sizeof entry);
            std::snprintf(entry.name, sizeof entry.name, "%s", name.c_str());
        }
        g_PackageFiles.count = count;
    }

    std::string Read(const char* section, const char* key) {
        char buffer[600];
        GetPrivateProfileStringA(section, key, kAbsent, buffer, sizeof buffer, path_.c_str());
        return buffer;
    }
    std::string Decorated(const std::string& name) { return decorator_ + "." + name; }

    ScratchFolder scratch_;
    std::string path_;
    std::string decorator_;
};

TEST_F(Rewrite, TheSampleShowDescriptionGetsExactlyTheDecoratorAndTheImagePaths) {
    const std::string original = SampleShowDescription();
    WriteBytes(path_, original);
    EXPECT_EQ(RewriteShowDescription(), 1);

    // Every other byte stays: the decorator key joins the end of OPTIONS, the
    // eight image names gain the decorator, the empty sounds stay empty and
    // the last slide still has no sound key.
    std::string expected = original;
    const std::string splash = "ShowSplash=0\r\n";
    expected.insert(expected.find(splash) + splash.size(), "TempFileDecorator=" + decorator_ + "\r\n");
    for (int i = 0; i < 8; ++i) {
        const std::string name = "P" + std::to_string(1000 + i) + ".jpg";
        const size_t at = expected.find("=" + name);
        expected.replace(at + 1, name.size(), Decorated(name));
    }
#ifdef _WIN32
    // Windows' profile writer writes the file anew, without blank lines.
    expected.erase(expected.find("\r\n\r\n[SLIDES]"), 2);
#endif
    EXPECT_EQ(ReadBytes(path_), expected);
    EXPECT_EQ(Read("SLIDES", "Sound1007"), kAbsent);
    EXPECT_EQ(Read("OPTIONS", "BackgroundSound"), "");
}

TEST_F(Rewrite, OnlyTheFirstCountSlidesAreRewritten) {
    WriteBytes(path_,
               "[SLIDES]\r\nCount=2\r\nImage1000=a.jpg\r\nSound1000=a.wav\r\nImage1001=b.jpg\r\n"
               "Sound1001=b.wav\r\nImage1002=c.jpg\r\nSound1002=c.wav\r\nImage999=z.jpg\r\n");
    EXPECT_EQ(RewriteShowDescription(), 1);
    EXPECT_EQ(Read("SLIDES", "Image1000"), Decorated("a.jpg"));
    EXPECT_EQ(Read("SLIDES", "Sound1000"), Decorated("a.wav"));
    EXPECT_EQ(Read("SLIDES", "Image1001"), Decorated("b.jpg"));
    EXPECT_EQ(Read("SLIDES", "Sound1001"), Decorated("b.wav"));
    EXPECT_EQ(Read("SLIDES", "Image1002"), "c.jpg");
    EXPECT_EQ(Read("SLIDES", "Sound1002"), "c.wav");
    EXPECT_EQ(Read("SLIDES", "Image999"), "z.jpg");
}

TEST_F(Rewrite, EmptyOrAbsentImagesNameTheDecoratorAndADotWhileSoundsStayAsTheyAre) {
    WriteBytes(path_, "[SLIDES]\r\nCount=3\r\nImage1000=\r\nSound1000=\r\nImage1002=c.jpg\r\n");
    EXPECT_EQ(RewriteShowDescription(), 1);
    EXPECT_EQ(Read("SLIDES", "Image1000"), decorator_ + ".");
    EXPECT_EQ(Read("SLIDES", "Image1001"), decorator_ + ".");
    EXPECT_EQ(Read("SLIDES", "Sound1000"), "");
    EXPECT_EQ(Read("SLIDES", "Sound1001"), kAbsent);
    EXPECT_EQ(Read("SLIDES", "Sound1002"), kAbsent);
}

TEST_F(Rewrite, ADecoratorAlreadyPresentIsReplacedAndTheBackgroundSoundRewritten) {
    WriteBytes(path_,
               "[OPTIONS]\r\nTempFileDecorator=/old/KTZ9.tmp\r\nBackgroundSound=tune.mp3\r\n"
               "[SLIDES]\r\nCount=1\r\nImage1000=a.jpg\r\n");
    EXPECT_EQ(RewriteShowDescription(), 1);
    EXPECT_EQ(Read("OPTIONS", "TempFileDecorator"), decorator_);
    EXPECT_EQ(Read("OPTIONS", "BackgroundSound"), Decorated("tune.mp3"));
}

TEST_F(Rewrite, WithoutAPositiveCountOnlyTheOptionsAreWritten) {
    for (const char* count : {"Count=0\r\n", "Count=-3\r\n", "Count=none\r\n", ""}) {
        WriteBytes(path_, std::string("[OPTIONS]\r\nBackgroundSound=tune.mp3\r\n[SLIDES]\r\n") + count +
                              "Image1000=a.jpg\r\n");
        EXPECT_EQ(RewriteShowDescription(), 0) << count;
        EXPECT_EQ(Read("OPTIONS", "TempFileDecorator"), decorator_) << count;
        EXPECT_EQ(Read("OPTIONS", "BackgroundSound"), Decorated("tune.mp3")) << count;
        EXPECT_EQ(Read("SLIDES", "Image1000"), "a.jpg") << count;
    }
}

TEST_F(Rewrite, TheCountFollowsTheNumberRule) {
    WriteBytes(path_, "[SLIDES]\r\nCount=  2 slides\r\nImage1000=a.jpg\r\nImage1001=b.jpg\r\nImage1002=c.jpg\r\n");
    EXPECT_EQ(RewriteShowDescription(), 1);
    EXPECT_EQ(Read("SLIDES", "Image1001"), Decorated("b.jpg"));
    EXPECT_EQ(Read("SLIDES", "Image1002"), "c.jpg");
}

TEST_F(Rewrite, NamesThatCannotBeEntriesNameNoFileAfterTheRewrite) {
    // A name with a folder part would lead the player, and its clean-up,
    // outside the temporary folder.
    WriteBytes(path_,
               "[OPTIONS]\r\nBackgroundSound=../../home/someone/tune.mp3\r\n"
               "[SLIDES]\r\nCount=2\r\nImage1000=/home/someone/photo.jpg\r\nSound1000=sub/a.wav\r\n"
               "Image1001=..\r\nSound1001=..\\b.wav\r\n");
    EXPECT_EQ(RewriteShowDescription(), 1);
    EXPECT_EQ(Read("OPTIONS", "BackgroundSound"), "");
    EXPECT_EQ(Read("SLIDES", "Image1000"), decorator_ + ".");
    EXPECT_EQ(Read("SLIDES", "Sound1000"), "");
    EXPECT_EQ(Read("SLIDES", "Image1001"), decorator_ + ".");
    EXPECT_EQ(Read("SLIDES", "Sound1001"), "");
}

TEST_F(Rewrite, APathThatWouldNotFitIsNeverCut) {
    // A decorator of 200 characters leaves room for names of 58.
    decorator_ = scratch_.temp() + "/" + std::string(199 - scratch_.temp().size(), 'd');
    ASSERT_EQ(decorator_.size(), 200u);
    std::snprintf(g_Show.TempFileDecorator, sizeof g_Show.TempFileDecorator, "%s", decorator_.c_str());
    const std::string fits(58, 'f');
    const std::string tooLong(59, 'l');
    Pack({"tarnplayer", "show.ini", fits, tooLong});
    WriteBytes(path_, "[OPTIONS]\r\nBackgroundSound=" + tooLong + "\r\n[SLIDES]\r\nCount=2\r\nImage1000=" +
                          fits + "\r\nSound1000=" + tooLong + "\r\nImage1001=" + tooLong + "\r\n");
    EXPECT_EQ(RewriteShowDescription(), 1);
    EXPECT_EQ(Read("SLIDES", "Image1000"), Decorated(fits));
    EXPECT_EQ(Read("SLIDES", "Image1000").size(), 259u);
    EXPECT_EQ(Read("OPTIONS", "BackgroundSound"), "");
    EXPECT_EQ(Read("SLIDES", "Sound1000"), "");
    EXPECT_EQ(Read("SLIDES", "Image1001"), decorator_ + ".");
}

TEST_F(Rewrite, NamesOfFilesThePackageDoesNotHoldNameNoFileAfterTheRewrite) {
    // The package holds a.jpg and a.wav only. The other names would lead the
    // player to files in the shared temporary folder that this package never
    // wrote, and its clean-up to deleting them.
    Pack({"tarnplayer", "show.ini", "a.jpg", "a.wav"});
    WriteBytes(path_,
               "[OPTIONS]\r\nBackgroundSound=tune.mp3\r\n"
               "[SLIDES]\r\nCount=3\r\nImage1000=a.jpg\r\nSound1000=a.wav\r\n"
               "Image1001=planted.jpg\r\nSound1001=planted.wav\r\nImage1002=A.JPG\r\n");
    EXPECT_EQ(RewriteShowDescription(), 1);
    EXPECT_EQ(Read("OPTIONS", "BackgroundSound"), "");
    EXPECT_EQ(Read("SLIDES", "Image1000"), Decorated("a.jpg"));
    EXPECT_EQ(Read("SLIDES", "Sound1000"), Decorated("a.wav"));
    EXPECT_EQ(Read("SLIDES", "Image1001"), decorator_ + ".");
    EXPECT_EQ(Read("SLIDES", "Sound1001"), "");
#ifdef _WIN32
    EXPECT_EQ(Read("SLIDES", "Image1002"), Decorated("A.JPG"));  // the same file there
#else
    EXPECT_EQ(Read("SLIDES", "Image1002"), decorator_ + ".");
#endif
}

}  // namespace
