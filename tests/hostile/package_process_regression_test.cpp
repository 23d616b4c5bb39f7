// Faults of the package process found by hardening, kept as regression
// tests: each case once crashed, corrupted memory or hung.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "package/package_builder.h"
#include "package/scratch_folder.h"
#include "show/show_record.h"
#include "startup/launch.h"
#include "startup/package.h"
#include "startup/package_files.h"

namespace {

using namespace tarn::test;

class PackageProcessRegression : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(&g_Show, 0, sizeof g_Show);
        ForgetPackageFiles();
        package_ = scratch_.outside() + "/show.pkg";
    }
    void TearDown() override {
        DeletePackageFiles(nullptr);
        ForgetPackageFiles();
    }

    void Extract(const std::string& showDescription) {
        WriteBytes(package_, BuildPackage({{"player", std::string("\x7f" "ELF-player", 11)},
                                           {"show.ini", showDescription},
                                           {"a.jpg", "picture"},
                                           {"b.wav", "sound"}}));
        ASSERT_EQ(ExtractPackageFrom(package_.c_str()), 1);
    }

    ScratchFolder scratch_{FastScratchBase()};
    std::string package_;
};

// Found by the package_reader fuzz target under AddressSanitizer: taking
// hold of the rewritten show description copied the record's path onto
// itself (strncpy with overlapping ranges, undefined behaviour).
TEST_F(PackageProcessRegression, HoldingAFileAnewUnderItsOwnNameKeepsTheName) {
    const std::string path = scratch_.temp() + "/KTZ5.tmp.show.ini";
    WriteBytes(path, "[SLIDES]\r\n");
    PackageFile record;
    ASSERT_TRUE(RememberPackageFile(record, path.c_str()));
    ASSERT_TRUE(RememberPackageFile(record, record.path));
    EXPECT_EQ(std::string(record.path), path);
    EXPECT_TRUE(record.file.IsNamedBy(path.c_str()));
    DeletePackageFile(record);
    EXPECT_FALSE(Exists(path));
}

TEST_F(PackageProcessRegression, TheRewrittenShowDescriptionIsStillDeletedByThePackageProcess) {
    Extract("[SLIDES]\r\nCount=1\r\nImage1000=a.jpg\r\n");
    RewriteShowDescription();  // replaces the file: it must be held anew
    DeletePackageFiles(nullptr);
    ForgetPackageFiles();
    EXPECT_TRUE(scratch_.TempNames().empty());
}

// Found by a timed probe of hostile show descriptions: the rewrite writes
// the whole file once per slide, so a Count of 2^31 - 1 kept the package
// process writing an ever larger file for hours before the show began.
TEST_F(PackageProcessRegression, AnAbsurdCountLeavesAShowWhoseEverySlideIsTheShowsOwn) {
    Extract("[SLIDES]\r\nCount=2147483647\r\nImage1000=a.jpg\r\nSound1000=b.wav\r\n"
            "Image1001=../../etc/passwd\r\nImage1002=/etc/passwd\r\n");
    RewriteShowDescription();

    // The show as the player reads it: every slide it can reach names a
    // file of the package or none, and clean-up can walk them all.
    ReadShowSettings();
    ASSERT_GE(g_Show.Count, 3);
    ASSERT_LE(g_Show.Count, 10000) << "more slides than the player's clean-up walks";
    const std::string decorator = g_Show.TempFileDecorator;
    for (const int32_t slide : {0, 1, 2, 3, g_Show.Count / 2, g_Show.Count - 1}) {
        g_Show.CurrentSlide = slide;
        EXPECT_EQ(std::string(ReadImageName()), decorator + (slide == 0 ? ".a.jpg" : "."))
            << "slide " << slide;
    }
    g_Show.CurrentSlide = 0;
    EXPECT_EQ(std::string(ReadSoundName()), decorator + ".b.wav");

    struct stat info {};
    ASSERT_EQ(stat(g_Show.ShowDescriptionPath, &info), 0);
    EXPECT_LT(info.st_size, 1 << 20) << "the show description grew without bound";

    DeletePackageFiles(nullptr);
    ForgetPackageFiles();
    EXPECT_TRUE(scratch_.TempNames().empty());
}

}  // namespace
