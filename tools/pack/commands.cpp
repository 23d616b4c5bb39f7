#include "commands.h"

#include <cstdio>
#include <cstring>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <system_error>
#include <vector>

#include "jpeg_baseline.h"
#include "package_listing.h"
#include "package_writer.h"
#include "platform/kernel/profile_text.h"
#include "platform/paths.h"
#include "player_image.h"
#include "show/show_record.h"
#include "show_plan.h"

namespace tarnpack {
namespace {

namespace fs = std::filesystem;

// Shows progress only for shows big enough to take a moment.
constexpr uint64_t kProgressFromBytes = 8u << 20;
// "KTZFFFF.tmp." before every extracted name.
constexpr size_t kLongestDecoratorAndDot = 12;
// Show descriptions are a few kilobytes; anything far larger is not one.
constexpr size_t kLargestShowDescription = 16u << 20;

int Error(std::ostream& err, const std::string& message) {
    err << "tarnpack: " << message << "\n";
    return 1;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ignored;
    return fs::equivalent(a, b, ignored);
}

// Whether a file of the show is named as a JPEG.
bool HoldsJpegs(const PackagePlan& plan) {
    for (const PlannedEntry& entry : plan.entries) {
        std::string extension = fs::path(entry.name).extension().string();
        for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (entry.showFile && (extension == ".jpg" || extension == ".jpeg")) return true;
    }
    return false;
}

// The same name once made absolute, for files that need not exist yet.
bool SamePath(const std::string& a, const std::string& b) {
    std::error_code ignored;
    return fs::absolute(a, ignored).lexically_normal() == fs::absolute(b, ignored).lexically_normal();
}

// Redraws one line on the terminal at each whole percent and at each entry:
// what is being written and how far the package is.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, const std::string& output) : err_(err), output_(output) {}
    ~ProgressLine() {
        if (shown_ != 0) err_ << "\n";
    }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void operator()(const std::string& entry, uint64_t written, uint64_t total) {
        const int percent = total == 0 ? 100 : static_cast<int>(written * 100 / total);
        if (percent == percent_ && entry == entry_) return;
        percent_ = percent;
        entry_ = entry;
        std::ostringstream line;
        line << "tarnpack: writing " << output_ << " " << std::setw(3) << percent << "% (" << std::fixed
             << std::setprecision(1) << static_cast<double>(written) / (1 << 20) << " of "
             << static_cast<double>(total) / (1 << 20) << " MiB)";
        if (!entry.empty()) line << " " << entry;
        std::string text = line.str();
        const size_t length = text.size();
        // Blanks over the rest of a longer line before.
        if (length < shown_) text.append(shown_ - length, ' ');
        shown_ = length;
        err_ << "\r" << text << std::flush;
    }

private:
    std::ostream& err_;
    std::string output_;
    int percent_ = -1;
    std::string entry_;
    size_t shown_ = 0;  // the characters of the last line drawn
};

// The first `limit` bytes (at most) of an entry's data.
std::string EntryBytes(const std::string& path, const ListedEntry& entry, size_t limit) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(entry.offset));
    std::string bytes(entry.size < limit ? entry.size : limit, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

// Files the packed show description names that the package does not hold.
std::vector<std::string> MissingFiles(const std::string& description, const PackageListing& listing) {
    auto held = [&](const std::string& name) {
        for (const ListedEntry& entry : listing.entries) {
            if (entry.name == name) return true;
        }
        return false;
    };
    std::vector<std::string> missing;
    auto check = [&](const char* section, const std::string& key, bool required) {
        const std::string value = tarn::profile::FindValue(description, section, key).value_or("");
        if ((required || !value.empty()) && !held(value)) {
            missing.push_back(key + " names \"" + value + "\", which the package does not hold");
        }
    };
    check("OPTIONS", "BackgroundSound", false);
    const std::string countText = tarn::profile::FindValue(description, "SLIDES", "Count").value_or("0");
    const int32_t count = ParseShowNumber(countText.c_str());
    for (int32_t slide = 0; slide < count && missing.size() < 10; ++slide) {
        const std::string number = std::to_string(static_cast<int64_t>(slide) + SLIDE_KEY_BASE);
        check("SLIDES", "Image" + number, true);
        check("SLIDES", "Sound" + number, false);
    }
    return missing;
}

// Writes the show description made from a folder, for the author to edit.
bool WriteShowDescription(const std::string& path, const std::string& text, std::string* error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (out) out.close();
    if (!out) {
        *error = "cannot write the show description " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// The package plan of the show made from the files of `options`, and its
// show description in `text`.
bool PlanFolderShow(const CreateOptions& options, PackagePlan* plan, std::string* text, std::ostream& err,
                    std::string* error) {
    // Names relative to the written show description's folder; absolute
    // names when none is written.
    std::string base;
    std::string descriptionName = "show.ini";
    if (!options.writeIni.empty()) {
        std::error_code code;
        const fs::path absolute = fs::absolute(options.writeIni, code);
        if (code) {
            *error = options.writeIni + ": " + code.message();
            return false;
        }
        base = absolute.lexically_normal().parent_path().string();
        descriptionName = absolute.filename().string();
    }
    FolderShow show;
    if (!MakeFolderShow(options.folderShow, base, &show, error)) return false;
    for (const std::string& file : show.leftOut) err << "tarnpack: left out " << file << "\n";
    *text = show.description;
    return PlanPackageFromText(show.description, base, descriptionName, options.playerPath, plan, error);
}

}  // namespace

int Create(const CreateOptions& options, std::ostream& out, std::ostream& err) {
    const bool fromFolder = options.showPath.empty();
    std::vector<std::string> inputs{options.playerPath};
    if (!fromFolder) inputs.push_back(options.showPath);
    if (!options.writeIni.empty() && (SameFile(options.writeIni, options.outputPath) ||
                                      SamePath(options.writeIni, options.outputPath))) {
        return Error(err, "the show description " + options.writeIni + " and the output are the same file");
    }
    for (const std::string& input : inputs) {
        if (SameFile(input, options.outputPath)) {
            return Error(err, "the output " + options.outputPath + " would replace " + input);
        }
    }
    PackagePlan plan;
    std::string error;
    std::string description;
    if (fromFolder ? !PlanFolderShow(options, &plan, &description, err, &error)
                   : !PlanPackage(options.showPath, options.playerPath, &plan, &error)) {
        return Error(err, error);
    }
    for (const PlannedEntry& entry : plan.entries) {
        if (entry.path.empty()) continue;
        if (SameFile(entry.path, options.outputPath)) {
            return Error(err, "the output " + options.outputPath + " would replace " + entry.path);
        }
        if (!options.writeIni.empty() && SameFile(entry.path, options.writeIni)) {
            return Error(err, "the show description " + options.writeIni + " would replace " + entry.path);
        }
    }
    for (const std::string& warning : plan.warnings) err << "tarnpack: warning: " << warning << "\n";
    if (!options.writeIni.empty() && !WriteShowDescription(options.writeIni, description, &error)) {
        return Error(err, error);
    }

    WriteSettings settings;
    settings.keepJpeg = options.keepJpeg;
    bool written;
    if (options.showProgress && plan.totalBytes >= kProgressFromBytes) {
        ProgressLine line(err, options.outputPath);
        settings.progress = std::ref(line);
        written = WritePackage(plan, options.outputPath, settings, &error);
    } else {
        written = WritePackage(plan, options.outputPath, settings, &error);
    }
    if (!written) return Error(err, error);

    size_t baseline = 0;
    size_t rewritten = 0;
    for (const PlannedEntry& entry : plan.entries) {
        baseline += entry.storedAsBaseline ? 1 : 0;
        rewritten += entry.storedRewritten ? 1 : 0;
    }
    out << options.outputPath << ": " << plan.entries.size() << " entries, " << plan.totalBytes
        << " bytes of data";
    if (plan.playerStripped) out << " (the player's own package left out)";
    if (rewritten != 0) {
        out << " (" << rewritten << (rewritten == 1 ? " JPEG" : " JPEGs")
            << " stored with restart markers)";
    }
    if (baseline != 0) {
        out << " (" << baseline << (baseline == 1 ? " progressive JPEG" : " progressive JPEGs")
            << " stored as baseline)";
    }
    if (!options.keepJpeg && !JpegRewriteAvailable() && HoldsJpegs(plan)) {
        out << " (JPEGs stored as they are: this tarnpack has no JPEG library)";
    }
    out << "\n";
    return 0;
}

int List(const std::string& packagePath, std::ostream& out, std::ostream& err) {
    PackageListing listing;
    std::string error;
    if (!ReadPackageListingFile(packagePath, &listing, &error)) return Error(err, error);
    if (listing.fault != PackageFault::None) return Error(err, packagePath + ": " + DescribeFault(listing));
    out << std::left << std::setw(6) << "entry" << std::right << std::setw(12) << "size" << std::setw(12)
        << "offset" << "  name\n";
    for (size_t i = 0; i < listing.entries.size(); ++i) {
        const ListedEntry& entry = listing.entries[i];
        out << std::left << std::setw(6) << i << std::right << std::setw(12) << entry.size << std::setw(12)
            << entry.offset << "  " << entry.name << "\n";
    }
    out << listing.entries.size() << " entries; data end at " << listing.dataEnd << ", directory at "
        << listing.directoryOffset << ", file of " << listing.fileLength << " bytes\n";
    return 0;
}

int Verify(const std::string& packagePath, std::ostream& out, std::ostream& err) {
    PackageListing listing;
    std::string error;
    if (!ReadPackageListingFile(packagePath, &listing, &error)) return Error(err, error);
    if (listing.fault != PackageFault::None) return Error(err, packagePath + ": " + DescribeFault(listing));

    char folder[SHOW_PATH_BYTES];
    if (!tarn::TemporaryFolder(folder, sizeof folder)) return Error(err, "the temporary folder path is too long");
    const size_t prefix = std::strlen(folder) + kLongestDecoratorAndDot;
    int problems = 0;
    for (size_t i = 0; i < listing.entries.size(); ++i) {
        if (prefix + listing.entries[i].name.size() >= MAX_PATH) {
            Error(err, packagePath + ": entry " + std::to_string(i) + " (" + listing.entries[i].name +
                           "): extracted into " + folder + " its path would exceed " +
                           std::to_string(MAX_PATH - 1) + " bytes");
            ++problems;
        }
    }
    if (!LooksLikeProgram(EntryBytes(packagePath, listing.entries[0], 4))) {
        Error(err, packagePath + ": entry 0 (" + listing.entries[0].name + ") is not a program");
        ++problems;
    }
    if (listing.entries[1].size > kLargestShowDescription) {
        Error(err, packagePath + ": entry 1 (" + listing.entries[1].name + ") is too large for a show description");
        ++problems;
    } else {
        const std::string description = EntryBytes(packagePath, listing.entries[1], kLargestShowDescription);
        for (const std::string& missing : MissingFiles(description, listing)) {
            Error(err, packagePath + ": the show description (entry 1): " + missing);
            ++problems;
        }
    }
    if (problems != 0) return 1;
    out << packagePath << ": ok, " << listing.entries.size() << " entries, " << listing.dataEnd
        << " bytes of data\n";
    return 0;
}

}  // namespace tarnpack
