// tarnpack: builds, lists and checks the packages that carry a show inside a
// copy of the player.
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "jpeg_baseline.h"
#include "platform/win32.h"
#include "tarn_version.h"

namespace {

#ifdef _WIN32
constexpr const char* kPlayerName = "tarnplayer.exe";
#else
constexpr const char* kPlayerName = "tarnplayer";
#endif

constexpr const char* kUsage =
    "usage: tarnpack create SHOW.ini -o OUTPUT [--player PLAYER] [--keep-jpeg]\n"
    "       tarnpack create FOLDER|FILE... -o OUTPUT [--delay MS] [--first-delay MS]\n"
    "                [--music FILE] [--wait-for-sound] [--splash] [--order name|date]\n"
    "                [--write-ini FILE] [--player PLAYER] [--keep-jpeg]\n"
    "       tarnpack list PACKAGE\n"
    "       tarnpack verify PACKAGE\n"
    "       tarnpack --help | --version\n";

constexpr const char* kHelpCreate =
    "\n"
    "Packs a slide show into one program that plays it.\n"
    "\n"
    "  create SHOW.ini -o OUTPUT\n"
    "      Builds OUTPUT, an executable that plays the show when run: the\n"
    "      player, the show description SHOW.ini and every file it names\n"
    "      (BackgroundSound, and Image and Sound of each of the Count slides;\n"
    "      relative names are taken from the show description's folder).\n"
    "  create FOLDER -o OUTPUT     (or a list of files instead of FOLDER)\n"
    "      Makes the show description itself: every picture and clip is a\n"
    "      slide, in natural file-name order (img2 before img10); a sound\n"
    "      with a slide's base name (IMG_0042.jpg, IMG_0042.wav) is that\n"
    "      slide's sound. Other files are left out and listed. Without\n"
    "      --delay the show advances by keys and clicks.\n"
    "      --delay MS        a timed show: the next slide after MS milliseconds\n"
    "      --first-delay MS  the first slide's own time (a title slide)\n"
    "      --music FILE      a background tune, played over and over\n"
    "      --wait-for-sound  a timed step waits for the slide's sound to end\n"
    "      --splash          a closing splash after the last slide\n"
    "      --order name|date by file name (the default), or by the date taken:\n"
    "                        EXIF DateTimeOriginal, else the file's time\n"
    "      --write-ini FILE  also write the show description made, with names\n"
    "                        relative to its folder, to edit and pack again\n"
    "                        with 'tarnpack create FILE -o OUTPUT'\n"
    "  Both forms:\n"
    "      --player PLAYER  the player to pack (default: the tarnplayer\n"
    "                       beside tarnpack); a player that already carries\n"
    "                       a show is packed without it.\n";

constexpr const char* kHelpJpeg =
    "      --keep-jpeg      store every file byte for byte. Without it a\n"
    "                       progressive (multi-scan) JPEG is stored as a\n"
    "                       baseline one, transcoded losslessly: the same\n"
    "                       pixels and markers (EXIF, ICC, comments), but\n"
    "                       decoded faster and in far less memory.\n";

constexpr const char* kHelpJpegKept =
    "      --keep-jpeg      store every file byte for byte, which this\n"
    "                       build of tarnpack does in any case.\n";

constexpr const char* kHelpRest =
    "      On a terminal, create shows what it writes and how far it is.\n"
    "  list PACKAGE\n"
    "      Prints the entries of a package: number, size, offset and name.\n"
    "  verify PACKAGE\n"
    "      Checks that a package can be extracted and played, without\n"
    "      extracting it.\n"
    "\n"
    "A package holds at most 99 entries, each below 2 GiB, with names of at\n"
    "most 259 bytes. Exit status: 0 on success, 1 on an error, 2 on wrong usage.\n";

void Help() {
    std::cout << kUsage << kHelpCreate << (tarnpack::JpegRewriteAvailable() ? kHelpJpeg : kHelpJpegKept)
              << kHelpRest;
}

int Usage(const std::string& problem) {
    std::cerr << "tarnpack: " << problem << "\n" << kUsage;
    return 2;
}

// The player beside tarnpack's own executable.
std::string DefaultPlayer() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return kPlayerName;
    return (std::filesystem::path(path).parent_path() / kPlayerName).string();
}

bool IsTerminal(FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

// A number of milliseconds: decimal digits only, 1 to 2^31-1.
std::optional<int32_t> Milliseconds(const std::string& text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}

bool IsShowDescription(const std::string& path) {
    const std::filesystem::path named(path);
    std::string extension = named.extension().string();
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    std::error_code ignored;
    return extension == ".ini" && !std::filesystem::is_directory(named, ignored);
}

int RunCreate(const std::vector<std::string>& arguments) {
    tarnpack::CreateOptions options;
    options.playerPath = DefaultPlayer();
    options.showProgress = IsTerminal(stderr);
    tarnpack::FolderShowOptions& folder = options.folderShow;
    std::vector<std::string> inputs;
    std::string folderOption;  // the first option only a folder's show takes
    bool haveOutput = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        std::optional<std::string> attached;  // --option=value
        const size_t equals = argument.find('=');
        if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            attached = argument.substr(equals + 1);
            argument.resize(equals);
        }
        const bool takesValue = argument == "-o" || argument == "--output" || argument == "--player" ||
                                argument == "--delay" || argument == "--first-delay" ||
                                argument == "--music" || argument == "--order" || argument == "--write-ini";
        if (attached && !takesValue) return Usage("option " + argument + " takes no value");
        std::string value;
        if (takesValue) {
            if (attached) {
                value = *attached;
            } else {
                if (i + 1 == arguments.size()) return Usage("option " + argument + " needs a value");
                value = arguments[++i];
            }
            if (value.empty()) return Usage("option " + argument + " needs a value");
        }
        const bool forFolder = argument == "--delay" || argument == "--first-delay" || argument == "--music" ||
                               argument == "--wait-for-sound" || argument == "--splash" ||
                               argument == "--order" || argument == "--write-ini";
        if (forFolder && folderOption.empty()) folderOption = argument;

        if (argument == "-o" || argument == "--output") {
            options.outputPath = value;
            haveOutput = true;
        } else if (argument == "--player") {
            options.playerPath = value;
        } else if (argument == "--keep-jpeg") {
            options.keepJpeg = true;
        } else if (argument == "--delay" || argument == "--first-delay") {
            const auto ms = Milliseconds(value);
            if (!ms) return Usage(argument + " needs a number of milliseconds from 1 to 2147483647, not " + value);
            (argument == "--delay" ? folder.delayMs : folder.firstDelayMs.emplace()) = *ms;
        } else if (argument == "--music") {
            folder.music = value;
        } else if (argument == "--wait-for-sound") {
            folder.waitForSound = true;
        } else if (argument == "--splash") {
            folder.splash = true;
        } else if (argument == "--order") {
            if (value != "name" && value != "date") return Usage("--order is name or date, not " + value);
            folder.order = value == "date" ? tarnpack::SlideOrder::Date : tarnpack::SlideOrder::Name;
        } else if (argument == "--write-ini") {
            options.writeIni = value;
        } else if (argument == "--") {
            inputs.insert(inputs.end(), arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1, arguments.end());
            break;
        } else if (!argument.empty() && argument[0] == '-' && argument != "-") {
            return Usage("unknown option " + argument);
        } else {
            inputs.push_back(argument);
        }
    }
    if (inputs.empty()) return Usage("create needs a show description, a folder or files");
    if (!haveOutput) return Usage("create needs -o OUTPUT");
    if (inputs.size() == 1 && IsShowDescription(inputs[0])) {
        if (!folderOption.empty()) {
            return Usage(folderOption + " is for a show made from a folder or files; " + inputs[0] +
                         " says how its show plays");
        }
        options.showPath = inputs[0];
    } else {
        for (const std::string& input : inputs) {
            if (IsShowDescription(input)) return Usage("a show description is packed alone: " + input);
        }
        folder.inputs = inputs;
    }
    return tarnpack::Create(options, std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    for (const std::string& argument : arguments) {
        if (argument == "--") break;
        if (argument == "--help" || argument == "-h") {
            Help();
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
        Help();
        return 0;
    }
    return Usage("unknown command " + command);
}
