// tarnpack create on a folder or a list of files, as authors run it: the
// package it builds, the description it writes, its usage errors and its
// progress on a terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/kernel/profile_text.h"
#include "tarnpack_tool.h"

namespace {

using namespace tarn::test;
namespace fs = std::filesystem;

class TarnpackFolder : public TarnpackTool {
protected:
    void SetUp() override {
        TarnpackTool::SetUp();
        Put(show_ + "/img10.jpg", Placeholder(3000, 1));
        Put(show_ + "/img2.png", Placeholder(2000, 2));
        Put(show_ + "/img2.wav", Placeholder(500, 3));
        Put(show_ + "/clip.mp4", Placeholder(4000, 4));
        Put(show_ + "/notes.txt", "not a slide");
        Put(scratch_.root() + "/elsewhere/tune.mp3", Placeholder(700, 5));
    }
    std::string FirstLine() {
        const std::string all = Output();
        return all.substr(0, all.find('\n'));
    }
};

TEST_F(TarnpackFolder, AFolderBecomesAShowAndItsWrittenDescriptionPacksTheSamePackage) {
    const std::string ini = show_ + "/show.ini";
    ASSERT_TRUE(ExitedWith(Run({"create", show_, "-o", output_, "--player", TARN_TEST_PLAYER, "--delay", "3000",
                                "--first-delay=9000", "--music", scratch_.root() + "/elsewhere/tune.mp3",
                                "--wait-for-sound", "--splash", "--write-ini", ini}),
                           0))
        << Output();
    EXPECT_NE(Output().find("tarnpack: left out " + show_ + "/notes.txt (not a picture, clip or sound)\n"),
              std::string::npos)
        << Output();

    // The description as written for the author: names relative to it.
    const std::string written = ReadBytes(ini);
    auto value = [&](const char* section, const char* key) {
        return tarn::profile::FindValue(written, section, key).value_or("<absent>");
    };
    EXPECT_EQ(value("SLIDES", "Count"), "3");
    EXPECT_EQ(value("SLIDES", "Image1000"), "clip.mp4");
    EXPECT_EQ(value("SLIDES", "Image1001"), "img2.png");
    EXPECT_EQ(value("SLIDES", "Sound1001"), "img2.wav");
    EXPECT_EQ(value("SLIDES", "Image1002"), "img10.jpg");
    EXPECT_EQ(value("SLIDES", "Delay1000"), "9000");
    EXPECT_EQ(value("OPTIONS", "BackgroundSound"), "../elsewhere/tune.mp3");
    EXPECT_EQ(value("OPTIONS", "AdvanceMethod"), "6");
    EXPECT_EQ(value("OPTIONS", "SoundOptions"), "32");
    EXPECT_EQ(value("OPTIONS", "ShowSplash"), "1");

    // The package: every file once, the description naming entries.
    ExtractWithPlayer(output_);
    EXPECT_EQ(g_PackageFiles.count, 7);
    EXPECT_EQ(ReadBytes(Extracted("img2.wav")), ReadBytes(show_ + "/img2.wav"));
    EXPECT_EQ(ReadBytes(Extracted("tune.mp3")), ReadBytes(scratch_.root() + "/elsewhere/tune.mp3"));
    const std::string packed = ReadBytes(Extracted("show.ini"));
    EXPECT_NE(packed.find("BackgroundSound=tune.mp3\r\n"), std::string::npos) << packed;
    EXPECT_NE(packed.find("Image1001=img2.png\r\nSound1001=img2.wav\r\n"), std::string::npos) << packed;
    DeletePackageFiles(nullptr);

    // Packed again from the written description, from another folder: the
    // same package, byte for byte.
    const std::string again = scratch_.root() + "/again.run";
    ASSERT_TRUE(ExitedWith(Run({"create", ini, "-o", again, "--player", TARN_TEST_PLAYER}, scratch_.root() + "/elsewhere"),
                           0))
        << Output();
    EXPECT_TRUE(ReadBytes(again) == ReadBytes(output_)) << "the two packages differ";
    ExpectNoLeftovers();
}

TEST_F(TarnpackFolder, AListOfFilesInTheDateOrder) {
    // No EXIF dates: the files' times, img10 two days older.
    fs::last_write_time(show_ + "/img10.jpg", fs::file_time_type::clock::now() - std::chrono::hours(48));
    ASSERT_TRUE(ExitedWith(Run({"create", "img10.jpg", "img2.png", "img2.wav", "-o", output_, "--player",
                                TARN_TEST_PLAYER, "--order", "date"},
                               show_),
                           0))
        << Output();
    ExtractWithPlayer(output_);
    EXPECT_EQ(g_PackageFiles.count, 5);
    const std::string packed = ReadBytes(Extracted("show.ini"));
    EXPECT_NE(packed.find("Image1000=img10.jpg\r\nSound1000=\r\nImage1001=img2.png\r\nSound1001=img2.wav\r\n"),
              std::string::npos)
        << packed;
    EXPECT_EQ(packed.find("clip.mp4"), std::string::npos) << "only the files named";
    DeletePackageFiles(nullptr);
}

TEST_F(TarnpackFolder, UsageMistakesExitWithTwoAndOneLineNamingThem) {
    Put(show_ + "/show.ini", "[SLIDES]\r\nCount=1\r\nImage1000=img10.jpg\r\n");
    struct Case {
        std::vector<std::string> arguments;
        const char* message;
    };
    const std::vector<Case> cases = {
        {{"create", show_, "-o", output_, "--delay", "soon"}, "--delay needs a number of milliseconds"},
        {{"create", show_, "-o", output_, "--delay", "0"}, "not 0"},
        {{"create", show_, "-o", output_, "--first-delay", "99999999999"}, "--first-delay needs a number"},
        {{"create", show_, "-o", output_, "--order", "size"}, "--order is name or date, not size"},
        {{"create", show_, "-o", output_, "--music"}, "option --music needs a value"},
        {{"create", show_, "-o", output_, "--splash=yes"}, "option --splash takes no value"},
        {{"create", show_}, "create needs -o OUTPUT"},
        {{"create", "-o", output_}, "create needs a show description, a folder or files"},
        {{"create", show_ + "/show.ini", "-o", output_, "--delay", "2000"}, "--delay is for a show made from a folder"},
        {{"create", show_ + "/img10.jpg", show_ + "/show.ini", "-o", output_}, "a show description is packed alone"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(ExitedWith(Run(c.arguments), 2)) << c.message;
        EXPECT_EQ(FirstLine().rfind("tarnpack: ", 0), 0u) << FirstLine();
        EXPECT_NE(FirstLine().find(c.message), std::string::npos) << c.message << ": " << Output();
        EXPECT_NE(Output().find("usage: tarnpack create"), std::string::npos);
    }
    EXPECT_FALSE(Exists(output_));

    EXPECT_TRUE(ExitedWith(Run({"--version"}), 0));
    EXPECT_EQ(Output().rfind("tarnpack ", 0), 0u) << Output();
    EXPECT_TRUE(ExitedWith(Run({"--help"}), 0));
    for (const char* option : {"--delay MS", "--first-delay MS", "--music FILE", "--wait-for-sound", "--splash",
                               "--order name|date", "--write-ini FILE"}) {
        EXPECT_NE(Output().find(option), std::string::npos) << option;
    }
}

TEST_F(TarnpackFolder, ErrorsOfTheFilesExitWithOneAndNameTheFile) {
    EXPECT_TRUE(ExitedWith(Run({"create", show_ + "/img10.jpg", show_ + "/gone.jpg", "-o", output_}), 1));
    EXPECT_EQ(FirstLine().rfind("tarnpack: " + show_ + "/gone.jpg: ", 0), 0u) << Output();
    EXPECT_TRUE(ExitedWith(Run({"create", show_, "-o", output_, "--music", show_ + "/gone.mp3"}), 1));
    EXPECT_NE(FirstLine().find(show_ + "/gone.mp3"), std::string::npos) << Output();
    EXPECT_TRUE(ExitedWith(Run({"create", scratch_.root() + "/elsewhere", "-o", output_}), 1));
    EXPECT_NE(Output().find("no pictures or clips in " + scratch_.root() + "/elsewhere"), std::string::npos)
        << Output();
    // The written description never takes the place of a slide or the output.
    EXPECT_TRUE(ExitedWith(Run({"create", show_, "-o", output_, "--player", TARN_TEST_PLAYER, "--write-ini",
                                show_ + "/img2.png"}),
                           1));
    EXPECT_EQ(ReadBytes(show_ + "/img2.png"), Placeholder(2000, 2));
    EXPECT_TRUE(ExitedWith(Run({"create", show_, "-o", output_, "--player", TARN_TEST_PLAYER, "--write-ini", output_}),
                           1));
    EXPECT_FALSE(Exists(output_));
    ExpectNoLeftovers();
}

// A show big enough to take a moment: on a terminal (a pseudo-terminal made
// by script(1)) one line is redrawn with the entry and the bytes; into a
// file, nothing.
TEST_F(TarnpackFolder, ProgressShowsOnATerminalAndNotInAFile) {
    Put(show_ + "/big.mp4", Placeholder(12u << 20, 6));
    const std::string command = std::string("'") + TARN_TARNPACK + "' create '" + show_ + "' -o '" + output_ +
                                "' --player '" + TARN_TEST_PLAYER + "'";
    ASSERT_TRUE(ExitedWith(RunToEnd({"/usr/bin/script", "-qec", command, "/dev/null"}, {}, log_), 0)) << Output();
    const std::string terminal = Output();
    EXPECT_NE(terminal.find("\rtarnpack: writing " + output_), std::string::npos) << terminal;
    EXPECT_NE(terminal.find("MiB) big.mp4"), std::string::npos) << "the entry being written";
    EXPECT_NE(terminal.find("100% ("), std::string::npos);
    EXPECT_NE(terminal.find(" MiB) "), std::string::npos) << "the bytes in all";

    ASSERT_TRUE(ExitedWith(Run({"create", show_, "-o", output_, "--player", TARN_TEST_PLAYER}), 0));
    EXPECT_EQ(Output().find("writing"), std::string::npos) << Output();
    EXPECT_EQ(Output().find('\r'), std::string::npos);
}

}  // namespace
