// The show description's settings and paths for the running process, and the
// readers that fill them from the show description file.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// One directory record of a package: the entry's size and its NUL-padded name.
#pragma pack(push, 1)
struct PackageEntry {
    uint32_t size;
    char name[260];
};
#pragma pack(pop)
static_assert(sizeof(PackageEntry) == 264, "a package directory record is 264 bytes");

constexpr int PACKAGE_MAX_ENTRIES = 99;
constexpr int SHOW_PATH_BYTES = 512;
constexpr int SLIDE_KEY_BASE = 1000;

// AdvanceMethod bits.
constexpr int32_t ADVANCE_TIMED = 0x2;
constexpr int32_t ADVANCE_WAIT_FOR_SOUND = 0x4;
// The longest cross-fade a show may ask for.
constexpr int32_t MAX_TRANSITION_MS = 3000;

// SoundOptions bits.
constexpr int32_t SOUND_LOOP_BACKGROUND = 0x20;

struct ShowRecord {
    char PlayerPath[SHOW_PATH_BYTES];
    char ShowDescriptionPath[SHOW_PATH_BYTES];
    char BackgroundSound[SHOW_PATH_BYTES];
    char TempFileDecorator[SHOW_PATH_BYTES];
    int32_t Count;
    PackageEntry Entries[PACKAGE_MAX_ENTRIES];
    int32_t AdvanceMethod;
    int32_t ViewOptions;
    int32_t SoundOptions;
    int32_t DelayBetweenSlidesInMilliseconds;
    COLORREF FillColour;
    int32_t CurrentSlide;
    int32_t ShowSplash;
    // Milliseconds of the cross-fade between two still slides; 0 cuts.
    int32_t TransitionMilliseconds;
};

// The one record of the process.
extern ShowRecord g_Show;

// The result areas of ReadImageName and ReadSoundName.
extern char ImageNameBuffer[SHOW_PATH_BYTES];
extern char SoundNameBuffer[SHOW_PATH_BYTES];

// Leading white space, optional sign, decimal digits up to the first other
// character; no digits gives 0; the value wraps to its low 32 bits.
int32_t ParseShowNumber(const char* text);

// Resets the record and fills the default paths of an installed player.
void LoadDefaultPaths();
// Reads the settings, Count and TempFileDecorator from ShowDescriptionPath.
int32_t ReadShowSettings();
const char* ReadBackgroundSound();
const char* ReadImageName();
const char* ReadSoundName();

// The current slide's time in a timed show: its own `Delay%d` when that is a
// positive number, else DelayBetweenSlidesInMilliseconds.
int32_t ReadSlideDelay();

// Read the names stored for slide `index` into `buffer` (`size` bytes)
// without touching CurrentSlide or the result areas; for looking ahead.
void ReadImageNameAt(int32_t index, char* buffer, DWORD size);
void ReadSoundNameAt(int32_t index, char* buffer, DWORD size);
