// Arbitrary bytes as a package file, extracted into a private temporary
// folder. Whatever the bytes, extraction must not crash, must write nothing
// outside that folder, must never leave a file behind when it refuses, must
// accept every sound package, and what it accepts must come out byte for
// byte where the format puts it. The rewrite of the extracted show
// description stays in its file and leaves every slide naming a file beside
// the decorator, never one elsewhere. The package process's own deletion then removes
// everything it made.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "show/show_record.h"
#include "platform/kernel/profile_text.h"
#include "startup/launch.h"
#include "startup/package.h"
#include "startup/package_files.h"
#include "support/fuzz_folder.h"
#include "support/package_model.h"

namespace {

using tarn::fuzz::FuzzFolder;

constexpr std::string_view kBystanderBytes = "a file that is not the show's own\n";

struct Setting {
    FuzzFolder root{"package"};
    std::string temp = root / "temp";
    std::string package = root / "package.bin";
    std::string bystander = root / "bystander";

    Setting() {
        if (::mkdir(temp.c_str(), 0700) != 0) tarn::fuzz::Fail(__FILE__, __LINE__, "mkdir");
        ::setenv("TMPDIR", temp.c_str(), 1);
        tarn::fuzz::WriteFileBytes(bystander, kBystanderBytes);
    }
};

Setting& TheSetting() {
    static Setting setting;
    return setting;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Nothing outside the temporary folder changed.
void CheckSurroundings(const Setting& setting, std::string_view input) {
    const auto names = tarn::fuzz::ListNames(setting.root.Path());
    FUZZ_CHECK((names == std::vector<std::string>{"bystander", "package.bin", "temp"}),
               "a file appeared or vanished beside the temporary folder");
    std::string bytes;
    FUZZ_CHECK(tarn::fuzz::ReadFileBytes(setting.bystander, &bytes) && bytes == kBystanderBytes,
               "a file outside the temporary folder was changed");
    FUZZ_CHECK(tarn::fuzz::ReadFileBytes(setting.package, &bytes) && bytes == input,
               "the package file itself was changed");
}

void CheckAccepted(const Setting& setting, std::string_view input,
                   const tarn::fuzz::PackageModel& model) {
    FUZZ_CHECK(model.hasDirectory && model.dataFit,
               "a package whose directory or data do not fit was accepted");

    const std::string decorator = g_Show.TempFileDecorator;
    FUZZ_CHECK(FolderOf(decorator) == setting.temp, "the decorator is not in the temporary folder");
    const std::string decoratorName = NameOf(decorator);
    FUZZ_CHECK(decoratorName.rfind("KTZ", 0) == 0, "the decorator's name does not begin with KTZ");
    std::string bytes;
    FUZZ_CHECK(tarn::fuzz::IsPlainFile(decorator) && tarn::fuzz::ReadFileBytes(decorator, &bytes) &&
                   bytes.empty(),
               "the decorator is not an empty plain file");

    FUZZ_CHECK(g_Show.PlayerPath == decorator + "." + model.entries[0].name,
               "PlayerPath does not name the extracted entry 0");
    FUZZ_CHECK(g_Show.ShowDescriptionPath == decorator + "." + model.entries[1].name,
               "ShowDescriptionPath does not name the extracted entry 1");

    // The last entry of a name is the one its file holds.
    std::map<std::string, const tarn::fuzz::ModelEntry*> byName;
    for (const auto& entry : model.entries) byName[entry.name] = &entry;
    std::vector<std::string> expected{decoratorName};
    for (const auto& [name, entry] : byName) {
        const std::string path = decorator + "." + name;
        expected.push_back(NameOf(path));
        FUZZ_CHECK(FolderOf(path) == setting.temp, "an entry would land outside the temporary folder");
        FUZZ_CHECK(tarn::fuzz::IsPlainFile(path), "an extracted entry is not a plain file");
        FUZZ_CHECK(tarn::fuzz::ReadFileBytes(path, &bytes) &&
                       bytes == input.substr(entry->offset, entry->size),
                   "an extracted entry does not hold the bytes the format puts there");
    }
    std::sort(expected.begin(), expected.end());
    FUZZ_CHECK(tarn::fuzz::ListNames(setting.temp) == expected,
               "the temporary folder holds other files than the decorator and the entries");

    // Unless a later entry took over its name, the extracted player can run.
    if (byName[model.entries[0].name] == &model.entries[0]) {
        struct stat info {};
        FUZZ_CHECK(::stat(g_Show.PlayerPath, &info) == 0 && (info.st_mode & S_IXUSR) != 0,
                   "the extracted player cannot be run");
    }
}

// The rewrite walks every slide and writes the whole file for each; inputs
// with more slides than this are left to the hostile regression tests,
// which keep a fuzzing run fast.
constexpr int32_t kMostSlidesFuzzed = 64;

void CheckRewrite(const Setting& setting, std::string_view input) {
    std::string description;
    FUZZ_CHECK(tarn::fuzz::ReadFileBytes(g_Show.ShowDescriptionPath, &description), "no show description");
    const auto countText = tarn::profile::FindValue(description, "SLIDES", "Count");
    const int32_t count = ParseShowNumber(countText ? countText->c_str() : "0");
    if (count > kMostSlidesFuzzed) return;
    const std::vector<std::string> before = tarn::fuzz::ListNames(setting.temp);

    RewriteShowDescription();

    CheckSurroundings(setting, input);
    FUZZ_CHECK(tarn::fuzz::ListNames(setting.temp) == before,
               "the rewrite left other files in the temporary folder");
    FUZZ_CHECK(tarn::fuzz::IsPlainFile(g_Show.ShowDescriptionPath), "the rewritten show description is gone");
    const std::string prefix = std::string(g_Show.TempFileDecorator) + ".";
    for (int32_t slide = 0; slide < count; ++slide) {
        g_Show.CurrentSlide = slide;
        const std::string image = ReadImageName();
        FUZZ_CHECK(image.rfind(prefix, 0) == 0 && image.find('/', prefix.size()) == std::string::npos,
                   "a slide of a packaged show names a file outside the temporary folder");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Setting& setting = TheSetting();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    tarn::fuzz::WriteFileBytes(setting.package, input);
    std::memset(&g_Show, 0, sizeof g_Show);
    const int descriptorsBefore = tarn::fuzz::OpenDescriptorCount();

    const int result = ExtractPackageFrom(setting.package.c_str());
    const tarn::fuzz::PackageModel model = tarn::fuzz::ReadPackageModel(input);

    CheckSurroundings(setting, input);
    if (result == 0) {
        FUZZ_CHECK(tarn::fuzz::ListNames(setting.temp).empty(),
                   "a refused package left files in the temporary folder");
        FUZZ_CHECK(!tarn::fuzz::MustBeAccepted(model), "a sound package was refused");
    } else {
        FUZZ_CHECK(result == 1, "extraction reported something other than 0 or 1");
        CheckAccepted(setting, input, model);
        CheckRewrite(setting, input);
        DeletePackageFiles(nullptr);
        FUZZ_CHECK(tarn::fuzz::ListNames(setting.temp).empty(),
                   "the package process's deletion left extracted files behind");
    }
    ForgetPackageFiles();
    FUZZ_CHECK(tarn::fuzz::OpenDescriptorCount() == descriptorsBefore,
               "extraction left descriptors open");

    tarn::fuzz::EmptyFolder(setting.temp);
    return 0;
}
