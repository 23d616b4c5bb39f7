// Package mode on real processes: a package run as an executable extracts,
// starts the extracted player with the show description path as its one
// argument, waits, and afterwards the temporary folder holds nothing of the
// show, however the player ended.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "package/child_process.h"
#include "package/package_builder.h"
#include "package/scratch_folder.h"

namespace {

using namespace tarn::test;

class PackageProcess : public ::testing::Test {
protected:
    void SetUp() override {
        player_ = ReadBytes(TARN_TEST_PLAYER);
#ifdef _WIN32
        package_ = scratch_.outside() + "\\show.exe";
#else
        package_ = scratch_.outside() + "/show.run";
#endif
        log_ = scratch_.outside() + "/player.log";
    }

    // The show: two slides with pictures, a sound on the first, a
    // background tune, and optionally more lines for OPTIONS.
    std::vector<PackageItem> Show(const std::string& options = "") {
        const std::string ini = "[OPTIONS]\r\nBackgroundSound=tune.mp3\r\n" + options +
                                "[SLIDES]\r\nCount=2\r\nImage1000=a.jpg\r\nSound1000=a.wav\r\n"
                                "Image1001=b.jpg\r\nSound1001=\r\n";
        return {{"player", player_},          {"show.ini", ini},
                {"a.jpg", Placeholder(5000, 1)}, {"a.wav", Placeholder(3000, 2)},
                {"b.jpg", Placeholder(70000, 3)}, {"tune.mp3", Placeholder(9000, 4)}};
    }

    void WritePackage(const std::vector<PackageItem>& items) {
        WriteBytes(package_, BuildPackage(items));
        ASSERT_EQ(chmod(package_.c_str(), 0700), 0);
    }

    std::vector<std::string> Settings(const std::string& mode) {
        return {"TMPDIR=" + scratch_.temp(), "TARN_TEST_PLAYER_LOG=" + log_,
                "TARN_TEST_PLAYER_MODE=" + mode};
    }

    // Runs the package to its end with the player behaving as `mode`.
    int Run(const std::string& mode) { return RunToEnd({package_}, Settings(mode)); }

    pid_t PlayerFromLog() { return static_cast<pid_t>(std::stol(ReadLog(log_)["pid"])); }

    ScratchFolder scratch_;
    std::string player_;
    std::string package_;
    std::string log_;
};

TEST_F(PackageProcess, APackageRunAsAProgramPlaysItsShowAndLeavesNothing) {
    WritePackage(Show());
    EXPECT_TRUE(ExitedWith(Run("clean"), 0));

    auto log = ReadLog(log_);
    ASSERT_FALSE(log.empty()) << "the player was not started";
    EXPECT_EQ(log["argc"], "2") << "the show description path is the one argument";
    const std::string decorator = log["argv1"].substr(0, log["argv1"].size() - std::string(".show.ini").size());
    EXPECT_EQ(log["argv1"], decorator + ".show.ini");
    EXPECT_EQ(decorator.rfind(scratch_.temp() + kSeparator + "KTZ", 0), 0u) << decorator;
    EXPECT_EQ(log["argv0"], decorator + ".player");
#ifndef _WIN32
    EXPECT_EQ(log["executable"], "1");
#endif
    // The player found its show description rewritten.
    const std::string& description = log["description"];
    EXPECT_NE(description.find("TempFileDecorator=" + decorator + "\r\n"), std::string::npos);
    EXPECT_NE(description.find("Image1000=" + decorator + ".a.jpg\r\n"), std::string::npos);
    EXPECT_NE(description.find("Sound1000=" + decorator + ".a.wav\r\n"), std::string::npos);
    EXPECT_NE(description.find("BackgroundSound=" + decorator + ".tune.mp3\r\n"), std::string::npos);

    EXPECT_TRUE(scratch_.TempNames().empty());
}

TEST_F(PackageProcess, ATemporaryFolderWithASpaceStillReachesThePlayerWhole) {
    const std::string spaced = scratch_.temp() + kSeparator + "with space";
    ASSERT_TRUE(std::filesystem::create_directory(spaced));
    WritePackage(Show());
    EXPECT_TRUE(ExitedWith(RunToEnd({package_}, {"TMPDIR=" + spaced, "TARN_TEST_PLAYER_LOG=" + log_,
                                                 "TARN_TEST_PLAYER_MODE=clean"}),
                           0));
    auto log = ReadLog(log_);
#ifndef _WIN32
    // Windows hands such a path over in a form without spaces.
    const std::string argument = log["argv1"];
    EXPECT_EQ(argument.rfind(spaced + "/KTZ", 0), 0u) << argument;
#endif
    EXPECT_NE(log["description"].find("Image1000=" + spaced + kSeparator + "KTZ"), std::string::npos)
        << "the player read its rewritten show description";
    EXPECT_TRUE(ScratchFolder::Names(spaced).empty());
}

TEST_F(PackageProcess, AnEntryZeroThatIsNoProgramLeavesNothing) {
    std::vector<PackageItem> items = Show();
    items[0].data = "this is no program\n";
    WriteBytes(package_, BuildPackage(items));
    EXPECT_TRUE(ExitedWith(RunToEnd({TARN_TEST_PLAYER, "--package", package_}, Settings("clean")), 0));
    EXPECT_FALSE(Exists(log_)) << "nothing could have played";
    EXPECT_TRUE(scratch_.TempNames().empty());
}

TEST_F(PackageProcess, APlayerKilledInTheMiddleOfTheShowLeavesNothing) {
    WritePackage(Show());
    const auto package = StartProcess({package_}, Settings("wait"));
    ASSERT_TRUE(Started(package));
    ASSERT_TRUE(WaitForFile(log_));
    EXPECT_FALSE(scratch_.TempNames().empty()) << "the show is extracted while it plays";
    ASSERT_TRUE(KillProcess(PlayerFromLog()));
    EXPECT_TRUE(ExitedWith(WaitForEnd(package), 0));
    EXPECT_TRUE(scratch_.TempNames().empty());
}

#ifndef _WIN32
// Termination signals are POSIX.
TEST_F(PackageProcess, ATerminationSignalToThePackageEndsThePlayerAndLeavesNothing) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        WritePackage(Show());
        const pid_t package = StartProcess({package_}, Settings("wait"));
        ASSERT_GT(package, 0);
        ASSERT_TRUE(WaitForFile(log_));
        const pid_t player = PlayerFromLog();
        ASSERT_EQ(kill(package, signal), 0);
        EXPECT_TRUE(ExitedWith(WaitForEnd(package), 0)) << "signal " << signal;
        EXPECT_FALSE(ProcessExists(player)) << "signal " << signal;
        EXPECT_TRUE(scratch_.TempNames().empty()) << "signal " << signal;
        std::remove(log_.c_str());
    }
}
#endif

TEST_F(PackageProcess, AnEntryTheShowDescriptionDoesNotNameIsRemoved) {
    std::vector<PackageItem> items = Show();
    items.push_back({"stray.bin", Placeholder(100, 9)});
    WritePackage(items);
    EXPECT_TRUE(ExitedWith(Run("clean"), 0));
    EXPECT_TRUE(scratch_.TempNames().empty());
}

TEST_F(PackageProcess, AShowEndedWithoutThePlayersCleanUpLeavesNothing) {
    // "exit" stands for the control bar closed alone, "crash" for a player
    // that dies.
    for (const char* mode : {"exit", "crash"}) {
        WritePackage(Show());
        EXPECT_TRUE(ExitedWith(Run(mode), 0)) << mode;
        EXPECT_TRUE(Exists(log_)) << mode;
        EXPECT_TRUE(scratch_.TempNames().empty()) << mode;
        std::remove(log_.c_str());
    }
}

TEST_F(PackageProcess, WithCleanZeroOnlyTheSlidesFilesStay) {
    for (const char* mode : {"clean", "exit"}) {
        std::vector<PackageItem> items = Show("CLEAN=0\r\n");
        items.push_back({"stray.bin", Placeholder(100, 9)});
        WritePackage(items);
        EXPECT_TRUE(ExitedWith(Run(mode), 0)) << mode;
        const std::string decorator = ReadLog(log_)["argv1"].substr(scratch_.temp().size() + 1);
        const std::string prefix = decorator.substr(0, decorator.size() - std::string(".show.ini").size());
        const std::vector<std::string> expected{prefix + ".a.jpg", prefix + ".a.wav", prefix + ".b.jpg"};
        EXPECT_EQ(scratch_.TempNames(), expected) << mode;
        EXPECT_EQ(ReadBytes(scratch_.temp() + "/" + prefix + ".b.jpg"), items[4].data);
        for (const std::string& name : expected) std::remove((scratch_.temp() + "/" + name).c_str());
        std::remove(log_.c_str());
    }
}

#ifndef _WIN32
// On Windows the name of a file the package process holds stays taken
// until it lets go, so no impostor can come in under it.
TEST_F(PackageProcess, AFileThatOnlyHasTheNameOfAnExtractedFileIsLeftAlone) {
    WritePackage(Show());
    EXPECT_TRUE(ExitedWith(Run("impostor"), 0));
    const std::vector<std::string> left = scratch_.TempNames();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].substr(left[0].size() - 6), ".a.jpg");
    EXPECT_EQ(ReadBytes(scratch_.temp() + "/" + left[0]), "impostor");
}
#endif

TEST_F(PackageProcess, APlainPlayerRunWithoutArgumentsDoesNothing) {
    // The extracted player carries no package: its count is that of a plain
    // program, so package mode refuses it and starts nothing.
    EXPECT_TRUE(ExitedWith(RunToEnd({TARN_TEST_PLAYER}, Settings("clean")), 0));
    EXPECT_FALSE(Exists(log_));
    EXPECT_TRUE(scratch_.TempNames().empty());
}

}  // namespace
