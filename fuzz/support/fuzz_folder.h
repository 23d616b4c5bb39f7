// A private folder for one fuzzing process, and the small file helpers the
// targets share. Every target works only inside its folder: the folder is
// made once, under the temporary folder the process started with, and
// removed again when the process ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::fuzz {

// Stops the run with `what` when `condition` is false. libFuzzer then saves
// the input that led here.
#define FUZZ_CHECK(condition, what)                                   \
    do {                                                              \
        if (!(condition)) ::tarn::fuzz::Fail(__FILE__, __LINE__, what); \
    } while (0)

[[noreturn]] void Fail(const char* file, int line, const char* what);

class FuzzFolder {
public:
    // Makes "<temporary folder>/tarn-fuzz-<tag>-XXXXXX".
    explicit FuzzFolder(const char* tag);
    ~FuzzFolder();
    FuzzFolder(const FuzzFolder&) = delete;
    FuzzFolder& operator=(const FuzzFolder&) = delete;

    // The folder, without a trailing separator.
    const std::string& Path() const { return path_; }
    std::string operator/(std::string_view name) const;

private:
    std::string path_;
};

// The names directly in `folder`, sorted; symbolic links are listed, not
// followed.
std::vector<std::string> ListNames(const std::string& folder);

// Removes everything inside `folder` (never following a link), keeping the
// folder itself.
void EmptyFolder(const std::string& folder);

void WriteFileBytes(const std::string& path, std::string_view bytes);
// The whole file, or nothing when it cannot be read.
bool ReadFileBytes(const std::string& path, std::string* bytes);

bool IsPlainFile(const std::string& path);  // a regular file, not through a link
bool IsLink(const std::string& path);

// Descriptors open in this process; a target that leaks one per run would
// soon run out.
int OpenDescriptorCount();

}  // namespace tarn::fuzz
