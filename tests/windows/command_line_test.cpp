// The entry's view of the command line: the program name removed, then the
// split on spaces.
#include <gtest/gtest.h>

#include <string>

#include "platform/windows/command_line.h"

namespace {

using tarn::ReceivedCommandLine;
using tarn::SplitCommandLine;

// The first token of the text the entry receives from `full`.
std::string FirstToken(const char* full) {
    std::string received = ReceivedCommandLine(full);
    const char* first = SplitCommandLine(received.data());
    return first != nullptr ? first : "<none>";
}

TEST(ReceivedCommandLine, ProgramNameAndTheBlanksAfterItAreRemoved) {
    EXPECT_STREQ(ReceivedCommandLine("player.exe"), "");
    EXPECT_STREQ(ReceivedCommandLine("player.exe  \t show.ini x"), "show.ini x");
    // An unquoted name ends at any character of code 0x20 or below.
    EXPECT_STREQ(ReceivedCommandLine("player.exe\tshow.ini"), "show.ini");
    EXPECT_STREQ(ReceivedCommandLine("player.exe\x01show.ini"), "show.ini");
    // A quoted name runs to its closing quote, spaces and all; what follows
    // the quote belongs to the argument.
    EXPECT_STREQ(ReceivedCommandLine("\"C:\\My Shows\\player.exe\" a.ini"), "a.ini");
    EXPECT_STREQ(ReceivedCommandLine("\"C:\\p.exe\"b.ini c"), "b.ini c");
    EXPECT_STREQ(ReceivedCommandLine("\"C:\\never closed a.ini"), "");
    EXPECT_STREQ(ReceivedCommandLine(""), "");
}

TEST(SplitCommandLine, OnlyTheSpaceSeparatesAndTheTextIsSplitInPlace) {
    char text[] = "D:\\Shows\\My Show.ini";
    EXPECT_EQ(SplitCommandLine(text), text);
    EXPECT_STREQ(text, "D:\\Shows\\My");
    EXPECT_STREQ(text + 12, "Show.ini");  // the space became the NUL

    EXPECT_EQ(FirstToken("p.exe a\tb.ini"), "a\tb.ini");
    EXPECT_EQ(FirstToken("p.exe \"C:\\My Show.ini\""), "\"C:\\My");
    EXPECT_EQ(FirstToken("p.exe first.ini second.ini third"), "first.ini");
}

TEST(SplitCommandLine, NoTokenMeansPackageMode) {
    EXPECT_EQ(FirstToken("p.exe"), "<none>");
    EXPECT_EQ(FirstToken("p.exe     "), "<none>");
    EXPECT_EQ(FirstToken("p.exe \t  \t "), "<none>");
    char spaces[] = "    ";
    EXPECT_EQ(SplitCommandLine(spaces), nullptr);
}

TEST(SplitCommandLine, DoubleByteCharactersAreSteppedOverWhole) {
    // Shift-JIS: 0x82 0xA0 is one character; a lead byte at the very end
    // is taken alone and the split stops at the NUL.
    char text[] = "\x82\xa0" "a \x82\xa0" "b";
    EXPECT_EQ(SplitCommandLine(text, 932), text);
    EXPECT_STREQ(text, "\x82\xa0" "a");
    char lone[] = "ab\x82";
    EXPECT_STREQ(SplitCommandLine(lone, 932), "ab\x82");
    // A quoted program name with a double-byte character ends at its quote.
    EXPECT_STREQ(ReceivedCommandLine("\"C:\\\x82\xa0.exe\" x.ini", 932), "x.ini");
}

}  // namespace
