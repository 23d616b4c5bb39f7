#include "startup/launch.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "platform/cannot_play.h"
#include "platform/kernel/process.h"
#include "platform/kernel/profile_batch.h"
#include "platform/picture_handover.h"
#include "show/show_record.h"
#include "startup/package_directory.h"
#include "startup/package_files.h"

namespace {

constexpr DWORD kValueBytes = 260;
constexpr DWORD kNameBytes = 512;  // what the player's readers use
// The package process looks this far into the slides for files to keep when
// CLEAN is 0; a package holds at most 97 slide files.
constexpr int32_t kKeepScanSlides = 4096;
// The most slides a packaged show keeps. The rewrite writes the whole show
// description once per slide, so a Count near 2^31 would keep the package
// process writing for hours, and slides past the rewritten ones would name
// files outside the package. A show with more slides is cut to this many.
constexpr int32_t kMostSlidesRewritten = 4096;

bool SameEntryName(const char* a, const char* b) {
#ifdef _WIN32
    return _stricmp(a, b) == 0;  // Windows finds a file whatever its case
#else
    return std::strcmp(a, b) == 0;
#endif
}

// Whether `value` names a file of the package: the bare name of one of its
// entries. Any other name would lead the player to a file in the shared
// temporary folder that this package never wrote and someone else may have
// put there.
bool IsEntryName(const char* value) {
    char name[PACKAGE_NAME_BYTES] = {};
    if (std::strlen(value) >= sizeof name) return false;
    std::strcpy(name, value);
    if (CheckEntryName(name) != PackageFault::None) return false;
    const int32_t count = g_PackageFiles.count < PACKAGE_MAX_ENTRIES ? g_PackageFiles.count
                                                                    : PACKAGE_MAX_ENTRIES;
    for (int32_t entry = 0; entry < count; ++entry) {
        if (SameEntryName(g_Show.Entries[entry].name, name)) return true;
    }
    return false;
}

// "%s.%s" from the decorator and `name` in `out`; false when it would not
// fit (a cut path would name another file).
bool Decorate(const char* name, char (&out)[kValueBytes]) {
    const size_t decoratorLength = std::strlen(g_Show.TempFileDecorator);
    const size_t nameLength = std::strlen(name);
    if (decoratorLength + 1 + nameLength >= sizeof out) return false;
    std::memcpy(out, g_Show.TempFileDecorator, decoratorLength);
    out[decoratorLength] = '.';
    std::memcpy(out + decoratorLength + 1, name, nameLength + 1);
    return true;
}

// The extracted path of the entry named `value`; false when `value` is no
// entry name.
bool DecoratedName(const char* value, char (&out)[kValueBytes]) {
    return IsEntryName(value) && Decorate(value, out);
}

// Rewrites a key that names a file when it is not empty.
void RewriteOptionalName(const char* section, const char* key, const char* file) {
    char value[kValueBytes];
    GetPrivateProfileStringA(section, key, "", value, sizeof value, file);
    if (value[0] == '\0') return;
    char rewritten[kValueBytes];
    // A name that is no entry of the package names no file: no sound.
    if (!DecoratedName(value, rewritten)) rewritten[0] = '\0';
    WritePrivateProfileStringA(section, key, rewritten, file);
}

void SlideKey(char (&key)[32], const char* format, int32_t number) {
    std::snprintf(key, sizeof key, format, static_cast<int>(number));
}

// Marks in `keep` the extracted entries that slide keys name, when the show
// description asks (CLEAN 0) for the slides' files to stay.
void MarkSlideFilesToKeep(bool (&keep)[PACKAGE_MAX_ENTRIES]) {
    const char* file = g_Show.ShowDescriptionPath;
    if (GetPrivateProfileIntA("OPTIONS", "CLEAN", 1, file) != 0) return;
    char text[kValueBytes];
    GetPrivateProfileStringA("SLIDES", "Count", "0", text, sizeof text, file);
    const int32_t count = ParseShowNumber(text);
    const int32_t last = g_PackageFiles.count < PACKAGE_MAX_ENTRIES ? g_PackageFiles.count
                                                                   : PACKAGE_MAX_ENTRIES;
    int32_t unmarked = last > 2 ? last - 2 : 0;
    for (int32_t slide = 0; slide < count && slide < kKeepScanSlides && unmarked > 0; ++slide) {
        for (const char* format : {"Image%d", "Sound%d"}) {
            char key[32];
            SlideKey(key, format, slide + SLIDE_KEY_BASE);
            char name[kNameBytes];
            GetPrivateProfileStringA("SLIDES", key, "0", name, sizeof name, file);
            // The player and its show description always go.
            for (int32_t entry = 2; entry < last; ++entry) {
                if (!keep[entry] && std::strcmp(name, g_PackageFiles.entries[entry].path) == 0) {
                    keep[entry] = true;
                    --unmarked;
                }
            }
        }
    }
}

// Writes the decorated names into the show description `file`; 0 when
// Count is below 1.
int RewriteSlides(const char* file) {
    WritePrivateProfileStringA("OPTIONS", "TempFileDecorator", g_Show.TempFileDecorator, file);

    RewriteOptionalName("OPTIONS", "BackgroundSound", file);

    char countText[kValueBytes];
    GetPrivateProfileStringA("SLIDES", "Count", "0", countText, sizeof countText, file);
    int32_t count = ParseShowNumber(countText);
    if (count < 1) return 0;
    if (count > kMostSlidesRewritten) {
        count = kMostSlidesRewritten;
        char capped[16];
        std::snprintf(capped, sizeof capped, "%d", static_cast<int>(count));
        WritePrivateProfileStringA("SLIDES", "Count", capped, file);
    }

    for (int32_t number = SLIDE_KEY_BASE; number - SLIDE_KEY_BASE < count; ++number) {
        if (tarn::TerminationSignalCaught() != 0) break;  // the show will not start
        char key[32];
        SlideKey(key, "Image%d", number);
        char value[kValueBytes];
        GetPrivateProfileStringA("SLIDES", key, "", value, sizeof value, file);
        char rewritten[kValueBytes];
        // An empty or foreign name becomes the decorator and "." alone,
        // which names no file.
        if (!DecoratedName(value, rewritten) && !Decorate("", rewritten)) rewritten[0] = '\0';
        WritePrivateProfileStringA("SLIDES", key, rewritten, file);

        SlideKey(key, "Sound%d", number);
        RewriteOptionalName("SLIDES", key, file);
        if (number == INT32_MAX) break;
    }
    return 1;
}

// The profile writes replace the show description by a new file; the
// package process holds that one from now on.
void HoldRewrittenShowDescription() {
    for (int32_t entry = 0; entry < g_PackageFiles.count && entry < PACKAGE_MAX_ENTRIES; ++entry) {
        PackageFile& record = g_PackageFiles.entries[entry];
        if (record.file.IsHeld() && std::strcmp(record.path, g_Show.ShowDescriptionPath) == 0) {
            RememberPackageFile(record, record.path);
        }
    }
}

// The exit status of a package whose player ended as `end`, in the shell's
// terms.
int PlayerStatus(const tarn::ProgramEnd& end) {
    if (!end.started) {
        // A temporary folder on which nothing may run, for one.
        std::string why = "cannot start the show's player " + std::string(g_Show.PlayerPath);
        if (end.error != 0) why += std::string(": ") + std::strerror(end.error);
        tarn::SayCannotPlay(why);
        return tarn::kCannotPlayStatus;
    }
    if (end.exited) return end.exitCode;
    return end.signal != 0 ? 128 + end.signal : tarn::kCannotPlayStatus;
}

}  // namespace

int RewriteShowDescription() {
    int result = 0;
    {
        // The writes land in the file at once, when the batch ends: one new
        // file instead of one per key.
        tarn::ProfileWriteBatch batch(g_Show.ShowDescriptionPath);
        result = RewriteSlides(g_Show.ShowDescriptionPath);
    }
    HoldRewrittenShowDescription();
    return result;
}

int32_t FirstSlideFile(char* path, size_t size) {
    char key[32];
    SlideKey(key, "Image%d", SLIDE_KEY_BASE);
    char value[kValueBytes];
    GetPrivateProfileStringA("SLIDES", key, "", value, sizeof value, g_Show.ShowDescriptionPath);
    char decorated[kValueBytes];
    if (!DecoratedName(value, decorated) || std::strlen(decorated) >= size) return -1;
    int32_t slot = -1;
    const int32_t count = g_PackageFiles.count < PACKAGE_MAX_ENTRIES ? g_PackageFiles.count
                                                                    : PACKAGE_MAX_ENTRIES;
    for (int32_t entry = 0; entry < count; ++entry) {
        if (SameEntryName(g_Show.Entries[entry].name, value)) slot = entry;
    }
    std::memcpy(path, decorated, std::strlen(decorated) + 1);
    return slot;
}

int LaunchPlayer() {
    // Everything the clean-up afterwards needs is read now: the player
    // deletes the show description when it closes.
    bool keep[PACKAGE_MAX_ENTRIES] = {};
    MarkSlideFilesToKeep(keep);

    tarn::CatchTerminationSignals();
    int status = 0;
    // A show interrupted before it began is not started at all.
    if (const int early = tarn::TerminationSignalCaught(); early != 0) {
        status = 128 + early;
    } else {
        // The first slide's picture, when it is being decoded here, goes to
        // the player.
        const std::string handover = tarn::media::PrepareHandoverForChild();
        tarn::ProgramStart start;
        if (!handover.empty()) start.extraVariable = handover.c_str();
        start.started = [] { tarn::media::ForgetHandoverCopies(); };
        const tarn::ProgramEnd end = tarn::RunProgram(g_Show.PlayerPath, g_Show.ShowDescriptionPath, start);
        status = PlayerStatus(end);
    }

    // However the player ended, nothing of the show stays behind but the
    // slides' files that CLEAN 0 keeps; only the files this process created
    // are deleted.
    DeletePackageFile(g_PackageFiles.entries[0]);
    DeletePackageFiles(keep);
    return status;
}
