#include "platform/windows/launch_command.h"

#include <cstdio>
#include <cstring>

namespace tarn {
namespace {

bool HasSpace(const char* text) { return std::strchr(text, ' ') != nullptr; }

// The start of the file name in `path`: after its last separator.
const char* FileNamePart(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
    }
    return name;
}

// `argument` in a form without spaces, in `out`; `folder` is set when the
// form is relative to it. False when there is none.
bool SpacelessArgument(const char* argument, char (&out)[MAX_PATH], char (&folder)[MAX_PATH]) {
    const DWORD length = GetShortPathNameA(argument, out, sizeof out);
    if (length > 0 && length < sizeof out && !HasSpace(out)) return true;

    const char* name = FileNamePart(argument);
    const size_t folderLength = static_cast<size_t>(name - argument);
    if (folderLength == 0 || HasSpace(name) || folderLength >= sizeof folder) return false;
    if (std::snprintf(out, sizeof out, ".\\%s", name) >= static_cast<int>(sizeof out)) return false;
    std::memcpy(folder, argument, folderLength);
    folder[folderLength] = '\0';
    return true;
}

}  // namespace

bool BuildLaunchCommand(const char* program, const char* argument, LaunchCommand* command) {
    command->line[0] = '\0';
    command->folder[0] = '\0';
    char spaceless[MAX_PATH];
    if (HasSpace(argument)) {
        if (!SpacelessArgument(argument, spaceless, command->folder)) {
            command->folder[0] = '\0';
        } else {
            argument = spaceless;
        }
    }
    const char* quote = HasSpace(program) ? "\"" : "";
    const int n = std::snprintf(command->line, sizeof command->line, "%s%s%s %s", quote, program,
                                quote, argument);
    return n > 0 && n < static_cast<int>(sizeof command->line);
}

}  // namespace tarn
