// tarnpack as authors use it: the packages it builds, what it lists and
// verifies, and its errors.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "jpeg_samples.h"
#include "tarnpack_tool.h"
#include "package/child_process.h"
#include "package/package_builder.h"
#include "package/scratch_folder.h"
#include "package_listing.h"
#include "show/show_record.h"
#include "startup/launch.h"
#include "startup/package.h"
#include "startup/package_files.h"

namespace {

using namespace tarn::test;
using tarnpack::DescribeFault;
using tarnpack::ListedEntry;
using tarnpack::PackageListing;
using tarnpack::ReadPackageListingFile;
namespace fs = std::filesystem;

TEST_F(TarnpackTool, CreateBuildsAnExecutablePackageThePlayerExtractsAsWritten) {
    const std::string a = Placeholder(70000, 1), b = Placeholder(1234, 2), tune = Placeholder(500, 3),
                      chime = Placeholder(99, 4);
    Put(show_ + "/pics/a.jpg", a);
    Put(show_ + "/b.png", b);
    Put(show_ + "/tune.mp3", tune);
    Put(show_ + "/chime.wav", chime);
    Put(show_ + "/show.ini",
        "[OPTIONS]\r\nAdvanceMethod=2\r\nBackgroundSound=tune.mp3\r\nCLEAN=1\r\n[SLIDES]\r\nCount=2\r\n"
        "Image1000=pics/a.jpg\r\nSound1000=chime.wav\r\nImage1001=" + show_ + "/b.png\r\nSound1001=\r\n"
        "Image1002=not-a-slide.jpg\r\n");
    ASSERT_TRUE(ExitedWith(Create(show_ + "/show.ini"), 0)) << Output();

    struct stat status {};
    ASSERT_EQ(stat(output_.c_str(), &status), 0);
    EXPECT_TRUE(status.st_mode & S_IXUSR) << "the package is a program";

    ExtractWithPlayer(output_);
    EXPECT_EQ(g_PackageFiles.count, 6);
    EXPECT_STREQ(g_Show.Entries[0].name, "tarn_test_player");
    EXPECT_STREQ(g_Show.Entries[1].name, "show.ini");
    EXPECT_EQ(ReadBytes(Extracted("tarn_test_player")), ReadBytes(TARN_TEST_PLAYER));
    EXPECT_EQ(ReadBytes(Extracted("tune.mp3")), tune);
    EXPECT_EQ(ReadBytes(Extracted("a.jpg")), a);
    EXPECT_EQ(ReadBytes(Extracted("chime.wav")), chime);
    EXPECT_EQ(ReadBytes(Extracted("b.png")), b);
    // Every file the show description names is now a bare entry name; the
    // rest of it is as the author wrote it.
    EXPECT_EQ(ReadBytes(Extracted("show.ini")),
              "[OPTIONS]\r\nAdvanceMethod=2\r\nBackgroundSound=tune.mp3\r\nCLEAN=1\r\n[SLIDES]\r\nCount=2\r\n"
              "Image1000=a.jpg\r\nSound1000=chime.wav\r\nImage1001=b.png\r\nSound1001=\r\n"
              "Image1002=not-a-slide.jpg\r\n");
    DeletePackageFiles(nullptr);
    ExpectNoLeftovers();
}

TEST_F(TarnpackTool, FadeAndSlideTimeKeysSurvivePackingAndTheRewriteAtLaunch) {
    Put(show_ + "/a.jpg", Placeholder(300, 1));
    Put(show_ + "/b.jpg", Placeholder(300, 2));
    Put(show_ + "/show.ini",
        "[OPTIONS]\r\nAdvanceMethod=2\r\nDelayBetweenSlidesInMilliseconds=4000\r\nTransitionMilliseconds=800\r\n"
        "[SLIDES]\r\nCount=2\r\nImage1000=a.jpg\r\nDelay1000=9000\r\nImage1001=b.jpg\r\n");
    ASSERT_TRUE(ExitedWith(Create(show_ + "/show.ini"), 0)) << Output();

    ExtractWithPlayer(output_);
    ASSERT_EQ(RewriteShowDescription(), 1);
    ReadShowSettings();
    EXPECT_EQ(g_Show.TransitionMilliseconds, 800);
    g_Show.CurrentSlide = 0;
    EXPECT_EQ(ReadSlideDelay(), 9000);
    g_Show.CurrentSlide = 1;
    EXPECT_EQ(ReadSlideDelay(), 4000);
    DeletePackageFiles(nullptr);
}

TEST_F(TarnpackTool, FilesOfTheSameNameFromTwoFoldersGetDistinctEntriesAndOneFileOneEntry) {
    Put(show_ + "/pics/a.jpg", "from pics");
    Put(scratch_.root() + "/elsewhere/a.jpg", "from elsewhere");
    Put(scratch_.root() + "/elsewhere/A.JPG", "upper case");
    Put(show_ + "/show.ini",
        "[SLIDES]\r\nCount=4\r\nImage1000=pics/a.jpg\r\nImage1001=../elsewhere/a.jpg\r\n"
        "Image1002=./pics/../pics/a.jpg\r\nImage1003=../elsewhere/A.JPG\r\n");
    ASSERT_TRUE(ExitedWith(Create(show_ + "/show.ini"), 0)) << Output();
    ExtractWithPlayer(output_);
    EXPECT_EQ(g_PackageFiles.count, 5) << "the same file twice is packed once";
    EXPECT_EQ(ReadBytes(Extracted("a.jpg")), "from pics");
    EXPECT_EQ(ReadBytes(Extracted("a-2.jpg")), "from elsewhere");
    EXPECT_EQ(ReadBytes(Extracted("A-3.JPG")), "upper case") << "names differ in more than case";
    const std::string ini = ReadBytes(Extracted("show.ini"));
    EXPECT_NE(ini.find("Image1000=a.jpg\r\n"), std::string::npos);
    EXPECT_NE(ini.find("Image1001=a-2.jpg\r\n"), std::string::npos);
    EXPECT_NE(ini.find("Image1002=a.jpg\r\n"), std::string::npos);
    EXPECT_NE(ini.find("Image1003=A-3.JPG\r\n"), std::string::npos);
    DeletePackageFiles(nullptr);
}

TEST_F(TarnpackTool, RelativeNamesAreTakenFromTheShowDescriptionsFolder) {
    Put(show_ + "/pics/a.jpg", "right");
    fs::create_directories(scratch_.root() + "/elsewhere/pics");
    Put(scratch_.root() + "/elsewhere/pics/a.jpg", "wrong");
    Put(show_ + "/show.ini", "[SLIDES]\r\nCount=1\r\nImage1000=pics/a.jpg\r\n");
    ASSERT_TRUE(ExitedWith(Run({"create", show_ + "/show.ini", "-o", output_, "--player", TARN_TEST_PLAYER},
                                    scratch_.root() + "/elsewhere"),
                           0))
        << Output();
    ExtractWithPlayer(output_);
    EXPECT_EQ(ReadBytes(Extracted("a.jpg")), "right");
    DeletePackageFiles(nullptr);
}

TEST_F(TarnpackTool, APlayerThatCarriesAPackageIsPackedWithoutIt) {
    Put(show_ + "/a.jpg", "a");
    Put(show_ + "/show.ini", "[SLIDES]\r\nCount=1\r\nImage1000=a.jpg\r\n");
    ASSERT_TRUE(ExitedWith(Create(show_ + "/show.ini"), 0)) << Output();
    const std::string first = scratch_.root() + "/first.run";
    fs::rename(output_, first);
    ASSERT_TRUE(ExitedWith(Create(show_ + "/show.ini", first), 0)) << Output();
    EXPECT_NE(Output().find("left out"), std::string::npos) << Output();
    ExtractWithPlayer(output_);
    EXPECT_EQ(g_PackageFiles.count, 3);
    EXPECT_EQ(ReadBytes(Extracted("first.run")), ReadBytes(TARN_TEST_PLAYER));
    DeletePackageFiles(nullptr);
}

TEST_F(TarnpackTool, ErrorsAreClearAndLeaveNothingHalfWritten) {
    Put(show_ + "/a.jpg", "a");
    Put(output_, "an older package");
    struct Case {
        const char* what;
        std::string ini;         // written to show.ini unless empty
        std::string showPath;    // what create is given
        const char* message;     // part of the error
    };
    const std::string ini = show_ + "/show.ini";
    std::vector<Case> cases = {
        {"a missing slide file", "[SLIDES]\r\nCount=2\r\nImage1000=a.jpg\r\nImage1001=gone.jpg\r\n", ini,
         "Image1001 names \"gone.jpg\""},
        {"a missing sound file", "[SLIDES]\r\nCount=1\r\nImage1000=a.jpg\r\nSound1000=gone.wav\r\n", ini,
         "Sound1000"},
        {"a missing background sound", "[OPTIONS]\r\nBackgroundSound=gone.mp3\r\n", ini, "BackgroundSound"},
        {"a slide without a picture", "[SLIDES]\r\nCount=2\r\nImage1000=a.jpg\r\n", ini, "Image1001"},
        {"a folder named as a slide", "[SLIDES]\r\nCount=1\r\nImage1000=.\r\n", ini, "is not a file"},
        {"a missing show description", "", show_ + "/absent.ini", "cannot read the show description"},
        {"a folder without pictures or clips", "", show_ + "/pics", "no pictures or clips in"},
    };
    for (const Case& c : cases) {
        if (!c.ini.empty()) Put(ini, c.ini);
        const int status = Create(c.showPath);
        EXPECT_TRUE(ExitedWith(status, 1)) << c.what;
        EXPECT_NE(Output().find(c.message), std::string::npos) << c.what << ": " << Output();
        EXPECT_EQ(ReadBytes(output_), "an older package") << c.what;
        ExpectNoLeftovers();
    }
}

TEST_F(TarnpackTool, AShowOfMoreThanNinetyNineEntriesIsRefused) {
    std::string ini = "[SLIDES]\r\nCount=98\r\n";
    for (int i = 0; i < 98; ++i) {
        Put(show_ + "/p" + std::to_string(i) + ".jpg", std::to_string(i));
        ini += "Image" + std::to_string(1000 + i) + "=p" + std::to_string(i) + ".jpg\r\n";
    }
    Put(show_ + "/show.ini", ini);
    EXPECT_TRUE(ExitedWith(Create(show_ + "/show.ini"), 1));
    EXPECT_NE(Output().find("more than 99 entries"), std::string::npos) << Output();
    EXPECT_FALSE(Exists(output_));

    // 97 slide files, the player and the show description: 99 fit.
    Put(show_ + "/show.ini", ini.replace(ini.find("Count=98"), 8, "Count=97"));
    EXPECT_TRUE(ExitedWith(Create(show_ + "/show.ini"), 0)) << Output();
    EXPECT_TRUE(ExitedWith(Run({"verify", output_}), 0)) << Output();
}

TEST_F(TarnpackTool, AFileOfTwoGiBIsRefused) {
    // A sparse file: the size is real, the disk is not used.
    const std::string huge = show_ + "/huge.mp4";
    Put(huge, "");
    ASSERT_EQ(truncate(huge.c_str(), 0x80000000LL), 0);
    Put(show_ + "/show.ini", "[SLIDES]\r\nCount=1\r\nImage1000=huge.mp4\r\n");
    EXPECT_TRUE(ExitedWith(Create(show_ + "/show.ini"), 1));
    EXPECT_NE(Output().find("2 GiB"), std::string::npos) << Output();
    EXPECT_FALSE(Exists(output_));
    ExpectNoLeftovers();
}

TEST_F(TarnpackTool, ListPrintsEveryEntryWithSizeAndOffset) {
    WriteBytes(output_, BuildPackage(SampleItems(), std::string(264, '\0')));
    ASSERT_TRUE(ExitedWith(Run({"list", output_}), 0)) << Output();
    const std::string listing = Output();
    // The rows: entry, size, offset, name.
    std::istringstream lines(listing);
    std::string header;
    std::getline(lines, header);
    std::vector<std::string> rows;
    for (int i = 0; i < 10; ++i) {
        std::string entry, size, offset, name;
        lines >> entry >> size >> offset >> name;
        rows.push_back(entry + " " + size + " " + offset + " " + name);
    }
    EXPECT_EQ(rows[0], "0 307200 0 stub.exe");
    EXPECT_EQ(rows[1], "1 427 307200 stub.ini");
    EXPECT_EQ(rows[2], "2 35649 307627 P1000.jpg");
    EXPECT_EQ(rows[9], "9 21582 517901 P1007.jpg");
    EXPECT_NE(listing.find("10 entries; data end at 539483, directory at 539747"), std::string::npos)
        << listing;
}

TEST_F(TarnpackTool, VerifyAcceptsAGoodPackageAndNamesWhatIsWrongWithABadOne) {
    std::vector<PackageItem> items = SampleItems();
    WriteBytes(output_, BuildPackage(items));
    EXPECT_TRUE(ExitedWith(Run({"verify", output_}), 0)) << Output();
    EXPECT_NE(Output().find("ok, 10 entries"), std::string::npos);

    struct Case {
        const char* what;
        std::string bytes;
        const char* message;
    };
    std::vector<PackageItem> noProgram = items;
    noProgram[0].data = "not a program";
    std::vector<PackageItem> missingSlide = items;
    missingSlide.pop_back();
    const std::vector<Case> cases = {
        {"a plain file", "just some text, no package at all", "no package"},
        {"a name with a folder",
         RawPackage("\x7f" "ELFab", {Record(5, "player"), Record(2, "../show.ini")}, 2), "folder separator"},
        {"data past the directory", RawPackage("\x7f" "ELFab", {Record(5, "player"), Record(3, "s.ini")}, 2),
         "past the start of the directory"},
        {"entry 0 no program", BuildPackage(noProgram), "is not a program"},
        {"a slide the package lacks", BuildPackage(missingSlide), "Image1007 names \"P1007.jpg\""},
    };
    for (const Case& c : cases) {
        WriteBytes(output_, c.bytes);
        EXPECT_TRUE(ExitedWith(Run({"verify", output_}), 1)) << c.what;
        EXPECT_NE(Output().find(c.message), std::string::npos) << c.what << ": " << Output();
    }
}

class TarnpackJpegs : public TarnpackTool {
protected:
    void SetUp() override {
        TarnpackTool::SetUp();
        JpegSample sample{320, 240, 3, JpegSample::Progressive, false, 90, 21, {}};
        sample.markers = {ExifMarker(21), CommentMarker("harbour, early morning")};
        progressive_ = MakeJpeg(sample);
        baseline_ = MakeJpeg({160, 120, 3, JpegSample::Baseline, false, 90, 22, {ExifMarker(22)}});
        truncated_ = MakeJpeg({200, 100, 1, JpegSample::Progressive, false, 80, 23, {}});
        truncated_.resize(truncated_.size() / 2);
        garbage_ = std::string("\xFF\xD8\xFF", 3) + Placeholder(3000, 24);
        Put(show_ + "/progressive.jpg", progressive_);
        Put(show_ + "/baseline.jpg", baseline_);
        Put(show_ + "/truncated.jpg", truncated_);
        Put(show_ + "/garbage.jpg", garbage_);
        Put(show_ + "/tune.mp3", Placeholder(700, 25));
        Put(show_ + "/show.ini",
            "[OPTIONS]\r\nBackgroundSound=tune.mp3\r\n[SLIDES]\r\nCount=5\r\nImage1000=progressive.jpg\r\n"
            "Image1001=baseline.jpg\r\nImage1002=truncated.jpg\r\nImage1003=garbage.jpg\r\n"
            "Image1004=progressive.jpg\r\n");
    }

    // The directory's sizes are the bytes stored: back to back from the
    // start, up to the directory, and each as large as its extracted file;
    // tarnpack's report `created` counts them all.
    void ExpectDirectoryMatchesTheData(const std::string& created) {
        PackageListing listing;
        std::string error;
        ASSERT_TRUE(ReadPackageListingFile(output_, &listing, &error)) << error;
        ASSERT_EQ(listing.fault, PackageFault::None) << DescribeFault(listing);
        uint64_t offset = 0;
        for (const ListedEntry& entry : listing.entries) {
            EXPECT_EQ(entry.offset, offset) << entry.name;
            offset += entry.size;
            EXPECT_EQ(ReadBytes(Extracted(entry.name)).size(), entry.size) << entry.name;
        }
        EXPECT_EQ(listing.dataEnd, offset);
        EXPECT_EQ(listing.directoryOffset, offset);
        EXPECT_NE(created.find(" " + std::to_string(offset) + " bytes of data"), std::string::npos) << created;
        EXPECT_TRUE(ExitedWith(Run({"verify", output_}), 0)) << Output();
    }

    std::string progressive_, baseline_, truncated_, garbage_;
};

TEST_F(TarnpackJpegs, JpegsAreStoredAsOneScanWithRestartMarkersAndTheirPixelsAndMarkers) {
    ASSERT_TRUE(ExitedWith(Create(show_ + "/show.ini"), 0)) << Output();
    const std::string created = Output();
    EXPECT_NE(created.find("(1 progressive JPEG stored as baseline)"), std::string::npos) << created;
    EXPECT_NE(created.find("(2 JPEGs stored with restart markers)"), std::string::npos) << created;
    ExtractWithPlayer(output_);
    EXPECT_EQ(g_PackageFiles.count, 7) << "the same picture twice is still one entry";

    const std::string stored = ReadBytes(Extracted("progressive.jpg"));
    const std::vector<JpegSegment> segments = JpegSegments(stored);
    EXPECT_EQ(CountSegments(segments, 0xC0) + CountSegments(segments, 0xC1), 1);
    EXPECT_EQ(CountSegments(segments, 0xC2), 0);
    EXPECT_EQ(CountSegments(segments, 0xDA), 1);
    EXPECT_EQ(MetadataSegments(segments), MetadataSegments(JpegSegments(progressive_)));
    EXPECT_EQ(CountSegments(segments, 0xE1), 1);
    EXPECT_EQ(CountSegments(segments, 0xFE), 1);
    const JpegPixels before = DecodeJpeg(progressive_);
    const JpegPixels after = DecodeJpeg(stored);
    ASSERT_TRUE(before.ok && after.ok);
    EXPECT_TRUE(after.samples == before.samples) << "the same pixels";

    EXPECT_EQ(RestartInterval(segments), (320 + 15) / 16) << "a restart marker at every row";
    // A baseline picture gets its restart markers too, and keeps its pixels.
    const std::string storedBaseline = ReadBytes(Extracted("baseline.jpg"));
    EXPECT_EQ(RestartInterval(JpegSegments(storedBaseline)), (160 + 15) / 16);
    EXPECT_EQ(MetadataSegments(JpegSegments(storedBaseline)), MetadataSegments(JpegSegments(baseline_)));
    EXPECT_TRUE(DecodeJpeg(storedBaseline).samples == DecodeJpeg(baseline_).samples);
    EXPECT_TRUE(DecodeJpeg(storedBaseline).ok);
    EXPECT_EQ(ReadBytes(Extracted("truncated.jpg")), truncated_);
    EXPECT_EQ(ReadBytes(Extracted("garbage.jpg")), garbage_);
    EXPECT_EQ(ReadBytes(Extracted("tune.mp3")), Placeholder(700, 25));
    ExpectDirectoryMatchesTheData(created);
    DeletePackageFiles(nullptr);
    ExpectNoLeftovers();
}

TEST_F(TarnpackJpegs, KeepJpegStoresEveryFileByteForByte) {
    ASSERT_TRUE(ExitedWith(Run({"create", show_ + "/show.ini", "--keep-jpeg", "-o", output_, "--player",
                                TARN_TEST_PLAYER}),
                           0))
        << Output();
    const std::string created = Output();
    EXPECT_EQ(created.find("baseline"), std::string::npos) << created;
    EXPECT_EQ(created.find("restart"), std::string::npos) << created;
    ExtractWithPlayer(output_);
    EXPECT_EQ(ReadBytes(Extracted("progressive.jpg")), progressive_);
    EXPECT_EQ(ReadBytes(Extracted("baseline.jpg")), baseline_);
    ExpectDirectoryMatchesTheData(created);
    DeletePackageFiles(nullptr);
}

TEST_F(TarnpackTool, UsageMistakesAndHelp) {
    EXPECT_TRUE(ExitedWith(Run({"--help"}), 0));
    EXPECT_NE(Output().find("tarnpack create SHOW.ini -o OUTPUT"), std::string::npos);
    EXPECT_NE(Output().find("--keep-jpeg"), std::string::npos);
    EXPECT_TRUE(ExitedWith(Run({}), 2));
    EXPECT_TRUE(ExitedWith(Run({"pack", "x"}), 2));
    EXPECT_TRUE(ExitedWith(Run({"create", show_ + "/show.ini"}), 2));
    EXPECT_NE(Output().find("-o OUTPUT"), std::string::npos);
    EXPECT_TRUE(ExitedWith(Run({"create", "a.ini", "b.ini", "-o", output_}), 2));
    EXPECT_TRUE(ExitedWith(Run({"create", "a.ini", "-o", output_, "--frobnicate"}), 2));
    EXPECT_TRUE(ExitedWith(Run({"list"}), 2));
    EXPECT_FALSE(Exists(output_));
}

TEST_F(TarnpackTool, TheOutputNeverReplacesAnInput) {
    Put(show_ + "/a.jpg", "the picture");
    Put(show_ + "/show.ini", "[SLIDES]\r\nCount=1\r\nImage1000=a.jpg\r\n");
    EXPECT_TRUE(ExitedWith(Run({"create", show_ + "/show.ini", "-o", show_ + "/a.jpg", "--player",
                                     TARN_TEST_PLAYER}),
                           1));
    EXPECT_EQ(ReadBytes(show_ + "/a.jpg"), "the picture");
    EXPECT_TRUE(ExitedWith(Run({"create", show_ + "/show.ini", "-o", show_ + "/show.ini", "--player",
                                     TARN_TEST_PLAYER}),
                           1));
    EXPECT_EQ(ReadBytes(show_ + "/show.ini"), "[SLIDES]\r\nCount=1\r\nImage1000=a.jpg\r\n");
}

TEST_F(TarnpackTool, APackageItBuildsPlaysAsAProgramAndLeavesNothing) {
    Put(show_ + "/a.jpg", Placeholder(4000, 1));
    Put(show_ + "/tune.mp3", Placeholder(300, 2));
    Put(show_ + "/show.ini", "[OPTIONS]\r\nBackgroundSound=tune.mp3\r\n[SLIDES]\r\nCount=1\r\nImage1000=a.jpg\r\n");
    ASSERT_TRUE(ExitedWith(Create(show_ + "/show.ini"), 0)) << Output();
    const std::string playerLog = scratch_.root() + "/player.log";
    EXPECT_TRUE(ExitedWith(RunToEnd({output_}, {"TMPDIR=" + scratch_.temp(), "TARN_TEST_PLAYER_LOG=" + playerLog,
                                               "TARN_TEST_PLAYER_MODE=clean"}),
                           0));
    auto log = ReadLog(playerLog);
    EXPECT_EQ(log["argc"], "2");
    EXPECT_EQ(log["argv1"].rfind(scratch_.temp() + "/KTZ", 0), 0u) << log["argv1"];
    EXPECT_NE(log["description"].find(".a.jpg\r\n"), std::string::npos);
    EXPECT_TRUE(scratch_.TempNames().empty());
}

}  // namespace
