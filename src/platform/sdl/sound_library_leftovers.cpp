#include "platform/sdl/sound_library_leftovers.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tarn {

namespace {

constexpr const char kFolderPrefix[] = "pulse-";
constexpr const char kLinkSuffix[] = "-runtime";

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool EndsWith(const std::string& text, const char* suffix) {
    const size_t length = std::strlen(suffix);
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

// The names in `folder`, without "." and "..".
std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr) return names;
    while (const dirent* entry = readdir(directory)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace_back(entry->d_name);
        }
    }
    closedir(directory);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> LibraryFolders(const std::string& temporaryFolder) {
    std::vector<std::string> folders;
    if (temporaryFolder.empty()) return folders;
    for (const std::string& name : Names(temporaryFolder)) {
        if (StartsWith(name, kFolderPrefix)) folders.push_back(name);
    }
    return folders;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) return user->pw_dir;
    return "";
}

std::string LinkTarget(const std::string& path) {
    char target[4096];
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    if (length <= 0) return "";
    return std::string(target, static_cast<size_t>(length));
}

}  // namespace

SoundLibraryPlaces PulseRuntimePlaces() {
    SoundLibraryPlaces places;
    // The library takes these as set even when they are empty.
    if (std::getenv("PULSE_RUNTIME_PATH") != nullptr || std::getenv("XDG_RUNTIME_DIR") != nullptr) return places;
    places.temporaryFolder = "/tmp";
    for (const char* name : {"TMPDIR", "TMP", "TEMP", "TEMPDIR"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] == '/') {
            places.temporaryFolder = value;
            break;
        }
    }
    const std::string home = HomeFolder();
    if (!home.empty()) places.linkFolders.push_back(home + "/.pulse");
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
        places.linkFolders.push_back(std::string(config) + "/pulse");
    }
    if (!home.empty()) places.linkFolders.push_back(home + "/.config/pulse");
    return places;
}

SoundLibraryLeftovers::SoundLibraryLeftovers(SoundLibraryPlaces places)
    : places_(std::move(places)), before_(LibraryFolders(places_.temporaryFolder)) {}

std::vector<std::string> SoundLibraryLeftovers::RemoveNewOnes() const {
    std::vector<std::string> removed;
    for (const std::string& name : LibraryFolders(places_.temporaryFolder)) {
        if (std::binary_search(before_.begin(), before_.end(), name)) continue;
        const std::string path = places_.temporaryFolder + "/" + name;
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) continue;
        // Only an empty folder goes.
        if (rmdir(path.c_str()) == 0) removed.push_back(path);
    }
    if (removed.empty()) return removed;
    for (const std::string& folder : places_.linkFolders) {
        for (const std::string& name : Names(folder)) {
            if (!EndsWith(name, kLinkSuffix)) continue;
            const std::string link = folder + "/" + name;
            struct stat info {};
            if (lstat(link.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) continue;
            if (std::find(removed.begin(), removed.end(), LinkTarget(link)) != removed.end()) unlink(link.c_str());
        }
    }
    return removed;
}

}  // namespace tarn
