// The player's clean-up at the close of a show, in a temporary folder that
// also holds other users' files. A show description is text anyone can
// write: whatever it names, a file that belongs to another user is never
// deleted, even by a player that runs with the right to delete it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hostile/hostile_folder.h"
#include "package/package_builder.h"
#include "package/scratch_folder.h"
#include "show/cleanup.h"
#include "show/show_record.h"

namespace {

using namespace tarn::test;

class OtherUsersFiles : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CanGiveFilesAway() || !OtherUser(&nobody_, &nogroup_)) {
            GTEST_SKIP() << "needs root and a user \"nobody\" to plant another user's files";
        }
        std::memset(&g_Show, 0, sizeof g_Show);
        decorator_ = scratch_.temp() + "/KTZ77.tmp";
        description_ = decorator_ + ".show.ini";
    }

    std::string Temp(const std::string& name) const { return scratch_.temp() + "/" + name; }

    void Ours(const std::string& path) { WriteBytes(path, "ours"); }
    void Theirs(const std::string& path) {
        WriteBytes(path, "theirs");
        ASSERT_EQ(chown(path.c_str(), nobody_, nogroup_), 0);
    }

    // Plays the part of the player: reads the show description as a show
    // start does, then closes the show. `theirs`: the show description
    // itself belongs to the other user.
    void CloseShow(const std::string& text, bool theirs = false) {
        WriteBytes(description_, text);
        if (theirs) {
            ASSERT_EQ(chown(description_.c_str(), nobody_, nogroup_), 0);
        }
        std::snprintf(g_Show.ShowDescriptionPath, sizeof g_Show.ShowDescriptionPath, "%s",
                      description_.c_str());
        ReadShowSettings();
        ReadBackgroundSound();
        CleanUpShowFiles();
    }

    void ExpectTheirs(const std::string& path) {
        if (OwnerOf(path) != nobody_) {
            ADD_FAILURE() << path << " was deleted or replaced";
            return;
        }
        EXPECT_EQ(ReadBytes(path), "theirs") << path;
    }

    ScratchFolder scratch_{FastScratchBase()};
    uid_t nobody_ = 0;
    gid_t nogroup_ = 0;
    std::string decorator_;
    std::string description_;
};

TEST_F(OtherUsersFiles, ASlidesPicturesAndSoundsOfAnotherUserStay) {
    Ours(decorator_);
    Ours(decorator_ + ".a.jpg");
    Ours(decorator_ + ".a.wav");
    Theirs(decorator_ + ".b.jpg");
    Theirs(decorator_ + ".b.wav");
    Theirs(decorator_ + ".tune.mp3");

    CloseShow("[OPTIONS]\r\nTempFileDecorator=" + decorator_ + "\r\nBackgroundSound=" + decorator_ +
              ".tune.mp3\r\n[SLIDES]\r\nCount=2\r\nImage1000=" + decorator_ + ".a.jpg\r\nSound1000=" +
              decorator_ + ".a.wav\r\nImage1001=" + decorator_ + ".b.jpg\r\nSound1001=" + decorator_ +
              ".b.wav\r\n");

    // The show's own files went, the description last.
    EXPECT_EQ(scratch_.TempNames(),
              (std::vector<std::string>{"KTZ77.tmp.b.jpg", "KTZ77.tmp.b.wav", "KTZ77.tmp.tune.mp3"}));
    ExpectTheirs(decorator_ + ".b.jpg");
    ExpectTheirs(decorator_ + ".b.wav");
    ExpectTheirs(decorator_ + ".tune.mp3");
}

TEST_F(OtherUsersFiles, ADecoratorAndShowDescriptionOfAnotherUserStay) {
    // Someone else's show in the same folder: its decorator, its slide and
    // the show description itself are theirs.
    Theirs(decorator_);
    Theirs(decorator_ + ".a.jpg");
    CloseShow("[OPTIONS]\r\nTempFileDecorator=" + decorator_ + "\r\n[SLIDES]\r\nCount=1\r\nImage1000=" +
                  decorator_ + ".a.jpg\r\n",
              /*theirs=*/true);

    ExpectTheirs(decorator_);
    ExpectTheirs(decorator_ + ".a.jpg");
    EXPECT_EQ(OwnerOf(description_), nobody_) << "another user's show description was deleted";
}

TEST_F(OtherUsersFiles, ALinkNamedAsASlideIsRemovedButWhatItLeadsToStays) {
    Ours(decorator_);
    const std::string theirs = scratch_.outside() + "/theirs.jpg";
    Theirs(theirs);
    const std::string ours = scratch_.outside() + "/ours.jpg";
    Ours(ours);
    ASSERT_EQ(symlink(theirs.c_str(), (decorator_ + ".a.jpg").c_str()), 0);
    ASSERT_EQ(symlink(ours.c_str(), (decorator_ + ".b.jpg").c_str()), 0);

    CloseShow("[OPTIONS]\r\nTempFileDecorator=" + decorator_ + "\r\n[SLIDES]\r\nCount=2\r\nImage1000=" +
              decorator_ + ".a.jpg\r\nImage1001=" + decorator_ + ".b.jpg\r\n");

    ExpectTheirs(theirs);
    EXPECT_EQ(ReadBytes(ours), "ours");
    EXPECT_TRUE(scratch_.TempNames().empty()) << "the show's own links were left";
}

}  // namespace
