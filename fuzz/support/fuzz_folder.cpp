#include "support/fuzz_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tarn::fuzz {

void Fail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "\n%s:%d: check failed: %s\n", file, line, what);
    std::fflush(stderr);
    std::abort();
}

FuzzFolder::FuzzFolder(const char* tag) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = (base != nullptr && base[0] == '/') ? base : "/tmp";
    if (pattern.back() != '/') pattern.push_back('/');
    pattern += "tarn-fuzz-";
    pattern += tag;
    pattern += "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) Fail(__FILE__, __LINE__, "cannot make the fuzz folder");
    path_ = pattern;
}

FuzzFolder::~FuzzFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string FuzzFolder::operator/(std::string_view name) const {
    std::string path = path_;
    path.push_back('/');
    path.append(name);
    return path;
}

std::vector<std::string> ListNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

void EmptyFolder(const std::string& folder) {
    for (const std::string& name : ListNames(folder)) {
        std::error_code ignored;
        std::filesystem::remove_all(folder + "/" + name, ignored);  // links are removed, not followed
    }
}

void WriteFileBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) Fail(__FILE__, __LINE__, "cannot write a file of the fuzz folder");
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool IsPlainFile(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsLink(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

int OpenDescriptorCount() { return static_cast<int>(ListNames("/proc/self/fd").size()); }

}  // namespace tarn::fuzz
