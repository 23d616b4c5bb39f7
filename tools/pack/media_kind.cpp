#include "media_kind.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace tarnpack {
namespace {

constexpr std::array<std::string_view, 10> kPictures{"jpg", "jpeg", "jpe", "jfif", "png",
                                                    "bmp", "gif",  "tif", "tiff", "webp"};
constexpr std::array<std::string_view, 15> kClips{"mp4", "m4v", "mov", "avi", "mkv", "webm", "mpg", "mpeg",
                                                 "wmv", "3gp", "mts", "m2ts", "ogv", "flv", "vob"};
constexpr std::array<std::string_view, 9> kSounds{"wav", "mp3", "ogg", "oga", "flac",
                                                 "m4a", "aac", "wma", "opus"};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

template <size_t N>
bool Among(const std::array<std::string_view, N>& list, const std::string& extension) {
    return std::find(list.begin(), list.end(), extension) != list.end();
}

// -1, 0 or 1 as the natural order puts a before, with or after b.
int Compare(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            size_t endA = i, endB = j;
            while (endA < a.size() && IsDigit(a[endA])) ++endA;
            while (endB < b.size() && IsDigit(b[endB])) ++endB;
            size_t startA = i, startB = j;
            while (startA + 1 < endA && a[startA] == '0') ++startA;
            while (startB + 1 < endB && b[startB] == '0') ++startB;
            const size_t lengthA = endA - startA, lengthB = endB - startB;
            if (lengthA != lengthB) return lengthA < lengthB ? -1 : 1;
            const int digits = a.substr(startA, lengthA).compare(b.substr(startB, lengthB));
            if (digits != 0) return digits < 0 ? -1 : 1;
            i = endA;
            j = endB;
            continue;
        }
        const char ca = Lower(a[i]), cb = Lower(b[j]);
        if (ca != cb) return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

}  // namespace

MediaKind KindOfFile(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot == 0) return MediaKind::Other;
    std::string extension = fileName.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(), Lower);
    if (Among(kPictures, extension)) return MediaKind::Picture;
    if (Among(kClips, extension)) return MediaKind::Clip;
    if (Among(kSounds, extension)) return MediaKind::Sound;
    return MediaKind::Other;
}

bool NaturalLess(const std::string& a, const std::string& b) {
    const int natural = Compare(a, b);
    if (natural != 0) return natural < 0;
    return a < b;
}

}  // namespace tarnpack
