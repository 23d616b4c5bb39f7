// A large show description with a large Count, read over and over: clean-up
// at the close walks up to 10000 slides and reads two keys of each, and the
// show reads names on every slide change. Each read once parsed the whole
// file again, so a 4 MiB description kept the closing player busy for
// hours (found by a timed probe of hostile show descriptions). Reads of a
// file that has not changed are now served from one parse; these tests
// check that they still see every change.
//
// The file system's times are real, not virtual: the files here are left
// to settle for a few real seconds once, as a show description does between
// the start of a show and its close.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "package/package_builder.h"
#include "package/scratch_folder.h"
#include "show/cleanup.h"
#include "show/show_record.h"

namespace {

using namespace tarn::test;

constexpr int32_t kSlides = 10000;

std::string Read(const char* section, const char* key, const std::string& file) {
    char value[512];
    GetPrivateProfileStringA(section, key, "absent", value, sizeof value, file.c_str());
    return value;
}

class LargeShowDescription : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch_ = new ScratchFolder;
        decorator_ = scratch_->temp() + "/KTZ42.tmp";
        description_ = decorator_ + ".show.ini";
        other_ = scratch_->temp() + "/other.ini";

        std::string text = "[OPTIONS]\r\nTempFileDecorator=" + decorator_ + "\r\n[SLIDES]\r\nCount=" +
                           std::to_string(kSlides) + "\r\n";
        for (const int32_t slide : {0, 1, kSlides - 1}) {
            text += "Image" + std::to_string(1000 + slide) + "=" + decorator_ + ".p" +
                    std::to_string(slide) + ".jpg\r\n";
        }
        // Four MiB of lines the show does not read.
        text += "[NOTES]\r\n";
        const std::string line = std::string(100, 'n') + "=note\r\n";
        while (text.size() < (4u << 20)) text += line;
        WriteBytes(description_, text);
        // The description is deleted at the close; the other tests read a copy.
        WriteBytes(scratch_->temp() + "/copy.ini", text);
        WriteBytes(other_, "[A]\r\nkey=first\r\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(3200));
    }
    static void TearDownTestSuite() {
        delete scratch_;
        scratch_ = nullptr;
    }

    static ScratchFolder* scratch_;
    static std::string decorator_;
    static std::string description_;
    static std::string other_;
};

ScratchFolder* LargeShowDescription::scratch_ = nullptr;
std::string LargeShowDescription::decorator_;
std::string LargeShowDescription::description_;
std::string LargeShowDescription::other_;

TEST_F(LargeShowDescription, TheCloseWalksEverySlideOfItAndDeletesTheShowsFiles) {
    std::memset(&g_Show, 0, sizeof g_Show);
    std::snprintf(g_Show.ShowDescriptionPath, sizeof g_Show.ShowDescriptionPath, "%s", description_.c_str());
    ReadShowSettings();
    ASSERT_EQ(g_Show.Count, kSlides);
    WriteBytes(decorator_, "");
    for (const int32_t slide : {0, 1, kSlides - 1}) {
        WriteBytes(decorator_ + ".p" + std::to_string(slide) + ".jpg", "picture");
    }
    CleanUpShowFiles();

    EXPECT_EQ(g_Show.CurrentSlide, kSlides - 1) << "the walk stopped early";
    EXPECT_EQ(scratch_->TempNames(), (std::vector<std::string>{"copy.ini", "other.ini"}));
}

TEST_F(LargeShowDescription, ASettledFileStillShowsEveryChangeAtTheNextRead) {
    ASSERT_EQ(Read("A", "key", other_), "first");
    ASSERT_EQ(Read("A", "key", other_), "first");  // from the same parse

    // Changed in place, same size, within the same second as the last read.
    {
        std::fstream file(other_, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(std::string("[A]\r\nkey=").size());
        file << "frost";
    }
    EXPECT_EQ(Read("A", "key", other_), "frost");

    // Replaced by a write, then by another file under the same name.
    ASSERT_TRUE(WritePrivateProfileStringA("A", "key", "second", other_.c_str()));
    EXPECT_EQ(Read("A", "key", other_), "second");
    const std::string replacement = other_ + ".new";
    WriteBytes(replacement, "[A]\r\nkey=third\r\n");
    ASSERT_EQ(rename(replacement.c_str(), other_.c_str()), 0);
    EXPECT_EQ(Read("A", "key", other_), "third");

    // Gone: every key reads as absent.
    ASSERT_EQ(unlink(other_.c_str()), 0);
    EXPECT_EQ(Read("A", "key", other_), "absent");
}

TEST_F(LargeShowDescription, TwoFilesReadInTurnEachGiveTheirOwnValues) {
    const std::string copy = scratch_->temp() + "/copy.ini";
    WriteBytes(other_, "[SLIDES]\r\nCount=3\r\n");
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(Read("SLIDES", "Count", copy), std::to_string(kSlides));
        EXPECT_EQ(Read("SLIDES", "Count", other_), "3");
        EXPECT_EQ(Read("slides", "image1001", copy), decorator_ + ".p1.jpg");
        EXPECT_EQ(Read("SLIDES", "Image1002", copy), "absent");
    }
}

}  // namespace
