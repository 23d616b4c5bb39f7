// A stand-in for the player in tests of package mode on real processes.
//
//   test_player                    package mode on its own file: extract,
//                                  rewrite, launch the extracted copy
//   test_player --package FILE     package mode on FILE
//   test_player SHOW.ini           "player": records how it was started in
//                                  $TARN_TEST_PLAYER_LOG, then behaves as
//                                  $TARN_TEST_PLAYER_MODE says:
//     clean     the player's own clean-up at close (the default)
//     exit      ends without clean-up, as when the control bar alone closes
//     wait      waits until a signal ends it (on Windows: until it is
//               ended)
//     crash     aborts
//     impostor  replaces the file Image1000 names by a file of its own, then
//               ends without clean-up
#include <fcntl.h>
#include <unistd.h>
#ifdef _WIN32
#include <process.h>

#include "platform/win32.h"
#endif

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "show/cleanup.h"
#include "show/show_record.h"
#include "startup/launch.h"
#include "startup/package.h"

namespace {

// Writes the log whole under its final name, so a reader never sees half.
void Record(int argc, char** argv) {
    const char* log = std::getenv("TARN_TEST_PLAYER_LOG");
    if (log == nullptr) return;
    std::ostringstream text;
    text << "pid=" << getpid() << "\n";
    text << "argc=" << argc << "\n";
    text << "argv0=" << argv[0] << "\n";
    text << "argv1=" << argv[1] << "\n";
    if (const char* extra = std::getenv("TARN_TEST_EXTRA")) text << "extra=" << extra << "\n";
#ifndef _WIN32
    text << "executable=" << (access(argv[0], X_OK) == 0 ? 1 : 0) << "\n";
#endif
    std::ifstream show(argv[1], std::ios::binary);
    std::ostringstream description;
    description << show.rdbuf();
    text << "description=\n" << description.str();
    const std::string temporary = std::string(log) + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text.str();
    }
    std::rename(temporary.c_str(), log);
}

int PackageMode(const char* package) {
    const int extracted = package != nullptr ? ExtractPackageFrom(package) : ExtractPackage();
    if (extracted) {
        RewriteShowDescription();
        LaunchPlayer();
    }
    return 0;
}

void ReplaceFirstImage() {
    const char* image = ReadImageName();
    unlink(image);
    std::ofstream out(image, std::ios::binary);
    out << "impostor";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 1) return PackageMode(nullptr);
    if (argc == 3 && std::strcmp(argv[1], "--package") == 0) return PackageMode(argv[2]);

    Record(argc, argv);
    std::snprintf(g_Show.ShowDescriptionPath, sizeof g_Show.ShowDescriptionPath, "%s", argv[1]);
    ReadShowSettings();
    ReadBackgroundSound();

    const char* mode = std::getenv("TARN_TEST_PLAYER_MODE");
    const std::string how = mode != nullptr ? mode : "clean";
    if (how == "clean") {
        CleanUpShowFiles();
    } else if (how == "wait") {
#ifdef _WIN32
        for (;;) Sleep(INFINITE);
#else
        for (;;) pause();
#endif
    } else if (how == "crash") {
        std::abort();
    } else if (how == "impostor") {
        ReplaceFirstImage();
    }
    return 0;
}
