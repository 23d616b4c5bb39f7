#include "support/package_model.h"

#include <algorithm>
#include <cstring>

namespace tarn::fuzz {
namespace {

constexpr uint64_t kRecordBytes = 264;
constexpr uint64_t kNameBytes = 260;
constexpr uint64_t kTrailerBytes = 4;

uint32_t LittleEndian32(std::string_view bytes, uint64_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

void AppendLittleEndian32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

PackageModel ReadPackageModel(std::string_view bytes) {
    PackageModel model;
    const uint64_t length = bytes.size();
    if (length < kTrailerBytes) return model;
    const int32_t count = static_cast<int32_t>(LittleEndian32(bytes, length - kTrailerBytes));
    if (count < 2 || count > 99) return model;
    const uint64_t tail = kTrailerBytes + kRecordBytes * static_cast<uint64_t>(count);
    if (tail > length) return model;
    model.hasDirectory = true;
    model.directoryOffset = length - tail;

    model.entries.resize(static_cast<size_t>(count));
    for (int32_t k = 0; k < count; ++k) {
        // The first record of the directory describes the last entry.
        const uint64_t at = model.directoryOffset + kRecordBytes * static_cast<uint64_t>(k);
        ModelEntry& entry = model.entries[static_cast<size_t>(count - 1 - k)];
        entry.size = LittleEndian32(bytes, at);
        const std::string_view name = bytes.substr(at + 4, kNameBytes);
        const size_t nul = name.find('\0');
        entry.terminated = nul != std::string_view::npos;
        entry.name = entry.terminated ? std::string(name.substr(0, nul)) : std::string();
    }
    uint64_t offset = 0;
    model.dataFit = true;
    for (ModelEntry& entry : model.entries) {
        entry.offset = offset;
        offset += entry.size;
        if (offset > model.directoryOffset) model.dataFit = false;
    }
    return model;
}

bool IsPlainEntryName(std::string_view name) {
    if (name.empty() || name.size() > 64 || name == "." || name == "..") return false;
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!plain) return false;
    }
    return true;
}

bool MustBeAccepted(const PackageModel& model) {
    if (!model.hasDirectory || !model.dataFit) return false;
    for (const ModelEntry& entry : model.entries) {
        if (!entry.terminated || !IsPlainEntryName(entry.name) || entry.size >= 0x80000000u) {
            return false;
        }
    }
    return true;
}

std::string BuildPackage(const std::vector<std::pair<std::string, std::string>>& files,
                         std::string_view gap) {
    std::string out;
    for (const auto& file : files) out += file.second;
    out += gap;
    for (auto file = files.rbegin(); file != files.rend(); ++file) {
        AppendLittleEndian32(out, static_cast<uint32_t>(file->second.size()));
        char name[kNameBytes] = {};
        std::memcpy(name, file->first.data(), std::min<size_t>(file->first.size(), kNameBytes));
        out.append(name, kNameBytes);
    }
    AppendLittleEndian32(out, static_cast<uint32_t>(files.size()));
    return out;
}

}  // namespace tarn::fuzz
