// The process entry: hands the first argument, as the shell delimited it,
// to the player's entry. On Linux, --version and --help answer on standard
// output as other programs do.
//
// Before any other static initialiser of the program, the show record gets
// the installed player's default paths. The priority puts this ahead of the
// construction of the MediaPlayer in its own file, whatever order the linker
// gives the files.
#include <cstring>

#include "platform/win32.h"
#include "show/show_record.h"
#include "startup/entry.h"

namespace {

struct DefaultPathsLoader {
    DefaultPathsLoader() { LoadDefaultPaths(); }
};
__attribute__((init_priority(1000))) DefaultPathsLoader g_DefaultPathsLoader;

}  // namespace

#ifdef _WIN32
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    // The first space-delimited token of the command line is the argument;
    // the text never begins with a blank.
    char* first = commandLine;
    if (char* space = std::strchr(first, ' ')) *space = '\0';
    return TarnPlayerEntry(instance, first[0] != '\0' ? first : nullptr, showCommand);
}
#else
#include <cstdio>

#include "tarn_version.h"

int main(int argc, char** argv) {
    const char* argument = argc > 1 ? argv[1] : nullptr;
    if (argument != nullptr && std::strcmp(argument, "--version") == 0) {
        std::fputs("tarnplayer " TARN_VERSION "\n", stdout);
        return 0;
    }
    if (argument != nullptr && std::strcmp(argument, "--help") == 0) {
        std::fputs("usage: tarnplayer SHOW.ini   play a show description full screen\n"
                   "       PACKAGE              (a packaged show) plays the show it carries\n"
                   "Keys: Escape ends the show; Space pauses; Left and Right step.\n"
                   "See tarnplayer(1).\n",
                   stdout);
        return 0;
    }
    return TarnPlayerEntry(GetModuleHandleA(nullptr), argument, SW_SHOWDEFAULT);
}
#endif
