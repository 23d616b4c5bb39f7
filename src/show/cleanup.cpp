// Deletion of an extracted show's files when its window closes.
//
// Only files that extraction made are ever deleted: the temp decorator (an
// empty file directly in the temporary folder whose name begins with "KTZ")
// and files whose path is the decorator, ".", and a bare name. A show
// description without such a decorator, one written by hand for instance,
// deletes nothing at all, so a person's own show and pictures are never
// touched. Nor is any file of another user, whatever the show description
// names: in a shared temporary folder a player allowed to delete it (run as
// root, or in a folder without the sticky bit) must still leave it alone.
#include "show/cleanup.h"

#include <cstring>

#include "platform/own_files.h"
#include "platform/paths.h"
#include "platform/win32.h"
#include "show/show_record.h"

namespace {

// Extracted paths are built in buffers of MAX_PATH bytes; anything longer
// was not made by extraction (or was cut on the way) and is left alone.
constexpr size_t kLongestExtractedPath = MAX_PATH - 1;

// A Count beyond any real show ends the walk here, so that a corrupt count
// cannot keep the closing window busy for hours. A package holds at most 97
// slide files.
constexpr int32_t kMostSlidesWalked = 10000;

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\' || c == ':';
#else
    return c == '/';
#endif
}

bool HasSeparator(const char* text) {
    for (; *text != '\0'; ++text) {
        if (IsSeparator(*text)) return true;
    }
    return false;
}

// Whether `decorator` names a temp decorator: an absolute path directly in
// the temporary folder, to a name beginning with "KTZ".
bool IsUsableDecorator(const char* decorator) {
    const size_t length = std::strlen(decorator);
    if (length == 0 || length > kLongestExtractedPath) return false;
    char folder[SHOW_PATH_BYTES];
    if (!tarn::TemporaryFolder(folder, sizeof folder)) return false;
    const size_t folderLength = std::strlen(folder);
    if (folderLength == 0 || std::strncmp(decorator, folder, folderLength) != 0) return false;
    const char* name = decorator + folderLength;
    return std::strncmp(name, "KTZ", 3) == 0 && !HasSeparator(name);
}

// Whether `path` is a file extraction made with `decorator`: the decorator,
// ".", then a name without any folder part.
bool IsExtractedPath(const char* path, const char* decorator) {
    const size_t decoratorLength = std::strlen(decorator);
    if (std::strlen(path) > kLongestExtractedPath) return false;
    if (std::strncmp(path, decorator, decoratorLength) != 0 || path[decoratorLength] != '.') {
        return false;
    }
    return !HasSeparator(path + decoratorLength + 1);
}

void DeleteIfExtracted(const char* path, const char* decorator) {
    if (IsExtractedPath(path, decorator)) tarn::DeleteOwnFile(path);
}

}  // namespace

int32_t CleanUpShowFiles() {
    const char* decorator = g_Show.TempFileDecorator;
    if (!IsUsableDecorator(decorator)) return 1;

    // Read while the show description still exists.
    const UINT clean = GetPrivateProfileIntA("OPTIONS", "CLEAN", 1, g_Show.ShowDescriptionPath);

    tarn::DeleteOwnFile(decorator);

    if (g_Show.BackgroundSound[0] != '\0') DeleteIfExtracted(g_Show.BackgroundSound, decorator);

    if (g_Show.Count > 0 && clean != 0) {
        const int32_t slides = g_Show.Count < kMostSlidesWalked ? g_Show.Count : kMostSlidesWalked;
        for (int32_t slide = 0; slide < slides; ++slide) {
            g_Show.CurrentSlide = slide;
            DeleteIfExtracted(ReadImageName(), decorator);
            // An absent sound key reads as "0", which names no file of the show.
            const char* sound = ReadSoundName();
            if (sound[0] != '\0' && std::strcmp(sound, "0") != 0) DeleteIfExtracted(sound, decorator);
        }
    }

    DeleteIfExtracted(g_Show.ShowDescriptionPath, decorator);
    return 1;
}
