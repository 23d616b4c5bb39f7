// The wake-ups while clips play: one timer for all the clips that play,
// running from the first one's start to the last one's end.
#include <gtest/gtest.h>

#include <optional>

#include "platform/windows/clip_wakeups.h"

namespace {

using tarn::ClipWakeups;
using tarn::ClipWakeupsRunning;

TEST(ClipWakeups, TheTimerRunsWhileAnyClipPlaysAndStopsWithTheLast) {
    ASSERT_FALSE(ClipWakeupsRunning());
    ClipWakeups first;
    std::optional<ClipWakeups> second;
    second.emplace();
    first.On();
    first.On();  // a second On of the same clip is no second share
    second->On();
    EXPECT_TRUE(ClipWakeupsRunning());
    first.Off();
    EXPECT_TRUE(ClipWakeupsRunning()) << "the second clip still plays";
    first.Off();
    EXPECT_TRUE(ClipWakeupsRunning()) << "a second Off of the same clip takes no other share";
    second.reset();  // a clip let go while it plays
    EXPECT_FALSE(ClipWakeupsRunning());
    first.On();
    EXPECT_TRUE(ClipWakeupsRunning()) << "and again for the next clip";
    first.Off();
    EXPECT_FALSE(ClipWakeupsRunning());
}

}  // namespace
