// Builds package files for tests: well-formed ones from a list of entries,
// and malformed ones from raw directory records.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "show/show_record.h"

namespace tarn::test {

struct PackageItem {
    std::string name;
    std::string data;
};

// A directory record with `name` copied byte for byte (up to 260 bytes, so a
// 260-byte name has no NUL) and the given size.
inline PackageEntry Record(uint32_t size, const std::string& name) {
    PackageEntry entry{};
    entry.size = size;
    std::memcpy(entry.name, name.data(), name.size() < sizeof entry.name ? name.size() : sizeof entry.name);
    return entry;
}

inline void AppendInt32(std::string& out, int32_t value) {
    const uint32_t bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((bits >> shift) & 0xFF));
}

// `data`, then `gap`, then `records` (given in data order, written in
// reverse), then `count` in the last four bytes.
inline std::string RawPackage(const std::string& data, const std::vector<PackageEntry>& records,
                              int32_t count, const std::string& gap = "") {
    std::string out = data + gap;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        out.append(reinterpret_cast<const char*>(&*it), sizeof(PackageEntry));
    }
    AppendInt32(out, count);
    return out;
}

// A well-formed package of `items`, with `gap` between data and directory.
inline std::string BuildPackage(const std::vector<PackageItem>& items, const std::string& gap = "") {
    std::string data;
    std::vector<PackageEntry> records;
    for (const PackageItem& item : items) {
        data += item.data;
        records.push_back(Record(static_cast<uint32_t>(item.data.size()), item.name));
    }
    return RawPackage(data, records, static_cast<int32_t>(items.size()), gap);
}

// `size` bytes of recognisable content that differs between seeds.
inline std::string Placeholder(size_t size, unsigned seed) {
    std::string out(size, '\0');
    uint32_t state = seed * 2654435761u + 12345u;
    for (char& c : out) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return out;
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The show description of the sample package, in CR LF lines.
inline std::string SampleShowDescription() {
    std::string text =
        "[OPTIONS]\r\nAdvanceMethod=6\r\nViewOptions=8\r\nSoundOptions=32\r\n"
        "BackgroundColor=0,0,0\r\nBackgroundSound=\r\nDelayBetweenSlidesInMilliseconds=6000\r\n"
        "ShowSplash=0\r\n\r\n[SLIDES]\r\nCount=8\r\n";
    for (int i = 0; i < 8; ++i) {
        text += "Image" + std::to_string(1000 + i) + "=P" + std::to_string(1000 + i) + ".jpg\r\n";
        if (i < 7) text += "Sound" + std::to_string(1000 + i) + "=\r\n";
    }
    return text;
}

// The entries of the sample package: the names and sizes of its table, with
// placeholder data (the show description is padded or cut to its size).
inline std::vector<PackageItem> SampleItems() {
    const struct {
        const char* name;
        size_t size;
    } table[] = {{"stub.exe", 307200},  {"stub.ini", 427},    {"P1000.jpg", 35649},
                 {"P1001.jpg", 37351},  {"P1002.jpg", 39217}, {"P1003.jpg", 34487},
                 {"P1004.jpg", 10130},  {"P1005.jpg", 21367}, {"P1006.jpg", 32073},
                 {"P1007.jpg", 21582}};
    std::vector<PackageItem> items;
    unsigned seed = 1;
    for (const auto& row : table) items.push_back({row.name, Placeholder(row.size, seed++)});
    items[0].data.replace(0, 4, "\x7f" "ELF");
    std::string ini = SampleShowDescription();
    ini.resize(427, '\n');  // trailing blank lines change nothing in a profile
    items[1].data = ini;
    return items;
}

}  // namespace tarn::test
