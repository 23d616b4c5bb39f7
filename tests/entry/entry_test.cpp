// The entry in player mode up to the point where a screen is needed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "kernel/scratch_folder.h"
#include "platform/cannot_play.h"
#include "platform/win32.h"
#include "show/sample_show.h"
#include "show/show_record.h"
#include "startup/entry.h"
#include "ui/show_window.h"

namespace {

using tarn::test::SampleShowDescription;
using tarn::test::ScratchFolder;
using tarn::test::WriteBytes;

class Entry : public ::testing::Test {
protected:
    void SetUp() override {
        // No screen can be opened: the player must end before any window.
        ::setenv("SDL_VIDEODRIVER", "no-such-video-driver", 1);
        LoadDefaultPaths();
        defaultPath = g_Show.ShowDescriptionPath;
        g_Show.Count = -77;  // ReadShowSettings would replace it
    }

    ScratchFolder folder;
    std::string defaultPath;
};

TEST_F(Entry, TooLongPathEndsWithoutAShow) {
    const std::string path = folder / std::string(SHOW_PATH_BYTES, 'p');
    EXPECT_EQ(TarnPlayerEntry(GetModuleHandleA(nullptr), path.c_str(), SW_SHOWDEFAULT), 0);
    EXPECT_EQ(std::string(g_Show.ShowDescriptionPath), defaultPath);
    EXPECT_EQ(g_Show.Count, -77);
    EXPECT_EQ(g_ShowWindow, nullptr);
}

#ifndef _WIN32
// Windows always has a desktop, so there the entry would go on to play the
// show; and its file names hold no quotes. The Windows command line's own
// reading is tested with the Windows pieces.
TEST_F(Entry, PathIsTakenWholeAndItsSettingsRead) {
    // Spaces, a tab and quotes all belong to the path.
    const std::string path = folder / "My \"Show\"\t1.ini";
    WriteBytes(path, SampleShowDescription());
    // Without a screen the player cannot play at all, and says so.
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(TarnPlayerEntry(GetModuleHandleA(nullptr), path.c_str(), SW_SHOWDEFAULT), tarn::kCannotPlayStatus);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("tarnplayer: cannot show the slides", 0), 0u) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
    EXPECT_EQ(std::string(g_Show.ShowDescriptionPath), path);
    EXPECT_EQ(g_Show.Count, 8);
    EXPECT_EQ(g_Show.DelayBetweenSlidesInMilliseconds, 6000);
    EXPECT_EQ(g_ShowWindow, nullptr);
}
#endif

}  // namespace
