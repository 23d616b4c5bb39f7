// The Windows entry: the command line as received, split on spaces, its
// first token handed to the player's entry.
//
// The received text is computed here from the process command line rather
// than taken from the C runtime, whose reading of a quoted program name
// differs: a quoted name ends at its closing quote.
#include <string>

#include "platform/win32.h"
#include "platform/windows/command_line.h"
#include "show/show_record.h"
#include "startup/entry.h"

namespace {

// The installed player's default paths, ahead of every other static
// initialiser of the program (the MediaPlayer among them).
struct DefaultPathsLoader {
    DefaultPathsLoader() { LoadDefaultPaths(); }
};
__attribute__((init_priority(1000))) DefaultPathsLoader g_DefaultPathsLoader;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    std::string received = tarn::ReceivedCommandLine(GetCommandLineA());
    const char* first = tarn::SplitCommandLine(received.data());
    return TarnPlayerEntry(instance, first, showCommand);
}
