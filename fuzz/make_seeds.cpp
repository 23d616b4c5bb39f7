// Writes the seed corpora of the fuzz targets: `make_seeds SEEDS OUT`, where
// SEEDS holds the show descriptions of fuzz/seeds and OUT receives
// OUT/package_reader, OUT/pack_listing, OUT/profile, OUT/show_description
// and OUT/jpeg_halves.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/package_model.h"

namespace {

namespace fs = std::filesystem;
using Files = std::vector<std::pair<std::string, std::string>>;

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The start of an executable image; the rest of it does not matter here.
std::string StubImage() {
    std::string image("\x7f" "ELF\x02\x01\x01", 7);
    image.resize(96, '\0');
    return image;
}

// A string as the profile target's data provider takes it: backslashes
// doubled, ended by a backslash and another character.
std::string ProviderString(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out.push_back(c);
        if (c == '\\') out.push_back('\\');
    }
    return out + "\\|";
}

void WritePackages(const fs::path& out, const std::vector<std::string>& descriptions) {
    const std::string stub = StubImage();
    const std::string picture = "\xff\xd8\xff\xe0 not really a picture \xff\xd9";
    const std::string& show = descriptions.front();
    int n = 0;
    auto add = [&](const Files& files, const std::string& gap = {}) {
        Write(out / ("package_" + std::to_string(n++)), tarn::fuzz::BuildPackage(files, gap));
    };

    for (const std::string& description : descriptions) {
        add({{"stub.exe", stub}, {"stub.ini", description}, {"P1000.jpg", picture},
             {"P1001.jpg", picture + picture}},
            std::string(264, '\0'));
    }
    add({{"stub.exe", stub}, {"stub.ini", show}});
    add({{"stub.exe", stub}, {"stub.ini", show}, {"empty.wav", ""}, {"P1000.jpg", picture}});
    add({{"same", stub}, {"same", show}, {"P1000.jpg", picture}});
    add({{"stub.exe", stub}, {"stub.ini", show}, {"P1000.jpg", picture}, {"P1000.jpg", "later"}});
    add({{"stub.exe", stub}, {"stub.ini", show}, {std::string(200, 'n') + ".jpg", picture}});
    add({{"stub.exe", stub}, {"stub.ini", show}, {"../escape.jpg", picture}});
    add({{"stub.exe", stub}, {"stub.ini", show}, {"sub/dir.jpg", picture}});
    add({{"stub.exe", stub}, {"stub.ini", show}, {"tab\tname", picture}});

    Files many{{"stub.exe", stub}, {"stub.ini", show}};
    for (int i = 2; i < 99; ++i) many.push_back({"F" + std::to_string(i), std::string(1, char(i))});
    add(many);

    // A count of 100 and a count that asks for more directory than the file has.
    std::string tooMany = tarn::fuzz::BuildPackage({{"stub.exe", stub}, {"stub.ini", show}});
    tooMany.replace(tooMany.size() - 4, 4, std::string("\x64\0\0\0", 4));
    Write(out / ("package_" + std::to_string(n++)), tooMany);
    std::string tooLong = tarn::fuzz::BuildPackage({{"stub.exe", stub}, {"stub.ini", show}});
    tooLong.replace(tooLong.size() - 4, 4, std::string("\x50\0\0\0", 4));
    Write(out / ("package_" + std::to_string(n++)), tooLong);
}

void WriteProfileInputs(const fs::path& out, const std::vector<std::string>& descriptions) {
    const std::vector<std::vector<std::string>> edits{
        {"OPTIONS", "AdvanceMethod", "6", "SLIDES", "Count", "0"},
        {"SLIDES", "Image1000", "  'KTZ1.tmp.P1000.jpg'  ", "OPTIONS", "BackgroundSound", ""},
        {"options", "TempFileDecorator", "/tmp/KTZ1.tmp", "Options", "tempfiledecorator", "x"},
        {"NEW", "Key", "value with = inside", "SLIDES", "Sound1000", "0 "},
        {"SLIDES", "Sound1000", "", "SLIDES", "Sound1001", "none"},
    };
    int n = 0;
    for (const std::string& description : descriptions) {
        for (const auto& edit : edits) {
            std::string input;
            for (const std::string& part : edit) input += ProviderString(part);
            input += description;
            input += std::string("\x01\x00\x40", 3);  // taken from the end: remove? and buffer size
            Write(out / ("profile_" + std::to_string(n++)), input);
        }
    }
}

// JPEG streams for the planner of the two-thread decode: headers as an
// encoder writes them and entropy-coded data made up (the planner reads
// markers only), with a restart marker every `rowsPerMarker` rows of MCUs.
std::string JpegStream(int width, int height, bool colour, int rowsPerMarker, int restartInterval,
                       unsigned char frame) {
    const auto be16 = [](int v) { return std::string{char((v >> 8) & 0xFF), char(v & 0xFF)}; };
    const auto segment = [&](unsigned char marker, const std::string& payload) {
        return std::string{'\xFF', char(marker)} + be16(static_cast<int>(payload.size()) + 2) + payload;
    };
    const int mcuSize = colour ? 16 : 8;
    const int perRow = (width + mcuSize - 1) / mcuSize;
    const int rows = (height + mcuSize - 1) / mcuSize;
    std::string out("\xFF\xD8", 2);
    out += segment(0xE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
    out += segment(0xDB, std::string(1, '\0') + std::string(64, '\x10'));
    std::string sof = std::string(1, '\x08') + be16(height) + be16(width);
    sof += colour ? std::string("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 10) : std::string("\x01\x01\x11\x00", 4);
    out += segment(frame, sof);
    out += segment(0xC4, std::string("\x00\x01", 2) + std::string(15, '\0') + std::string(1, '\0'));
    out += segment(0xDD, be16(restartInterval != 0 ? restartInterval : perRow * rowsPerMarker));
    out += segment(0xDA, colour ? std::string("\x03\x01\x00\x02\x11\x03\x11\x00\x3F\x00", 10)
                                : std::string("\x01\x01\x00\x00\x3F\x00", 6));
    int marker = 0;
    for (int row = 0; row < rows; ++row) {
        out += std::string(static_cast<size_t>(perRow) * 3, char('A' + row % 26));
        if (row % 7 == 3) out += std::string("\xFF\x00", 2);  // a stuffed byte
        if ((row + 1) % rowsPerMarker == 0 && row + 1 < rows) {
            out += std::string{'\xFF', char(0xD0 + marker % 8)};
            ++marker;
        }
    }
    return out + std::string("\xFF\xD9", 2);
}

void WriteJpegStreams(const fs::path& out) {
    int n = 0;
    const auto add = [&](const std::string& bytes) { Write(out / ("jpeg_" + std::to_string(n++)), bytes); };
    add(JpegStream(64, 400, true, 1, 0, 0xC0));
    add(JpegStream(72, 330, true, 1, 0, 0xC1));
    add(JpegStream(40, 300, false, 2, 0, 0xC0));
    add(JpegStream(64, 400, true, 1, 3, 0xC0));   // markers within rows
    add(JpegStream(64, 400, true, 1, 0, 0xC2));   // progressive
    add(JpegStream(64, 100, true, 1, 0, 0xC0));   // too short to cut
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_seeds SEEDS OUT\n");
        return 2;
    }
    const fs::path seeds = argv[1];
    const fs::path out = argv[2];
    std::vector<std::string> descriptions;
    std::vector<fs::path> names;
    for (const auto& entry : fs::directory_iterator(seeds)) {
        if (entry.path().extension() == ".ini") names.push_back(entry.path());
    }
    std::sort(names.begin(), names.end());
    for (const fs::path& name : names) descriptions.push_back(Read(name));
    if (descriptions.empty()) {
        std::fprintf(stderr, "make_seeds: no .ini seeds in %s\n", seeds.c_str());
        return 1;
    }

    for (const char* target : {"package_reader", "pack_listing", "profile", "show_description", "jpeg_halves"}) {
        fs::create_directories(out / target);
    }
    for (size_t i = 0; i < names.size(); ++i) {
        Write(out / "show_description" / names[i].filename(), descriptions[i]);
    }
    WriteProfileInputs(out / "profile", descriptions);
    WritePackages(out / "package_reader", descriptions);
    WritePackages(out / "pack_listing", descriptions);
    WriteJpegStreams(out / "jpeg_halves");
    return 0;
}
