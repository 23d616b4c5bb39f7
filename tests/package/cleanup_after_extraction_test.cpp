// What is left after a show: the player's own clean-up on an extracted and
// rewritten show, the package process's clean-up behind it, and a show
// description written by hand, whose files are never touched.
#include <gtest/gtest.h>

#include <algorithm>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "package/child_process.h"
#include "package/package_builder.h"
#include "package/scratch_folder.h"
#include "show/cleanup.h"
#include "startup/launch.h"
#include "startup/package.h"
#include "startup/package_files.h"

namespace {

using namespace tarn::test;

class CleanUpAfterExtraction : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(&g_Show, 0, sizeof g_Show);
        ForgetPackageFiles();
        package_ = scratch_.outside() + "/show.pkg";
    }
    // The extraction's holds on its files go before the folder does.
    void TearDown() override { ForgetPackageFiles(); }

    // Extracts and rewrites `items`, then closes the show as the player does.
    void PlayAndClose(const std::vector<PackageItem>& items) {
        WriteBytes(package_, BuildPackage(items, std::string(264, '\0')));
        ASSERT_EQ(ExtractPackageFrom(package_.c_str()), 1);
        RewriteShowDescription();
        decorator_ = g_Show.TempFileDecorator;
        // The player's start and close.
        ReadShowSettings();
        ReadBackgroundSound();
        CleanUpShowFiles();
    }

    std::vector<std::string> Left() const {
#ifdef _WIN32
        // A deleted name stays taken while another handle is open: the
        // package process lets go of its holds, as it does when it ends.
        ForgetPackageFiles();
#endif
        return scratch_.TempNames();
    }
    std::string Name(const std::string& entry) const {
        return decorator_.substr(scratch_.temp().size() + 1) + "." + entry;
    }

    ScratchFolder scratch_;
    std::string package_;
    std::string decorator_;
};

TEST_F(CleanUpAfterExtraction, TheSampleLeavesOnlyThePlayerCopyWhichThePackageProcessDeletes) {
    PlayAndClose(SampleItems());
    // The decorator, the eight pictures and the show description are gone;
    // the empty sound keys named nothing.
    EXPECT_EQ(Left(), std::vector<std::string>{Name("stub.exe")});
#ifndef _WIN32
    // (On Windows the look above let go of the player copy; the package
    // process's deletion is tested with the Windows pieces.)
    DeletePackageFiles(nullptr);
    EXPECT_TRUE(Left().empty());
#endif
}

TEST_F(CleanUpAfterExtraction, WithCleanZeroTheSlidesStayAndTheRestGoes) {
    std::vector<PackageItem> items = SampleItems();
    std::string ini = SampleShowDescription();
    ini.replace(ini.find("BackgroundSound=\r\n"), 18, "BackgroundSound=tune.mp3\r\nCLEAN=0\r\n");
    items[1].data = ini;
    items.push_back({"tune.mp3", Placeholder(400, 77)});
    PlayAndClose(items);

    std::vector<std::string> expected{Name("stub.exe")};
    for (int i = 0; i < 8; ++i) expected.push_back(Name("P" + std::to_string(1000 + i) + ".jpg"));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Left(), expected) << "the background sound goes whatever CLEAN says";
}

#ifndef _WIN32
// Termination signals are POSIX.
TEST_F(CleanUpAfterExtraction, AShowInterruptedBeforeItsStartIsNeverStartedAndLeavesNothing) {
    WriteBytes(package_, BuildPackage(SampleItems()));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            if (ExtractPackageFrom(package_.c_str()) != 1) std::_Exit(2);
            // A runnable player in place of the stub, so that a start would
            // happen if it were tried.
            std::snprintf(g_Show.PlayerPath, sizeof g_Show.PlayerPath, "%s", TARN_TEST_PLAYER);
            std::raise(SIGTERM);  // caught since extraction began
            RewriteShowDescription();
            LaunchPlayer();
            // A child that ran and was waited for shows in the children's
            // usage, however soon the signal passed on to it ended it.
            struct rusage children {};
            getrusage(RUSAGE_CHILDREN, &children);
            std::_Exit(children.ru_maxrss == 0 && scratch_.TempNames().empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

TEST(HandWrittenShow, PlayedAndClosedNoneOfItsFilesIsDeleted) {
    // A person's show: pictures beside the show description, one of them
    // in the temporary folder itself, and a decorator key naming a file.
    ScratchFolder scratch;
    const std::string folder = scratch.outside();
    const std::string ini = folder + "/my show.ini";
    const std::string inTemp = scratch.temp() + "/holiday.jpg";
    WriteBytes(folder + "/a.jpg", "a");
    WriteBytes(folder + "/a.wav", "sound");
    WriteBytes(folder + "/tune.mp3", "tune");
    WriteBytes(inTemp, "b");
    WriteBytes(folder + "/notes.txt", "notes");
    WriteBytes(ini, "[OPTIONS]\r\nBackgroundSound=" + folder + "/tune.mp3\r\nTempFileDecorator=" + folder +
                        "/notes.txt\r\n[SLIDES]\r\nCount=2\r\nImage1000=" + folder + "/a.jpg\r\nSound1000=" +
                        folder + "/a.wav\r\nImage1001=" + inTemp + "\r\n");
    const std::string log = scratch.root() + "/log";
    EXPECT_TRUE(ExitedWith(RunToEnd({TARN_TEST_PLAYER, ini}, {"TMPDIR=" + scratch.temp(),
                                                              "TARN_TEST_PLAYER_LOG=" + log,
                                                              "TARN_TEST_PLAYER_MODE=clean"}),
                           0));
    EXPECT_TRUE(Exists(log)) << "the player ran";
    EXPECT_EQ(ScratchFolder::Names(folder),
              (std::vector<std::string>{"a.jpg", "a.wav", "my show.ini", "notes.txt", "tune.mp3"}));
    EXPECT_TRUE(Exists(inTemp));
}

}  // namespace
