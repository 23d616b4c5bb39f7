// Names planted in the temporary folder before extraction: links and other
// users' files under every name the temp decorator, and the files beside
// it, may take. Extraction never writes through them, never changes or
// deletes them, and leaves nothing of its own when it gives up.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "hostile/hostile_folder.h"
#include "package/package_builder.h"
#include "package/scratch_folder.h"
#include "startup/package.h"
#include "startup/package_files.h"

namespace {

using namespace tarn::test;

const std::vector<PackageItem>& Items() {
    static const std::vector<PackageItem> items{
        {"player", std::string("\x7f" "ELF-player", 11)},
        {"show.ini", "[OPTIONS]\r\nDelayBetweenSlidesInMilliseconds=6000\r\n[SLIDES]\r\nCount=1\r\n"
                     "Image1000=a.jpg\r\n"},
        {"a.jpg", "picture"}};
    return items;
}

class PlantedNames : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(&g_Show, 0, sizeof g_Show);
        ForgetPackageFiles();
        package_ = scratch_.outside() + "/show.pkg";
        precious_ = scratch_.outside() + "/precious.txt";
        WriteBytes(package_, BuildPackage(Items()));
        WriteBytes(precious_, "precious");
    }
    void TearDown() override {
        DeletePackageFiles(nullptr);
        ForgetPackageFiles();
    }

    // Everything beside the temporary folder is as the test made it.
    void ExpectOutsideUntouched() {
        EXPECT_EQ(ReadBytes(precious_), "precious");
        EXPECT_EQ(ScratchFolder::Names(scratch_.outside()),
                  (std::vector<std::string>{"precious.txt", "show.pkg"}));
    }

    ScratchFolder scratch_{FastScratchBase()};
    std::string package_;
    std::string precious_;
};

TEST_F(PlantedNames, LinksUnderEveryDecoratorNameAreNeitherFollowedNorTouched) {
    // Half of them lead to a file outside, half nowhere (a write through a
    // dangling link would create its target).
    const std::string absent = scratch_.outside() + "/made-through-a-link";
    for (unsigned number = 1; number <= kDecoratorNumbers; ++number) {
        const std::string& target = number % 2 ? precious_ : absent;
        ASSERT_EQ(symlink(target.c_str(), DecoratorName(scratch_.temp(), number).c_str()), 0);
    }

    EXPECT_EQ(ExtractPackageFrom(package_.c_str()), 0);

    ExpectOutsideUntouched();
    const std::vector<std::string> names = scratch_.TempNames();
    ASSERT_EQ(names.size(), kDecoratorNumbers) << "extraction left files of its own";
    for (unsigned number = 1; number <= kDecoratorNumbers; ++number) {
        const std::string& target = number % 2 ? precious_ : absent;
        ASSERT_TRUE(IsLinkTo(DecoratorName(scratch_.temp(), number), target)) << number;
    }
}

TEST_F(PlantedNames, TheOneFreeDecoratorNameIsTakenAndTheLinksAroundItStay) {
    constexpr unsigned kFree = 0x1234;
    for (unsigned number = 1; number <= kDecoratorNumbers; ++number) {
        if (number == kFree) continue;
        ASSERT_EQ(symlink(precious_.c_str(), DecoratorName(scratch_.temp(), number).c_str()), 0);
    }

    ASSERT_EQ(ExtractPackageFrom(package_.c_str()), 1);
    const std::string decorator = DecoratorName(scratch_.temp(), kFree);
    EXPECT_EQ(std::string(g_Show.TempFileDecorator), decorator);
    EXPECT_EQ(ReadBytes(decorator + ".a.jpg"), "picture");
    ExpectOutsideUntouched();

    // The package process's own deletion takes its files and nothing else.
    DeletePackageFiles(nullptr);
    ForgetPackageFiles();
    EXPECT_EQ(scratch_.TempNames().size(), kDecoratorNumbers - 1);
    for (unsigned number = 1; number <= kDecoratorNumbers; number += 0x111) {
        if (number != kFree) {
            EXPECT_TRUE(IsLinkTo(DecoratorName(scratch_.temp(), number), precious_));
        }
    }
    ExpectOutsideUntouched();
}

TEST_F(PlantedNames, AnotherUsersFilesUnderEveryEntryNameStayAsTheyWere) {
    uid_t nobody = 0;
    gid_t nogroup = 0;
    if (!CanGiveFilesAway() || !OtherUser(&nobody, &nogroup)) {
        GTEST_SKIP() << "needs root and a user \"nobody\" to plant another user's files";
    }
    // Whatever decorator extraction picks, the show description's name
    // beside it is already another user's file.
    for (unsigned number = 1; number <= kDecoratorNumbers; ++number) {
        const std::string path = DecoratorName(scratch_.temp(), number, ".show.ini");
        WriteBytes(path, "theirs");
        ASSERT_EQ(chown(path.c_str(), nobody, nogroup), 0);
    }

    EXPECT_EQ(ExtractPackageFrom(package_.c_str()), 0);

    ExpectOutsideUntouched();
    // Extraction gave up at the show description: its decorator and the
    // player it had written are gone, the planted files are all there.
    const std::vector<std::string> names = scratch_.TempNames();
    ASSERT_EQ(names.size(), kDecoratorNumbers);
    for (unsigned number = 1; number <= kDecoratorNumbers; ++number) {
        const std::string path = DecoratorName(scratch_.temp(), number, ".show.ini");
        ASSERT_EQ(OwnerOf(path), nobody) << path;
        ASSERT_EQ(ReadBytes(path), "theirs") << path;
    }
}

TEST_F(PlantedNames, FilesAndLinksUnderTheLastEntrysNameStopExtractionAndUndoIt) {
    // The player and the show description are written before the last
    // entry meets the planted name; giving up removes them again. Planted
    // for every possible decorator, as plain files and as links.
    for (unsigned number = 1; number <= kDecoratorNumbers; ++number) {
        const std::string path = DecoratorName(scratch_.temp(), number, ".a.jpg");
        if (number % 2) {
            WriteBytes(path, "planted");
        } else {
            ASSERT_EQ(symlink(precious_.c_str(), path.c_str()), 0);
        }
    }

    EXPECT_EQ(ExtractPackageFrom(package_.c_str()), 0);

    ExpectOutsideUntouched();
    ASSERT_EQ(scratch_.TempNames().size(), kDecoratorNumbers);
    for (unsigned number = 1; number <= kDecoratorNumbers; number += 2) {
        ASSERT_EQ(ReadBytes(DecoratorName(scratch_.temp(), number, ".a.jpg")), "planted");
    }
}

}  // namespace
