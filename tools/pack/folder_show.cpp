#include "folder_show.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
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

    std::vector<Candidate> slides;
    std::map<std::string, const Candidate*> soundByStem;
    std::vector<const Candidate*> sounds;
    for (const Candidate& file : files) {
        std::error_code ignored;
        if (!music.empty() && (file.path == music || fs::equivalent(file.path, music, ignored))) continue;
        if (!Writable(WrittenName(file.path, baseFolder))) {
            show->leftOut.push_back(file.shown + " (its name cannot be written in a show description)");
            continue;
        }
        switch (file.kind) {
            case MediaKind::Picture:
            case MediaKind::Clip:
                slides.push_back(file);
                break;
            case MediaKind::Sound:
                sounds.push_back(&file);
                break;
            case MediaKind::Other:
                show->leftOut.push_back(file.shown + " (not a picture, clip or sound)");
                break;
        }
    }
    if (slides.empty()) {
        std::string named;
        for (const std::string& input : options.inputs) named += (named.empty() ? "" : ", ") + input;
        *error = "no pictures or clips in " + named;
        return false;
    }
    if (slides.size() > static_cast<size_t>(INT32_MAX) - SLIDE_KEY_BASE) {
        *error = "too many slides";
        return false;
    }

    std::map<std::string, bool> slideStems;
    for (const Candidate& slide : slides) slideStems[LowerStem(slide.path)] = true;
    for (const Candidate* sound : sounds) {
        const std::string stem = LowerStem(sound->path);
        if (!slideStems.count(stem)) {
            show->leftOut.push_back(sound->shown + " (a sound with no picture or clip of its name)");
        } else if (soundByStem.count(stem)) {
            show->leftOut.push_back(sound->shown + " (" + soundByStem[stem]->name +
                                    " is already the sound of that slide)");
        } else {
            soundByStem[stem] = sound;
        }
    }

    if (options.order == SlideOrder::Date) {
        for (Candidate& slide : slides) slide.date = DateTaken(slide.path.string());
        std::stable_sort(slides.begin(), slides.end(),
                         [](const Candidate& a, const Candidate& b) { return a.date < b.date; });
    }

    int32_t advance = 0;
    if (options.delayMs > 0) advance |= ADVANCE_TIMED;
    if (options.waitForSound) advance |= ADVANCE_WAIT_FOR_SOUND;
    std::string text = "[OPTIONS]\r\n";
    text += Line("AdvanceMethod", std::to_string(advance));
    text += Line("ViewOptions", "0");
    text += Line("SoundOptions", music.empty() ? "0" : std::to_string(SOUND_LOOP_BACKGROUND));
    text += Line("BackgroundSound", music.empty() ? "" : WrittenName(music, baseFolder));
    text += Line("DelayBetweenSlidesInMilliseconds", std::to_string(options.delayMs > 0 ? options.delayMs : 0));
    text += Line("ShowSplash", options.splash ? "1" : "0");
    text += "\r\n[SLIDES]\r\n";
    text += Line("Count", std::to_string(slides.size()));
    for (size_t i = 0; i < slides.size(); ++i) {
        text += Line(SlideKey("Image", i), WrittenName(slides[i].path, baseFolder));
        const auto sound = soundByStem.find(LowerStem(slides[i].path));
        text += Line(SlideKey("Sound", i), sound == soundByStem.end() ? "" : WrittenName(sound->second->path, baseFolder));
        if (i == 0 && options.firstDelayMs) text += Line(SlideKey("Delay", i), std::to_string(*options.firstDelayMs));
    }
    show->description = std::move(text);
    show->slides = slides.size();
    return true;
}

}  // namespace tarnpack
