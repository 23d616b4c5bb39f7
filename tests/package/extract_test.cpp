// Extraction of well-formed packages: layout, file names, record fields.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "package/package_builder.h"
#include "package/scratch_folder.h"
#include "platform/picture_handover.h"
#include "show/show_record.h"
#include "startup/launch.h"
#include "startup/package.h"
#include "startup/package_files.h"

namespace {

using namespace tarn::test;

class Extract : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(&g_Show, 0, sizeof g_Show);
        ForgetPackageFiles();
        packagePath_ = scratch_.outside() + "/show.pkg";
    }
    // The extraction's holds on its files go before the folder does.
    void TearDown() override {
        tarn::media::EndHandingOverPicture();
        ForgetPackageFiles();
    }

    int ExtractBytes(const std::string& bytes) {
        WriteBytes(packagePath_, bytes);
        return ExtractPackageFrom(packagePath_.c_str());
    }

    std::string Decorator() const { return g_Show.TempFileDecorator; }
    std::string Extracted(const std::string& name) const { return Decorator() + "." + name; }
    std::string DecoratorName() const { return Decorator().substr(scratch_.temp().size() + 1); }

    ScratchFolder scratch_;
    std::string packagePath_;
};

TEST_F(Extract, TheSamplePackageIsLaidOutByteForByteAsItsTableSays) {
    const std::vector<PackageItem> items = SampleItems();
    const std::string bytes = BuildPackage(items, std::string(264, '\0'));
    ASSERT_EQ(bytes.size(), 542391u);
    // The count stands at 542387 and the directory begins at 539747 with
    // the record of the last entry; the record next to the trailer is entry 0.
    int32_t count = 0;
    std::memcpy(&count, bytes.data() + 542387, 4);
    EXPECT_EQ(count, 10);
    PackageEntry first{}, last{};
    std::memcpy(&first, bytes.data() + 539747, sizeof first);
    std::memcpy(&last, bytes.data() + 542387 - 264, sizeof last);
    EXPECT_STREQ(first.name, "P1007.jpg");
    EXPECT_EQ(first.size, 21582u);
    EXPECT_STREQ(last.name, "stub.exe");
    EXPECT_EQ(last.size, 307200u);
    EXPECT_EQ(bytes.substr(517901, 21582), items[9].data) << "P1007.jpg's data at 517901";
    EXPECT_EQ(bytes.substr(539483, 264), std::string(264, '\0'));
}

TEST_F(Extract, TheSamplePackageLeavesTheDecoratorAndItsTenEntries) {
    const std::vector<PackageItem> items = SampleItems();
    const std::string bytes = BuildPackage(items, std::string(264, '\0'));
    ASSERT_EQ(ExtractBytes(bytes), 1);

    // The decorator: KTZ, up to four hexadecimal digits, .tmp; empty. On
    // Windows, where letter case is not significant to file names, the
    // system's own temporary names may use small letters.
#ifdef _WIN32
    const auto nameCase = std::regex::icase;
#else
    const auto nameCase = std::regex::ECMAScript;
#endif
    EXPECT_TRUE(std::regex_match(DecoratorName(), std::regex("KTZ[0-9A-F]{1,4}\\.tmp", nameCase)))
        << DecoratorName();
    EXPECT_EQ(ReadBytes(Decorator()), "");

    std::vector<std::string> expected{DecoratorName()};
    for (const PackageItem& item : items) expected.push_back(DecoratorName() + "." + item.name);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(scratch_.TempNames(), expected);

    for (const PackageItem& item : items) {
        EXPECT_EQ(ReadBytes(Extracted(item.name)), item.data) << item.name;
    }
    EXPECT_EQ(ReadBytes(Extracted("stub.exe")), bytes.substr(0, 307200));

    // The record's fields, and the table slots in data order.
    EXPECT_EQ(std::string(g_Show.PlayerPath), Extracted("stub.exe"));
    EXPECT_EQ(std::string(g_Show.ShowDescriptionPath), Extracted("stub.ini"));
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_STREQ(g_Show.Entries[i].name, items[i].name.c_str());
        EXPECT_EQ(g_Show.Entries[i].size, items[i].data.size());
    }
    EXPECT_EQ(ScratchFolder::Names(scratch_.outside()), std::vector<std::string>{"show.pkg"});
}

#ifndef _WIN32
// Windows knows a program by its name, not by a mode bit.
TEST_F(Extract, OnlyTheExtractedPlayerIsExecutable) {
    ASSERT_EQ(ExtractBytes(BuildPackage(SampleItems())), 1);
    EXPECT_TRUE(IsExecutable(Extracted("stub.exe")));
    for (const char* name : {"stub.ini", "P1000.jpg", "P1007.jpg"}) {
        EXPECT_FALSE(IsExecutable(Extracted(name))) << name;
    }
    EXPECT_FALSE(IsExecutable(Decorator()));
}
#endif

TEST_F(Extract, BytesBetweenTheDataAndTheDirectoryChangeNothing) {
    const std::vector<PackageItem> items = SampleItems();
    ASSERT_EQ(ExtractBytes(BuildPackage(items, Placeholder(264, 99))), 1);
    for (const PackageItem& item : items) {
        EXPECT_EQ(ReadBytes(Extracted(item.name)), item.data) << item.name;
    }
}

TEST_F(Extract, NinetyNineEntriesAreAcceptedAndEmptyEntriesGiveEmptyFiles) {
    std::vector<PackageItem> items{{"player", "\x7f" "ELF"}, {"show.ini", "[SLIDES]\r\n"}};
    for (int i = 2; i < 99; ++i) {
        items.push_back({"f" + std::to_string(i), i % 3 == 0 ? "" : Placeholder(i * 7, i)});
    }
    ASSERT_EQ(ExtractBytes(BuildPackage(items)), 1);
    EXPECT_EQ(scratch_.TempNames().size(), 100u);
    for (const PackageItem& item : items) {
        EXPECT_EQ(ReadBytes(Extracted(item.name)), item.data) << item.name;
    }
}

TEST_F(Extract, EntriesLargerThanOneCopyChunkArriveWhole) {
    const std::vector<PackageItem> items{{"player", Placeholder(3 * 65536 + 17, 1)},
                                         {"show.ini", Placeholder(65536, 2)},
                                         {"clip.mp4", Placeholder(65535, 3)}};
    ASSERT_EQ(ExtractBytes(BuildPackage(items)), 1);
    for (const PackageItem& item : items) {
        EXPECT_EQ(ReadBytes(Extracted(item.name)), item.data) << item.name;
    }
}

TEST_F(Extract, ALaterEntryOfTheSameNameReplacesTheEarlierFile) {
    const std::vector<PackageItem> items{{"player", "image"},
                                         {"show.ini", "[SLIDES]"},
                                         {"a.jpg", "first"},
                                         {"a.jpg", "second, longer"},
                                         {"b.jpg", "b"}};
    ASSERT_EQ(ExtractBytes(BuildPackage(items)), 1);
    EXPECT_EQ(ReadBytes(Extracted("a.jpg")), "second, longer");
    EXPECT_EQ(ReadBytes(Extracted("b.jpg")), "b") << "the copy went on at the right place";
    EXPECT_EQ(scratch_.TempNames().size(), 5u);
}

TEST_F(Extract, EntriesZeroAndOneOfTheSameNameShareOneFile) {
    const std::vector<PackageItem> items{{"same", "the player"}, {"same", "[SLIDES]\r\nCount=0\r\n"}};
    ASSERT_EQ(ExtractBytes(BuildPackage(items)), 1);
    EXPECT_STREQ(g_Show.PlayerPath, g_Show.ShowDescriptionPath);
    EXPECT_EQ(ReadBytes(g_Show.PlayerPath), items[1].data);
#ifndef _WIN32
    EXPECT_FALSE(IsExecutable(g_Show.PlayerPath)) << "only entry 0's own file is made executable";
#endif
}

#ifndef _WIN32
// On Windows a deleted name stays taken while the extraction holds the
// file, so no other file can come in under it; and users make no links.
TEST_F(Extract, TheDeletionOfExtractedFilesSparesAFileThatReplacedOne) {
    ASSERT_EQ(ExtractBytes(BuildPackage(SampleItems())), 1);
    // Someone replaces one extracted file by a file of their own, and another
    // by a link to a file outside.
    const std::string replaced = Extracted("P1000.jpg");
    const std::string linked = Extracted("P1001.jpg");
    const std::string target = scratch_.outside() + "/precious.jpg";
    WriteBytes(target, "precious");
    ASSERT_EQ(unlink(replaced.c_str()), 0);
    WriteBytes(replaced, "theirs");
    ASSERT_EQ(unlink(linked.c_str()), 0);
    ASSERT_EQ(symlink(target.c_str(), linked.c_str()), 0);

    DeletePackageFiles(nullptr);
    std::vector<std::string> expected{DecoratorName() + ".P1000.jpg", DecoratorName() + ".P1001.jpg"};
    EXPECT_EQ(scratch_.TempNames(), expected);
    EXPECT_EQ(ReadBytes(replaced), "theirs");
    EXPECT_EQ(ReadBytes(target), "precious");
}
#endif

TEST_F(Extract, DeletionKeepsTheMarkedEntries) {
    ASSERT_EQ(ExtractBytes(BuildPackage(SampleItems())), 1);
    bool keep[PACKAGE_MAX_ENTRIES] = {};
    keep[3] = true;
    DeletePackageFiles(keep);
    EXPECT_EQ(scratch_.TempNames(), std::vector<std::string>{DecoratorName() + ".P1001.jpg"});
}

}  // namespace

#ifndef _WIN32
// The first slide's picture starts decoding for the player once it is out:
// the file that the rewritten show description names for the first slide.
// (A Windows player decodes it itself.)
TEST_F(Extract, TheFirstSlidesPictureIsHandedOverUnderTheNameThePlayerReads) {
    ASSERT_EQ(ExtractBytes(BuildPackage(SampleItems())), 1);
    const std::string handed = tarn::media::PictureBeingHandedOver();
    EXPECT_EQ(handed, Extracted("P1000.jpg"));
    ASSERT_EQ(RewriteShowDescription(), 1);
    char first[SHOW_PATH_BYTES] = {};
    ReadImageNameAt(0, first, sizeof first);
    EXPECT_EQ(handed, std::string(first));
}
#endif

// A first slide that names no entry, or no JPEG, starts nothing.
TEST_F(Extract, NothingIsHandedOverWithoutAFirstJpegOfThePackage) {
    for (const char* name : {"missing.jpg", "P1001.png"}) {
        std::vector<PackageItem> items = SampleItems();
        items[3].name = "P1001.png";
        std::string ini = SampleShowDescription();
        ini.replace(ini.find("=P1000.jpg"), 10, std::string("=") + name);
        items[1].data = ini;
        ASSERT_EQ(ExtractBytes(BuildPackage(items)), 1) << name;
        EXPECT_EQ(tarn::media::PictureBeingHandedOver(), "") << name;
        tarn::media::EndHandingOverPicture();
        ForgetPackageFiles();
        std::memset(&g_Show, 0, sizeof g_Show);
    }
}
