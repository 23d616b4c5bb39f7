// The pieces of tarnpack: entry names, the directory reader, the player
// image, the progress line.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "commands.h"
#include "entry_names.h"
#include "package/package_builder.h"
#include "package/scratch_folder.h"
#include "package_listing.h"
#include "player_image.h"

namespace {

using namespace tarn::test;
using namespace tarnpack;

TEST(EntryNames, NamesAreMadeSafeForExtractionAndForTheShowDescription) {
    EXPECT_EQ(SafeEntryName("photo 1.jpg"), "photo 1.jpg");
    EXPECT_EQ(SafeEntryName("a\\b.jpg"), "a_b.jpg");
    EXPECT_EQ(SafeEntryName("12:30.jpg"), "12_30.jpg");
    EXPECT_EQ(SafeEntryName("line\nbreak.jpg"), "line_break.jpg");
    EXPECT_EQ(SafeEntryName(" padded.jpg "), "_padded.jpg_");
    EXPECT_EQ(SafeEntryName("\"quoted\""), "_quoted_");
    EXPECT_EQ(SafeEntryName(".."), "_..");
    EXPECT_EQ(SafeEntryName("."), "_.");
    EXPECT_EQ(SafeEntryName(""), "_");
}

TEST(EntryNames, EachClaimIsDistinctRegardlessOfLetterCase) {
    EntryNamer namer;
    EXPECT_EQ(namer.Claim("photo.jpg"), "photo.jpg");
    EXPECT_EQ(namer.Claim("photo.jpg"), "photo-2.jpg");
    EXPECT_EQ(namer.Claim("PHOTO.JPG"), "PHOTO-3.JPG");
    EXPECT_EQ(namer.Claim("photo-2.jpg"), "photo-2-2.jpg");
    EXPECT_EQ(namer.Claim("README"), "README");
    EXPECT_EQ(namer.Claim("readme"), "readme-2");
    EXPECT_EQ(namer.Claim(".hidden"), ".hidden");
    EXPECT_EQ(namer.Claim(".hidden"), ".hidden-2");
}

TEST(PackageListingReader, TheSampleIsListedInDataOrderWithItsOffsets) {
    std::istringstream in(BuildPackage(SampleItems(), std::string(264, '\0')));
    const PackageListing listing = ReadPackageListing(in);
    ASSERT_EQ(listing.fault, PackageFault::None);
    ASSERT_EQ(listing.entries.size(), 10u);
    EXPECT_EQ(listing.entries[0].name, "stub.exe");
    EXPECT_EQ(listing.entries[0].offset, 0u);
    EXPECT_EQ(listing.entries[2].name, "P1000.jpg");
    EXPECT_EQ(listing.entries[2].offset, 307627u);
    EXPECT_EQ(listing.entries[9].offset, 517901u);
    EXPECT_EQ(listing.dataEnd, 539483u);
    EXPECT_EQ(listing.directoryOffset, 539747u);
    EXPECT_EQ(listing.fileLength, 542391u);
}

TEST(PackageListingReader, FaultsNameTheEntryAtFault) {
    std::istringstream bad(RawPackage("abcdef", {Record(3, "p"), Record(1, "s.ini"), Record(2, "x/y")}, 3));
    const PackageListing listing = ReadPackageListing(bad);
    EXPECT_EQ(listing.fault, PackageFault::NameSeparator);
    EXPECT_EQ(listing.faultyEntry, 2);
    EXPECT_TRUE(listing.entries.empty());
    EXPECT_NE(DescribeFault(listing).find("entry 2"), std::string::npos);

    std::istringstream tiny("ab");
    EXPECT_EQ(ReadPackageListing(tiny).fault, PackageFault::FileTooShort);
    std::istringstream plain(std::string(100, '\0'));
    EXPECT_EQ(ReadPackageListing(plain).fault, PackageFault::TooFewEntries);
}

TEST(PlayerImageTest, APlainPlayerIsTakenWholeAndAPackagedOneWithoutItsPackage) {
    ScratchFolder scratch;
    const std::string player = ReadBytes(TARN_TEST_PLAYER);
    PlayerImage image;
    std::string error;
    ASSERT_TRUE(FindPlayerImage(TARN_TEST_PLAYER, &image, &error)) << error;
    EXPECT_EQ(image.size, player.size());
    EXPECT_FALSE(image.stripped);

    const std::string packaged = scratch.outside() + "/packaged";
    WriteBytes(packaged, BuildPackage({{"player", player}, {"show.ini", "[SLIDES]"}, {"a.jpg", "a"}}));
    ASSERT_TRUE(FindPlayerImage(packaged, &image, &error)) << error;
    EXPECT_EQ(image.size, player.size());
    EXPECT_TRUE(image.stripped);

    const std::string text = scratch.outside() + "/text";
    WriteBytes(text, "#!/bin/sh\necho not our player\n");
    EXPECT_FALSE(FindPlayerImage(text, &image, &error));
    EXPECT_NE(error.find("is not a program"), std::string::npos);
    EXPECT_FALSE(FindPlayerImage(scratch.outside() + "/absent", &image, &error));
}

TEST(PlayerImageTest, AWindowsPlayerIsAProgramToo) {
    ScratchFolder scratch;
    std::string exe = "MZ";
    exe.resize(4096, '\x90');
    const std::string path = scratch.outside() + "/tarnplayer.exe";
    WriteBytes(path, exe);
    PlayerImage image;
    std::string error;
    ASSERT_TRUE(FindPlayerImage(path, &image, &error)) << error;
    EXPECT_EQ(image.size, exe.size());
    EXPECT_FALSE(LooksLikeProgram("ZM\x90\x90"));
}

class Progress : public ::testing::Test {
protected:
    int CreateShowOf(size_t bytes, bool progress) {
        WriteBytes(scratch_.outside() + "/clip.mp4", Placeholder(bytes, 5));
        WriteBytes(scratch_.outside() + "/show.ini", "[SLIDES]\r\nCount=1\r\nImage1000=clip.mp4\r\n");
        CreateOptions options;
        options.showPath = scratch_.outside() + "/show.ini";
        options.outputPath = scratch_.outside() + "/show.run";
        options.playerPath = TARN_TEST_PLAYER;
        options.showProgress = progress;
        return Create(options, out_, err_);
    }
    ScratchFolder scratch_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(Progress, ABigShowOnATerminalShowsItsProgressOnOneLine) {
    ASSERT_EQ(CreateShowOf(12u << 20, true), 0) << err_.str();
    const std::string line = err_.str();
    EXPECT_NE(line.find("\rtarnpack: writing"), std::string::npos);
    EXPECT_NE(line.find("100%"), std::string::npos);
    EXPECT_EQ(line.back(), '\n');
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line, redrawn";
}

TEST_F(Progress, SmallShowsAndNonTerminalsShowNone) {
    ASSERT_EQ(CreateShowOf(1u << 20, true), 0);
    EXPECT_EQ(err_.str(), "");
    ASSERT_EQ(CreateShowOf(12u << 20, false), 0);
    EXPECT_EQ(err_.str(), "");
}

}  // namespace
