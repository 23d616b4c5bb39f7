#include "entry_names.h"

#include <algorithm>

namespace tarnpack {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

bool IsBlankOrQuote(char c) {
    return c == ' ' || c == '\t' || c == '"' || c == '\'';
}

}  // namespace

std::string SafeEntryName(const std::string& fileName) {
    std::string name = fileName;
    for (char& c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || c == '/' || c == '\\' || c == ':') c = '_';
    }
    // A show description loses blanks and quotes around a value.
    if (!name.empty() && IsBlankOrQuote(name.front())) name.front() = '_';
    if (!name.empty() && IsBlankOrQuote(name.back())) name.back() = '_';
    if (name.empty() || name == "." || name == "..") name = "_" + name;
    return name;
}

bool EntryNamer::Taken(const std::string& name) const { return taken_.count(Lower(name)) != 0; }

std::string EntryNamer::Claim(const std::string& fileName) {
    const std::string safe = SafeEntryName(fileName);
    std::string name = safe;
    if (Taken(name)) {
        // photo.jpg, photo-2.jpg, photo-3.jpg ...
        const size_t dot = safe.rfind('.');
        const bool hasExtension = dot != std::string::npos && dot > 0;
        const std::string stem = hasExtension ? safe.substr(0, dot) : safe;
        const std::string extension = hasExtension ? safe.substr(dot) : "";
        for (int number = 2; Taken(name); ++number) {
            name = stem + "-" + std::to_string(number) + extension;
        }
    }
    taken_.insert(Lower(name));
    return name;
}

}  // namespace tarnpack
