// The command line that starts the extracted player: a temporary folder
// whose path holds a space must still hand over the whole show description.
#include <gtest/gtest.h>

#include <string>

#include "kernel/scratch_folder.h"
#include "platform/win32.h"
#include "platform/windows/command_line.h"
#include "platform/windows/launch_command.h"

namespace {

using tarn::BuildLaunchCommand;
using tarn::LaunchCommand;
using tarn::test::ScratchFolder;
using tarn::test::WriteBytes;

// The show description path the started player sees as its first token.
std::string PlayersFirstToken(const LaunchCommand& command) {
    std::string received = tarn::ReceivedCommandLine(command.line);
    const char* first = tarn::SplitCommandLine(received.data());
    return first != nullptr ? first : "";
}

// The volume and index of the file `path` leads to, as one text.
std::string FileIdentity(const std::string& path, const char* folder = nullptr) {
    char previous[MAX_PATH] = {};
    if (folder != nullptr) {
        GetCurrentDirectoryA(sizeof previous, previous);
        SetCurrentDirectoryA(folder);
    }
    HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (folder != nullptr) SetCurrentDirectoryA(previous);
    if (file == INVALID_HANDLE_VALUE) return "none";
    BY_HANDLE_FILE_INFORMATION information{};
    GetFileInformationByHandle(file, &information);
    CloseHandle(file);
    return std::to_string(information.dwVolumeSerialNumber) + ":" +
           std::to_string(information.nFileIndexHigh) + ":" +
           std::to_string(information.nFileIndexLow);
}

TEST(LaunchCommand, PathsWithoutSpacesAreJoinedByOneSpace) {
    LaunchCommand command;
    ASSERT_TRUE(BuildLaunchCommand("C:\\T\\KTZ1.tmp.p.exe", "C:\\T\\KTZ1.tmp.s.ini", &command));
    EXPECT_STREQ(command.line, "C:\\T\\KTZ1.tmp.p.exe C:\\T\\KTZ1.tmp.s.ini");
    EXPECT_STREQ(command.folder, "");
}

TEST(LaunchCommand, AProgramPathWithASpaceIsQuotedAndSkippedWhole) {
    LaunchCommand command;
    ASSERT_TRUE(BuildLaunchCommand("C:\\A B\\p.exe", "C:\\T\\s.ini", &command));
    EXPECT_STREQ(command.line, "\"C:\\A B\\p.exe\" C:\\T\\s.ini");
    EXPECT_EQ(PlayersFirstToken(command), "C:\\T\\s.ini");
}

TEST(LaunchCommand, ATemporaryFolderWithASpaceStillNamesTheShowDescription) {
    ScratchFolder scratch;
    const std::string folder = scratch / "Temp of Jo Smith";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string show = folder + "\\KTZ1.tmp.show.ini";
    WriteBytes(show, "[SLIDES]\r\nCount=1\r\n");

    LaunchCommand command;
    ASSERT_TRUE(BuildLaunchCommand((folder + "\\KTZ1.tmp.p.exe").c_str(), show.c_str(), &command));
    const std::string token = PlayersFirstToken(command);
    EXPECT_EQ(token.find(' '), std::string::npos) << command.line;
    const char* current = command.folder[0] != '\0' ? command.folder : nullptr;
    EXPECT_EQ(FileIdentity(token, current), FileIdentity(show));
    EXPECT_NE(FileIdentity(show), "none");
}

TEST(LaunchCommand, WithoutAShortNameTheFileIsNamedFromItsOwnFolder) {
    // A file that does not exist has no short name: the fallback is used.
    LaunchCommand command;
    ASSERT_TRUE(BuildLaunchCommand("C:\\p.exe", "C:\\No Such Folder\\KTZ1.tmp.s.ini", &command));
    EXPECT_STREQ(command.line, "C:\\p.exe .\\KTZ1.tmp.s.ini");
    EXPECT_STREQ(command.folder, "C:\\No Such Folder\\");
}

TEST(LaunchCommand, ANameThatItselfHoldsASpaceKeepsTheTokenisingRule) {
    LaunchCommand command;
    ASSERT_TRUE(BuildLaunchCommand("C:\\p.exe", "C:\\No Such Folder\\My Show.ini", &command));
    EXPECT_STREQ(command.line, "C:\\p.exe C:\\No Such Folder\\My Show.ini");
    EXPECT_STREQ(command.folder, "");
}

TEST(LaunchCommand, ACommandThatDoesNotFitIsRefused) {
    const std::string longPath = "C:\\" + std::string(500, 'p') + ".exe";
    const std::string longArgument = "C:\\" + std::string(300, 's') + ".ini";
    LaunchCommand command;
    EXPECT_FALSE(BuildLaunchCommand(longPath.c_str(), longArgument.c_str(), &command));
}

}  // namespace
