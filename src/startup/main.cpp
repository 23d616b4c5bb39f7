// The process entry: hands the first argument, as the shell delimited it,
// to the player's entry.
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
int main(int argc, char** argv) {
    const char* argument = argc > 1 ? argv[1] : nullptr;
    return TarnPlayerEntry(GetModuleHandleA(nullptr), argument, SW_SHOWDEFAULT);
}
#endif
