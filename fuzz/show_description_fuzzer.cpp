// An arbitrary show description, read by the show record's readers and then
// cleaned up as at the close of a show. The text "%T%" in the input stands
// for the private temporary folder, so that inputs can name extracted files.
//
// Every number must follow the number rule, every name must arrive whole or
// cut to its buffer with a NUL, and clean-up must delete nothing but the
// decorator and files named after it: files beside it, inside folders, at
// the far end of a link or outside the temporary folder all stay.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel/profile_text.h"
#include "show/cleanup.h"
#include "show/show_record.h"
#include "support/fuzz_folder.h"
#include "support/number_reference.h"

namespace {

using tarn::fuzz::FuzzFolder;

struct Setting {
    FuzzFolder root{"show"};
    std::string temp = root / "temp";
    std::string outside = root / "outside";
    std::string description = temp + "/KTZ1.tmp.show.ini";
    // Planted before every clean-up, relative to the temporary folder.
    std::vector<std::string> plantedFiles{"KTZ1.tmp",   "KTZ1.tmp.a.jpg", "KTZ1.tmp.b.wav",
                                          "KTZ2.tmp",   "KTZ2.tmp.a.jpg", "a.jpg",
                                          "KTZ1.tmpa.jpg", "KTZ1.tmp.d/inner.jpg"};
    std::string linkName = "KTZ1.tmp.link";

    Setting() {
        if (::mkdir(temp.c_str(), 0700) != 0 || ::mkdir(outside.c_str(), 0700) != 0) {
            tarn::fuzz::Fail(__FILE__, __LINE__, "mkdir");
        }
        ::setenv("TMPDIR", temp.c_str(), 1);
        tarn::fuzz::WriteFileBytes(outside + "/victim", "victim");
        tarn::fuzz::WriteFileBytes(outside + "/KTZ1.tmp.a.jpg", "outside");
    }

    void Plant() const {
        tarn::fuzz::EmptyFolder(temp);
        ::mkdir((temp + "/KTZ1.tmp.d").c_str(), 0700);
        for (const std::string& name : plantedFiles) tarn::fuzz::WriteFileBytes(temp + "/" + name, "x");
        if (::symlink((outside + "/victim").c_str(), (temp + "/" + linkName).c_str()) != 0) {
            tarn::fuzz::Fail(__FILE__, __LINE__, "symlink");
        }
    }
};

Setting& TheSetting() {
    static Setting setting;
    return setting;
}

std::string Expand(std::string_view input, const std::string& temp) {
    std::string text;
    for (size_t i = 0; i < input.size();) {
        if (input.substr(i, 3) == "%T%") {
            text += temp + "/";
            i += 3;
        } else {
            text.push_back(input[i++]);
        }
    }
    return text;
}

// The value a reader with a buffer of `bytes` gets, as C text.
std::string Lookup(const std::string& text, const char* section, const std::string& key,
                   const char* fallback, size_t bytes) {
    const std::optional<std::string> found = tarn::profile::FindValue(text, section, key);
    std::string value = found ? *found : std::string(fallback);
    if (value.size() > bytes - 1) value.resize(bytes - 1);
    return std::string(value.c_str());
}

// A file name as the player takes it: a relative one is found in the show
// description's folder; "0" (an absent slide) and names from the root or a
// drive stay as written; one too long once its folder is added is dropped.
std::string InShowFolder(const std::string& name) {
    const bool letter = !name.empty() && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
    const bool absolute =
        !name.empty() && (name[0] == '/' || name[0] == '\\' || (letter && name.size() > 1 && name[1] == ':'));
    if (name.empty() || name == "0" || absolute) return name;
    const std::string description = g_Show.ShowDescriptionPath;
    const size_t separator = description.find_last_of("/\\");
    if (separator == std::string::npos) return name;
    const std::string whole = description.substr(0, separator + 1) + name;
    return whole.size() < SHOW_PATH_BYTES ? whole : std::string();
}

int32_t ExpectedNumber(const std::string& text, const char* section, const char* key) {
    return tarn::fuzz::ReferenceNumber(Lookup(text, section, key, "0", 260));
}

void CheckNumberRule(const std::string& text) {
    FUZZ_CHECK(ParseShowNumber(text.c_str()) == tarn::fuzz::ReferenceNumber(text.c_str()),
               "the number rule gives another value");
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        const size_t equals = line.find('=');
        const std::string value = equals == std::string::npos ? line : line.substr(equals + 1);
        FUZZ_CHECK(ParseShowNumber(value.c_str()) == tarn::fuzz::ReferenceNumber(value.c_str()),
                   "the number rule gives another value");
        start = end + 1;
    }
}

void CheckSettings(const std::string& text) {
    ReadShowSettings();
    FUZZ_CHECK(g_Show.AdvanceMethod == ExpectedNumber(text, "OPTIONS", "AdvanceMethod"), "AdvanceMethod");
    FUZZ_CHECK(g_Show.ViewOptions == ExpectedNumber(text, "OPTIONS", "ViewOptions"), "ViewOptions");
    FUZZ_CHECK(g_Show.SoundOptions == ExpectedNumber(text, "OPTIONS", "SoundOptions"), "SoundOptions");
    FUZZ_CHECK(g_Show.DelayBetweenSlidesInMilliseconds ==
                   ExpectedNumber(text, "OPTIONS", "DelayBetweenSlidesInMilliseconds"),
               "DelayBetweenSlidesInMilliseconds");
    FUZZ_CHECK(g_Show.ShowSplash == (ExpectedNumber(text, "OPTIONS", "ShowSplash") != 0 ? 1 : 0),
               "ShowSplash is not stored as 0 or 1");
    FUZZ_CHECK(g_Show.Count == ExpectedNumber(text, "SLIDES", "Count"), "Count");
    const int32_t fade = ExpectedNumber(text, "OPTIONS", "TransitionMilliseconds");
    FUZZ_CHECK(g_Show.TransitionMilliseconds == std::clamp(fade, 0, MAX_TRANSITION_MS), "TransitionMilliseconds");
    for (const int32_t slide : {0, 1, 7}) {
        g_Show.CurrentSlide = slide;
        const int32_t own = ExpectedNumber(text, "SLIDES", ("Delay" + std::to_string(SLIDE_KEY_BASE + slide)).c_str());
        FUZZ_CHECK(ReadSlideDelay() == (own > 0 ? own : g_Show.DelayBetweenSlidesInMilliseconds),
                   "a slide's own time reads otherwise");
    }
    g_Show.CurrentSlide = 0;

    const void* end = std::memchr(g_Show.TempFileDecorator, '\0', sizeof g_Show.TempFileDecorator);
    FUZZ_CHECK(end != nullptr, "TempFileDecorator is not ended by a NUL");
    FUZZ_CHECK(std::strlen(g_Show.TempFileDecorator) <= MAX_PATH - 1,
               "TempFileDecorator is longer than a path");

    const char* background = ReadBackgroundSound();
    FUZZ_CHECK(background == g_Show.BackgroundSound, "the background sound is not the record's");
    FUZZ_CHECK(background == InShowFolder(Lookup(text, "OPTIONS", "BackgroundSound", "", SHOW_PATH_BYTES)),
               "the background sound reads otherwise");
}

void CheckSlideNames(const std::string& text) {
    const int32_t count = g_Show.Count;
    // Neighbours of Count wrap as the player's 32-bit arithmetic does.
    auto near = [count](int32_t step) {
        return static_cast<int32_t>(static_cast<uint32_t>(count) + static_cast<uint32_t>(step));
    };
    const int32_t slides[] = {0,         1,     near(-1), count, near(1), INT32_MAX,
                              INT32_MIN, -1000, -1001,    INT32_MAX - 999};
    for (const int32_t slide : slides) {
        g_Show.CurrentSlide = slide;
        const std::string number =
            std::to_string(static_cast<int32_t>(static_cast<uint32_t>(slide) + SLIDE_KEY_BASE));
        const char* image = ReadImageName();
        FUZZ_CHECK(image == ImageNameBuffer, "ReadImageName returned another area");
        FUZZ_CHECK(image == InShowFolder(Lookup(text, "SLIDES", "Image" + number, "0", SHOW_PATH_BYTES)),
                   "ReadImageName read another key or value");
        const char* sound = ReadSoundName();
        FUZZ_CHECK(sound == SoundNameBuffer, "ReadSoundName returned another area");
        FUZZ_CHECK(sound == InShowFolder(Lookup(text, "SLIDES", "Sound" + number, "0", SHOW_PATH_BYTES)),
                   "ReadSoundName read another key or value");
        FUZZ_CHECK(g_Show.CurrentSlide == slide, "a reader moved CurrentSlide");
    }
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

void CheckCleanUp(const Setting& setting) {
    const std::string decorator = g_Show.TempFileDecorator;
    CleanUpShowFiles();

    auto mayGo = [&](const std::string& path) {
        if (decorator.empty()) return false;
        return path == decorator ||
               (path.rfind(decorator + ".", 0) == 0 &&
                path.find('/', decorator.size() + 1) == std::string::npos);
    };
    std::vector<std::string> planted = setting.plantedFiles;
    planted.push_back(setting.linkName);
    for (const std::string& name : planted) {
        const std::string path = setting.temp + "/" + name;
        if (!mayGo(path)) FUZZ_CHECK(Exists(path), "clean-up deleted a file the show did not make");
    }
    FUZZ_CHECK(Exists(setting.outside + "/victim") && Exists(setting.outside + "/KTZ1.tmp.a.jpg"),
               "clean-up deleted a file outside the temporary folder");
    FUZZ_CHECK(tarn::fuzz::ListNames(setting.root.Path()) ==
                   (std::vector<std::string>{"outside", "temp"}),
               "clean-up touched the folder around the temporary folder");
    std::set<std::string> known(planted.begin(), planted.end());
    known.insert("KTZ1.tmp.d");
    known.insert("KTZ1.tmp.show.ini");
    for (const std::string& name : tarn::fuzz::ListNames(setting.temp)) {
        FUZZ_CHECK(known.count(name) == 1, "clean-up made a file");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Setting& setting = TheSetting();
    const std::string text =
        Expand(std::string_view(reinterpret_cast<const char*>(data), size), setting.temp);
    CheckNumberRule(text);

    setting.Plant();
    tarn::fuzz::WriteFileBytes(setting.description, text);
    std::memset(&g_Show, 0, sizeof g_Show);
    std::snprintf(g_Show.ShowDescriptionPath, sizeof g_Show.ShowDescriptionPath, "%s",
                  setting.description.c_str());

    CheckSettings(text);
    CheckSlideNames(text);
    g_Show.CurrentSlide = 0;
    CheckCleanUp(setting);
    return 0;
}
