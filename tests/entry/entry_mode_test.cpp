// The choice of role from the first argument.
#include <gtest/gtest.h>

#include <string>

#include "show/show_record.h"
#include "startup/entry_mode.h"

namespace {

TEST(EntryMode, NoEmptyOrBlankArgumentMeansPackageMode) {
    EXPECT_EQ(SelectEntryMode(nullptr), EntryMode::Package);
    EXPECT_EQ(SelectEntryMode(""), EntryMode::Package);
    EXPECT_EQ(SelectEntryMode("   "), EntryMode::Package);
    EXPECT_EQ(SelectEntryMode(" \t \t"), EntryMode::Package);
    EXPECT_EQ(SelectEntryMode("\r\n\x01\x1f "), EntryMode::Package);
}

TEST(EntryMode, AnyOtherTextIsAShowDescriptionPath) {
    EXPECT_EQ(SelectEntryMode("/tmp/KTZ1.tmp.stub.ini"), EntryMode::Player);
    EXPECT_EQ(SelectEntryMode("My Show.ini"), EntryMode::Player);
    EXPECT_EQ(SelectEntryMode("\"quoted\""), EntryMode::Player);
    EXPECT_EQ(SelectEntryMode("  x  "), EntryMode::Player);
    EXPECT_EQ(SelectEntryMode("\xe9"), EntryMode::Player);  // not a blank, whatever its sign
}

TEST(EntryMode, PathThatDoesNotFitTheRecordIsRefused) {
    const std::string longest(SHOW_PATH_BYTES - 1, 'a');
    EXPECT_EQ(SelectEntryMode(longest.c_str()), EntryMode::Player);
    EXPECT_EQ(SelectEntryMode((longest + "b").c_str()), EntryMode::Refused);
    // Blank padding still counts towards the length once there is a path.
    EXPECT_EQ(SelectEntryMode(("x" + std::string(SHOW_PATH_BYTES, ' ')).c_str()), EntryMode::Refused);
}

}  // namespace
