#include "show_plan.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <utility>

#include "entry_names.h"
#include "platform/kernel/profile_text.h"
#include "player_image.h"
#include "show/show_record.h"
#include "startup/package_directory.h"

namespace tarnpack {
namespace {

namespace fs = std::filesystem;

// The longest extracted path the default temporary folder leaves room for:
// "/tmp/" and a decorator "KTZFFFF.tmp" and ".".
constexpr size_t kDefaultDecoratedPrefix = 17;

std::string FileNameOf(const std::string& path) { return fs::path(path).filename().string(); }

class Planner {
public:
    Planner(const std::string& folder, PackagePlan* plan, std::string* error)
        : folder_(folder), plan_(plan), error_(error) {}

    bool AddPlayer(const std::string& playerPath) {
        PlayerImage image;
        if (!FindPlayerImage(playerPath, &image, error_)) return false;
        plan_->playerStripped = image.stripped;
        return Add({namer_.Claim(FileNameOf(playerPath)), "the player", playerPath, "", image.size});
    }

    // Reserves entry 1, called `fileName`; its data come last, once rewritten.
    bool AddShowDescription(const std::string& fileName) {
        return Add({namer_.Claim(fileName), "the show description", "", "", 0});
    }

    // The entry name for the file `value` names (`origin` is its key),
    // adding the file when it is new.
    std::optional<std::string> AddNamedFile(const std::string& origin, const std::string& value) {
        const fs::path named(value);
        const fs::path path = named.is_absolute() ? named : folder_ / named;
        std::error_code code;
        const fs::file_status status = fs::status(path, code);
        if (code) {
            Fail(origin + " names \"" + value + "\": " + path.string() + ": " + code.message());
            return std::nullopt;
        }
        if (!fs::is_regular_file(status)) {
            Fail(origin + " names \"" + value + "\": " + path.string() + " is not a file");
            return std::nullopt;
        }
        const uint64_t size = fs::file_size(path, code);
        if (code) {
            Fail(origin + " names \"" + value + "\": " + path.string() + ": " + code.message());
            return std::nullopt;
        }
        const fs::path resolved = fs::canonical(path, code);
        const std::string key = code ? path.string() : resolved.string();
        const auto known = byFile_.find(key);
        if (known != byFile_.end()) return known->second;
        if (size >= PACKAGE_ENTRY_SIZE_LIMIT) {
            Fail(origin + " names " + path.string() + ", which is 2 GiB or larger");
            return std::nullopt;
        }
        const std::string name = namer_.Claim(FileNameOf(key));
        PlannedEntry entry{name, origin, path.string(), "", size};
        entry.showFile = true;
        if (!Add(std::move(entry))) {
            return std::nullopt;
        }
        byFile_[key] = name;
        return name;
    }

    bool Fail(const std::string& message) {
        *error_ = message;
        return false;
    }

private:
    bool Add(PlannedEntry entry) {
        if (plan_->entries.size() >= static_cast<size_t>(PACKAGE_MAX_ENTRIES)) {
            return Fail("the show needs more than " + std::to_string(PACKAGE_MAX_ENTRIES) +
                        " entries (the player, the show description and its files); " + entry.origin +
                        " is one too many");
        }
        if (entry.name.size() >= PACKAGE_NAME_BYTES) {
            return Fail(entry.origin + ": the entry name \"" + entry.name + "\" is longer than " +
                        std::to_string(PACKAGE_NAME_BYTES - 1) + " bytes");
        }
        if (kDefaultDecoratedPrefix + entry.name.size() >= PACKAGE_NAME_BYTES) {
            plan_->warnings.push_back("the entry name \"" + entry.name +
                                      "\" is so long that the show can only be extracted into a "
                                      "temporary folder shorter than /tmp");
        }
        plan_->totalBytes += entry.size;
        plan_->entries.push_back(std::move(entry));
        return true;
    }

    fs::path folder_;
    PackagePlan* plan_;
    std::string* error_;
    EntryNamer namer_;
    std::map<std::string, std::string> byFile_;  // resolved path -> entry name
};

bool ReadShowText(const std::string& showPath, std::string* text, std::string* error) {
    std::error_code code;
    const fs::file_status status = fs::status(showPath, code);
    if (code) {
        *error = "cannot read the show description " + showPath + ": " + code.message();
        return false;
    }
    if (!fs::is_regular_file(status)) {
        *error = "the show description " + showPath + " is not a file";
        return false;
    }
    std::ifstream in(showPath, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    if (!in || in.bad()) {
        *error = "cannot read the show description " + showPath + ": " + std::strerror(errno);
        return false;
    }
    *text = contents.str();
    return true;
}

std::string Value(const std::string& text, const char* section, const std::string& key) {
    return tarn::profile::FindValue(text, section, key).value_or("");
}

std::string SlideKey(const char* stem, int32_t slide) {
    return stem + std::to_string(static_cast<int64_t>(slide) + SLIDE_KEY_BASE);
}

}  // namespace

bool PlanPackage(const std::string& showPath, const std::string& playerPath, PackagePlan* plan,
                 std::string* error) {
    *plan = PackagePlan{};
    std::string text;
    if (!ReadShowText(showPath, &text, error)) return false;
    return PlanPackageFromText(std::move(text), fs::path(showPath).parent_path().string(), FileNameOf(showPath),
                               playerPath, plan, error);
}

bool PlanPackageFromText(std::string text, const std::string& folder, const std::string& descriptionName,
                         const std::string& playerPath, PackagePlan* plan, std::string* error) {
    *plan = PackagePlan{};
    Planner planner(folder, plan, error);
    if (!planner.AddPlayer(playerPath) || !planner.AddShowDescription(descriptionName)) return false;

    const std::string background = Value(text, "OPTIONS", "BackgroundSound");
    if (!background.empty()) {
        const auto name = planner.AddNamedFile("BackgroundSound", background);
        if (!name) return false;
        text = tarn::profile::SetValue(text, "OPTIONS", "BackgroundSound", *name);
    }

    const int32_t count = ParseShowNumber(Value(text, "SLIDES", "Count").c_str());
    for (int32_t slide = 0; slide < count; ++slide) {
        const std::string imageKey = SlideKey("Image", slide);
        const std::string image = Value(text, "SLIDES", imageKey);
        if (image.empty()) {
            return planner.Fail(imageKey + " is missing or empty: each of the " + std::to_string(count) +
                                " slides (Count) needs a picture or clip");
        }
        const auto imageName = planner.AddNamedFile(imageKey, image);
        if (!imageName) return false;
        text = tarn::profile::SetValue(text, "SLIDES", imageKey, *imageName);

        const std::string soundKey = SlideKey("Sound", slide);
        const std::string sound = Value(text, "SLIDES", soundKey);
        if (sound.empty()) continue;
        const auto soundName = planner.AddNamedFile(soundKey, sound);
        if (!soundName) return false;
        text = tarn::profile::SetValue(text, "SLIDES", soundKey, *soundName);
    }

    PlannedEntry& description = plan->entries[1];
    description.size = text.size();
    description.bytes = std::move(text);
    plan->totalBytes += description.size;
    return true;
}

}  // namespace tarnpack
