#include "show/show_record.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/paths.h"

ShowRecord g_Show;
char ImageNameBuffer[SHOW_PATH_BYTES];
char SoundNameBuffer[SHOW_PATH_BYTES];

namespace {

constexpr DWORD kNumberBufferBytes = 260;

int32_t ReadNumber(const char* section, const char* key) {
    char buffer[kNumberBufferBytes];
    GetPrivateProfileStringA(section, key, "0", buffer, sizeof buffer, g_Show.ShowDescriptionPath);
    return ParseShowNumber(buffer);
}

// Copies `directory` followed by `name` into `out`, or leaves `out` empty
// when the whole path does not fit.
void JoinPath(char* out, size_t outSize, const char* directory, const char* name) {
    int n = std::snprintf(out, outSize, "%s%s", directory, name);
    if (n < 0 || static_cast<size_t>(n) >= outSize) out[0] = '\0';
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// A name that does not depend on the current folder: from the root, or
// (Windows) with a drive letter.
bool IsAbsoluteName(const char* name) {
    if (IsSeparator(name[0])) return true;
    const bool letter = (name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z');
    return letter && name[1] == ':';
}

// A relative file name of the show description is relative to the
// description's folder, as the author wrote it, not to the current folder.
// "0", what an absent slide key reads as, stays as it is. A name whose whole
// path does not fit is left empty: cut, it would name another file.
void ResolveInShowFolder(char* name, size_t size) {
    if (name[0] == '\0' || std::strcmp(name, "0") == 0 || IsAbsoluteName(name)) return;
    const char* description = g_Show.ShowDescriptionPath;
    size_t folderLength = std::strlen(description);
    while (folderLength > 0 && !IsSeparator(description[folderLength - 1])) --folderLength;
    if (folderLength == 0) return;  // the description is in the current folder
    char resolved[SHOW_PATH_BYTES];
    const int n = std::snprintf(resolved, sizeof resolved, "%.*s%s", static_cast<int>(folderLength), description, name);
    if (n < 0 || static_cast<size_t>(n) >= sizeof resolved || static_cast<size_t>(n) >= size) {
        name[0] = '\0';
        return;
    }
    std::memcpy(name, resolved, static_cast<size_t>(n) + 1);
}

void ReadSlideKey(const char* format, int32_t index, char* buffer, DWORD size) {
    char key[32];
    // The key number wraps like the 32-bit arithmetic it stands for.
    const int32_t number = static_cast<int32_t>(static_cast<uint32_t>(index) + SLIDE_KEY_BASE);
    std::snprintf(key, sizeof key, format, static_cast<int>(number));
    GetPrivateProfileStringA("SLIDES", key, "0", buffer, size, g_Show.ShowDescriptionPath);
}

// A slide's file name, found in the show description's folder when relative.
void ReadSlideFileName(const char* format, int32_t index, char* buffer, DWORD size) {
    ReadSlideKey(format, index, buffer, size);
    ResolveInShowFolder(buffer, size);
}

}  // namespace

int32_t ParseShowNumber(const char* text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    uint32_t value = 0;  // unsigned arithmetic wraps to the low 32 bits
    while (*p >= '0' && *p <= '9') {
        value = value * 10u + static_cast<uint32_t>(*p - '0');
        ++p;
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

void LoadDefaultPaths() {
    std::memset(&g_Show, 0, sizeof g_Show);
    g_Show.CurrentSlide = 0;
    g_Show.Count = 0;
    g_Show.DelayBetweenSlidesInMilliseconds = 0;
    g_Show.FillColour = 0;

    // The installed player's folder is the folder of this executable.
    char directory[MAX_PATH] = {0};
    tarn::InstalledPlayerDirectory(directory, sizeof directory);
    JoinPath(g_Show.PlayerPath, sizeof g_Show.PlayerPath, directory, "/TarnPlayer.exe");
    JoinPath(g_Show.ShowDescriptionPath, sizeof g_Show.ShowDescriptionPath, directory,
             "/TarnPlayer.ini");
    std::memset(g_Show.BackgroundSound, 0, sizeof g_Show.BackgroundSound);
}

int32_t ReadShowSettings() {
    g_Show.AdvanceMethod = ReadNumber("OPTIONS", "AdvanceMethod");
    g_Show.ViewOptions = ReadNumber("OPTIONS", "ViewOptions");
    g_Show.SoundOptions = ReadNumber("OPTIONS", "SoundOptions");
    g_Show.ShowSplash = ReadNumber("OPTIONS", "ShowSplash") != 0 ? 1 : 0;
    g_Show.DelayBetweenSlidesInMilliseconds =
        ReadNumber("OPTIONS", "DelayBetweenSlidesInMilliseconds");
    g_Show.Count = ReadNumber("SLIDES", "Count");
    // The decorator is a path of at most MAX_PATH - 1 characters. A longer
    // value is refused rather than cut: a cut path would name another file,
    // and clean-up deletes the file it names.
    char decorator[SHOW_PATH_BYTES] = {};
    const DWORD length = GetPrivateProfileStringA("OPTIONS", "TempFileDecorator", "0", decorator,
                                                  sizeof decorator, g_Show.ShowDescriptionPath);
    if (length > MAX_PATH - 1) decorator[0] = '\0';
    std::memcpy(g_Show.TempFileDecorator, decorator, sizeof decorator);
    // A negative or unreadable fade time cuts; a long one is cut short.
    const int32_t transition = ReadNumber("OPTIONS", "TransitionMilliseconds");
    g_Show.TransitionMilliseconds = std::clamp(transition, 0, MAX_TRANSITION_MS);
    return 1;
}

const char* ReadBackgroundSound() {
    GetPrivateProfileStringA("OPTIONS", "BackgroundSound", "", g_Show.BackgroundSound,
                             sizeof g_Show.BackgroundSound, g_Show.ShowDescriptionPath);
    ResolveInShowFolder(g_Show.BackgroundSound, sizeof g_Show.BackgroundSound);
    return g_Show.BackgroundSound;
}

const char* ReadImageName() {
    ReadSlideFileName("Image%d", g_Show.CurrentSlide, ImageNameBuffer, sizeof ImageNameBuffer);
    return ImageNameBuffer;
}

const char* ReadSoundName() {
    ReadSlideFileName("Sound%d", g_Show.CurrentSlide, SoundNameBuffer, sizeof SoundNameBuffer);
    return SoundNameBuffer;
}

int32_t ReadSlideDelay() {
    char buffer[kNumberBufferBytes];
    ReadSlideKey("Delay%d", g_Show.CurrentSlide, buffer, sizeof buffer);
    const int32_t own = ParseShowNumber(buffer);
    return own > 0 ? own : g_Show.DelayBetweenSlidesInMilliseconds;
}

void ReadImageNameAt(int32_t index, char* buffer, DWORD size) {
    ReadSlideFileName("Image%d", index, buffer, size);
}

void ReadSoundNameAt(int32_t index, char* buffer, DWORD size) {
    ReadSlideFileName("Sound%d", index, buffer, size);
}
