// tarnpack: builds, lists and checks the packages that carry a show inside a
// copy of the player.
#include <unistd.h>

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "platform/paths.h"
#include "platform/win32.h"
#include "tarn_version.h"

namespace {

constexpr const char* kUsage =
    "usage: tarnpack create SHOW.ini -o OUTPUT [--player PLAYER] [--keep-jpeg]\n"
    "       tarnpack list PACKAGE\n"
    "       tarnpack verify PACKAGE\n"
    "       tarnpack --help | --version\n";

constexpr const char* kHelp =
    "\n"
    "Packs a slide show into one program that plays it.\n"
    "\n"
    "  create SHOW.ini -o OUTPUT\n"
    "      Builds OUTPUT, an executable that plays the show when run: the\n"
    "      player, the show description SHOW.ini and every file it names\n"
    "      (BackgroundSound, and Image and Sound of each of the Count slides;\n"
    "      relative names are taken from the show description's folder).\n"
    "      --player PLAYER  the player to pack (default: the tarnplayer\n"
    "                       beside tarnpack); a player that already carries\n"
    "                       a show is packed without it.\n"
    "      --keep-jpeg      store every file byte for byte. Without it a\n"
    "                       progressive (multi-scan) JPEG is stored as a\n"
    "                       baseline one, transcoded losslessly: the same\n"
    "                       pixels and markers (EXIF, ICC, comments), but\n"
    "                       decoded faster and in far less memory.\n"
    "  list PACKAGE\n"
    "      Prints the entries of a package: number, size, offset and name.\n"
    "  verify PACKAGE\n"
    "      Checks that a package can be extracted and played, without\n"
    "      extracting it.\n"
    "\n"
    "A package holds at most 99 entries, each below 2 GiB, with names of at\n"
    "most 259 bytes. Exit status: 0 on success, 1 on an error, 2 on wrong usage.\n";

int Usage(const std::string& problem) {
    std::cerr << "tarnpack: " << problem << "\n" << kUsage;
    return 2;
}

std::string DefaultPlayer() {
    char folder[MAX_PATH];
    tarn::InstalledPlayerDirectory(folder, sizeof folder);
    return std::string(folder) + "/tarnplayer";
}

int RunCreate(const std::vector<std::string>& arguments) {
    tarnpack::CreateOptions options;
    options.playerPath = DefaultPlayer();
    options.showProgress = isatty(STDERR_FILENO) != 0;
    bool haveOutput = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "-o" || argument == "--output" || argument == "--player") {
            if (i + 1 == arguments.size()) return Usage(argument + " needs a path");
            const std::string& value = arguments[++i];
            if (argument == "--player") {
                options.playerPath = value;
            } else {
                options.outputPath = value;
                haveOutput = true;
            }
        } else if (argument == "--keep-jpeg") {
            options.keepJpeg = true;
        } else if (!argument.empty() && argument[0] == '-' && argument != "-") {
            return Usage("unknown option " + argument);
        } else if (options.showPath.empty()) {
            options.showPath = argument;
        } else {
            return Usage("more than one show description: " + argument);
        }
    }
    if (options.showPath.empty()) return Usage("create needs a show description");
    if (!haveOutput || options.outputPath.empty()) return Usage("create needs -o OUTPUT");
    return tarnpack::Create(options, std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            std::cout << kUsage << kHelp;
            return 0;
        }
        if (argument == "--version") {
            std::cout << "tarnpack " TARN_VERSION "\n";
            return 0;
        }
    }
    if (arguments.empty()) return Usage("no command");
    const std::string command = arguments[0];
    arguments.erase(arguments.begin());
    if (command == "create") return RunCreate(arguments);
    if (command == "list" || command == "verify") {
        if (arguments.size() != 1) return Usage(command + " needs exactly one package");
        return command == "list" ? tarnpack::List(arguments[0], std::cout, std::cerr)
                                 : tarnpack::Verify(arguments[0], std::cout, std::cerr);
    }
    if (command == "help") {
        std::cout << kUsage << kHelp;
        return 0;
    }
    return Usage("unknown command " + command);
}
