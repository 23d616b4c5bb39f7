#include "folder_show.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "exif_date.h"
#include "media_kind.h"
#include "platform/kernel/profile_text.h"
#include "show/show_record.h"

namespace tarnpack {
namespace {

namespace fs = std::filesystem;

struct Candidate {
    fs::path path;
    std::string shown;  // as the author named it, for messages
    std::string name;   // the file's own name
    MediaKind kind;
    std::string date;  // for the date order
};

std::string LowerStem(const fs::path& path) {
    std::string stem = path.stem().string();
    for (char& c : stem) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return stem;
}

bool ByName(const Candidate& a, const Candidate& b) {
    if (a.name != b.name) return NaturalLess(a.name, b.name);
    return a.path < b.path;
}

std::string LocalTime(std::time_t seconds) {
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &seconds) != 0) return {};
#else
    if (localtime_r(&seconds, &local) == nullptr) return {};
#endif
    char text[32];
    if (std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &local) == 0) return {};
    return text;
}

// The name written for `path`: relative to `base` when that reaches it.
std::string WrittenName(const fs::path& path, const fs::path& base) {
    if (!base.empty()) {
        const fs::path relative = path.lexically_relative(base);
        if (!relative.empty()) return relative.generic_string();
    }
    return path.generic_string();
}

// Whether the show description gives the name back exactly as written.
bool Writable(const std::string& value) {
    if (value.empty() || !tarn::profile::IsWritableValue(value)) return false;
    const std::string text = "[SLIDES]\r\nImage1000=" + value + "\r\n";
    return tarn::profile::FindValue(text, "SLIDES", "Image1000") == value;
}

class Collector {
public:
    Collector(std::vector<Candidate>* files, std::string* error) : files_(files), error_(error) {}

    bool AddInput(const std::string& input) {
        std::error_code code;
        const fs::file_status status = fs::status(input, code);
        if (code) return Fail(input + ": " + code.message());
        if (fs::is_directory(status)) {
            fs::directory_iterator it(input, code);
            if (code) return Fail(input + ": " + code.message());
            for (; it != fs::directory_iterator(); it.increment(code)) {
                if (code) return Fail(input + ": " + code.message());
                std::error_code ignored;
                if (it->is_regular_file(ignored)) Add(it->path(), (fs::path(input) / it->path().filename()).string());
            }
            if (code) return Fail(input + ": " + code.message());
            return true;
        }
        if (!fs::is_regular_file(status)) return Fail(input + " is neither a file nor a folder");
        Add(fs::path(input), input);
        return true;
    }

private:
    void Add(const fs::path& path, const std::string& shown) {
        std::error_code code;
        fs::path absolute = fs::absolute(path, code);
        if (code) absolute = path;
        absolute = absolute.lexically_normal();
        for (const Candidate& known : *files_) {
            if (known.path == absolute) return;  // named twice
        }
        const std::string name = absolute.filename().string();
        files_->push_back({absolute, shown, name, KindOfFile(name), {}});
    }

    bool Fail(const std::string& message) {
        *error_ = message;
        return false;
    }

    std::vector<Candidate>* files_;
    std::string* error_;
};

std::string Line(const std::string& key, const std::string& value) { return key + "=" + value + "\r\n"; }

std::string SlideKey(const char* stem, size_t slide) {
    return stem + std::to_string(static_cast<int64_t>(slide) + SLIDE_KEY_BASE);
}

// The files of a show by what they are to it.
struct Sorted {
    std::vector<Candidate> slides;
    std::vector<Candidate> sounds;
};

// Pictures and clips, sounds, and the files left out (listed in `leftOut`).
// The music is none of them.
Sorted Sort(const std::vector<Candidate>& files, const fs::path& music, const fs::path& base,
            std::vector<std::string>* leftOut) {
    Sorted sorted;
    for (const Candidate& file : files) {
        std::error_code ignored;
        if (!music.empty() && (file.path == music || fs::equivalent(file.path, music, ignored))) continue;
        if (!Writable(WrittenName(file.path, base))) {
            leftOut->push_back(file.shown + " (its name cannot be written in a show description)");
            continue;
        }
        switch (file.kind) {
            case MediaKind::Picture:
            case MediaKind::Clip:
                sorted.slides.push_back(file);
                break;
            case MediaKind::Sound:
                sorted.sounds.push_back(file);
                break;
            case MediaKind::Other:
                leftOut->push_back(file.shown + " (not a picture, clip or sound)");
                break;
        }
    }
    return sorted;
}

// The sound of each slide's base name (lower case): the first in name order.
std::map<std::string, fs::path> MatchSounds(const Sorted& sorted, std::vector<std::string>* leftOut) {
    std::set<std::string> slideStems;
    for (const Candidate& slide : sorted.slides) slideStems.insert(LowerStem(slide.path));
    std::map<std::string, fs::path> soundByStem;
    for (const Candidate& sound : sorted.sounds) {
        const std::string stem = LowerStem(sound.path);
        const auto known = soundByStem.find(stem);
        if (!slideStems.count(stem)) {
            leftOut->push_back(sound.shown + " (a sound with no picture or clip of its name)");
        } else if (known != soundByStem.end()) {
            leftOut->push_back(sound.shown + " (" + known->second.filename().string() +
                               " is already the sound of that slide)");
        } else {
            soundByStem.emplace(stem, sound.path);
        }
    }
    return soundByStem;
}

// The show description's text, lines ended by CR LF.
std::string Describe(const FolderShowOptions& options, const std::vector<Candidate>& slides,
                     const std::map<std::string, fs::path>& soundByStem, const fs::path& music,
                     const fs::path& base) {
    int32_t advance = 0;
    if (options.delayMs > 0) advance |= ADVANCE_TIMED;
    if (options.waitForSound) advance |= ADVANCE_WAIT_FOR_SOUND;
    std::string text = "[OPTIONS]\r\n";
    text += Line("AdvanceMethod", std::to_string(advance));
    text += Line("ViewOptions", "0");
    text += Line("SoundOptions", music.empty() ? "0" : std::to_string(SOUND_LOOP_BACKGROUND));
    text += Line("BackgroundSound", music.empty() ? "" : WrittenName(music, base));
    text += Line("DelayBetweenSlidesInMilliseconds", std::to_string(options.delayMs > 0 ? options.delayMs : 0));
    text += Line("ShowSplash", options.splash ? "1" : "0");
    text += "\r\n[SLIDES]\r\n";
    text += Line("Count", std::to_string(slides.size()));
    for (size_t i = 0; i < slides.size(); ++i) {
        text += Line(SlideKey("Image", i), WrittenName(slides[i].path, base));
        const auto sound = soundByStem.find(LowerStem(slides[i].path));
        text += Line(SlideKey("Sound", i), sound == soundByStem.end() ? "" : WrittenName(sound->second, base));
        if (i == 0 && options.firstDelayMs) text += Line(SlideKey("Delay", i), std::to_string(*options.firstDelayMs));
    }
    return text;
}

}  // namespace

std::string DateTaken(const std::string& path) {
    std::string date = ExifDateTaken(path);
    if (!date.empty()) return date;
    std::error_code code;
    const fs::file_time_type written = fs::last_write_time(path, code);
    if (code) return {};
    const auto system = std::chrono::file_clock::to_sys(written);
    return LocalTime(std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(system)));
}

bool MakeFolderShow(const FolderShowOptions& options, const std::string& base, FolderShow* show,
                    std::string* error) {
    *show = FolderShow{};
    std::vector<Candidate> files;
    Collector collector(&files, error);
    for (const std::string& input : options.inputs) {
        if (!collector.AddInput(input)) return false;
    }
    std::sort(files.begin(), files.end(), ByName);

    fs::path music;
    if (!options.music.empty()) {
        std::error_code code;
        if (!fs::is_regular_file(options.music, code)) {
            *error = "the music " + options.music + (code ? ": " + code.message() : " is not a file");
            return false;
        }
        music = fs::absolute(options.music, code).lexically_normal();
    }
    const fs::path baseFolder = base.empty() ? fs::path() : fs::absolute(base).lexically_normal();
    if (!music.empty() && !Writable(WrittenName(music, baseFolder))) {
        *error = "the music " + options.music + ": its name cannot be written in a show description";
        return false;
    }

    Sorted sorted = Sort(files, music, baseFolder, &show->leftOut);
    if (sorted.slides.empty()) {
        std::string named;
        for (const std::string& input : options.inputs) named += (named.empty() ? "" : ", ") + input;
        *error = "no pictures or clips in " + named;
        return false;
    }
    const std::map<std::string, fs::path> soundByStem = MatchSounds(sorted, &show->leftOut);
    if (options.order == SlideOrder::Date) {
        for (Candidate& slide : sorted.slides) slide.date = DateTaken(slide.path.string());
        std::stable_sort(sorted.slides.begin(), sorted.slides.end(),
                         [](const Candidate& a, const Candidate& b) { return a.date < b.date; });
    }
    show->description = Describe(options, sorted.slides, soundByStem, music, baseFolder);
    show->slides = sorted.slides.size();
    return true;
}

}  // namespace tarnpack
