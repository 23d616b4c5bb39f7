// The Windows entry: the command line as received, split on spaces, its
// first token handed to the player's entry.
//
// The received text is computed here from the process command line rather
// than taken from the C runtime, whose reading of a quoted program name
// differs: a quoted name ends at its closing quote. Package mode never
// touches COM.
#include <string>

#include "platform/win32.h"
#include "media/media_player.h"
#include "platform/windows/command_line.h"
#include "platform/windows/prepared_pictures.h"
#include "show/show_record.h"
#include "startup/entry.h"
#include "startup/entry_mode.h"

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
    if (SelectEntryMode(first) != EntryMode::Player) {
        return TarnPlayerEntry(instance, first, showCommand);
    }

    // The player's own COM apartment outlives the one the show opens and
    // closes, so that the sound graphs still held when the show ends are
    // stopped and released while the media libraries are loaded: the last
    // CoUninitialize of a thread unloads them.
    const bool apartment = SUCCEEDED(CoInitialize(nullptr));
    const int exitCode = TarnPlayerEntry(instance, first, showCommand);
    TheMediaPlayer().Reset();
    // The picture decoder's thread ends before the process does; a picture
    // it is decoding is finished first.
    tarn::ClearPreparedPictures();
    if (apartment) CoUninitialize();
    return exitCode;
}
