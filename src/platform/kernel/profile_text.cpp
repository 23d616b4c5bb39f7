#include "platform/kernel/profile_text.h"

#include <vector>

namespace tarn::profile {
namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

struct Line {
    std::string_view content;  // without its line ending
    std::string_view ending;   // "\r\n", "\n" or empty for an unended last line
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t newline = text.find('\n', start);
        if (newline == std::string_view::npos) {
            lines.push_back({text.substr(start), {}});
            break;
        }
        size_t contentEnd = newline;
        if (contentEnd > start && text[contentEnd - 1] == '\r') --contentEnd;
        lines.push_back({text.substr(start, contentEnd - start),
                         text.substr(contentEnd, newline + 1 - contentEnd)});
        start = newline + 1;
    }
    return lines;
}

enum class Kind { Blank, Comment, Section, Entry, Other };

struct Parsed {
    Kind kind = Kind::Other;
    std::string_view name;   // section name or key
    std::string_view value;  // entry value, trimmed, quotes kept
};

Parsed Parse(std::string_view content, bool firstLine) {
    if (firstLine && content.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        content.remove_prefix(kByteOrderMark.size());
    }
    const std::string_view trimmed = Trim(content);
    if (trimmed.empty()) return {Kind::Blank, {}, {}};
    if (trimmed.front() == ';') return {Kind::Comment, {}, {}};
    if (trimmed.front() == '[') {
        std::string_view inner = trimmed.substr(1);
        const size_t close = inner.find(']');
        if (close != std::string_view::npos) inner = inner.substr(0, close);
        return {Kind::Section, Trim(inner), {}};
    }
    const size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) return {Kind::Other, {}, {}};
    const std::string_view key = Trim(trimmed.substr(0, equals));
    if (key.empty()) return {Kind::Other, {}, {}};
    return {Kind::Entry, key, Trim(trimmed.substr(equals + 1))};
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

std::optional<std::string> FindValue(std::string_view text, std::string_view section,
                                     std::string_view key) {
    section = Trim(section);
    key = Trim(key);
    bool inSection = false;
    bool first = true;
    for (const Line& line : SplitLines(text)) {
        const Parsed parsed = Parse(line.content, first);
        first = false;
        if (parsed.kind == Kind::Section) {
            inSection = SameName(parsed.name, section);
        } else if (inSection && parsed.kind == Kind::Entry && SameName(parsed.name, key)) {
            return std::string(Unquote(parsed.value));
        }
    }
    return std::nullopt;
}

namespace {

// One index key for a section and a key name: folded to lower case, the
// section's length first so that no two pairs share a key.
std::string IndexKey(std::string_view section, std::string_view key) {
    std::string out = std::to_string(section.size());
    out.push_back(':');
    for (const char c : section) out.push_back(LowerAscii(c));
    for (const char c : key) out.push_back(LowerAscii(c));
    return out;
}

}  // namespace

ValueIndex::ValueIndex(std::string_view text) {
    bool haveSection = false;
    std::string_view section;
    bool first = true;
    for (const Line& line : SplitLines(text)) {
        const Parsed parsed = Parse(line.content, first);
        first = false;
        if (parsed.kind == Kind::Section) {
            haveSection = true;
            section = parsed.name;
        } else if (haveSection && parsed.kind == Kind::Entry) {
            // The first entry of a key wins, as in FindValue.
            values_.emplace(IndexKey(section, parsed.name), std::string(Unquote(parsed.value)));
        }
    }
}

std::optional<std::string> ValueIndex::Find(std::string_view section, std::string_view key) const {
    const auto found = values_.find(IndexKey(Trim(section), Trim(key)));
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

bool IsWritableSection(std::string_view section) {
    section = Trim(section);
    return !section.empty() && !HasLineBreak(section) &&
           section.find(']') == std::string_view::npos;
}

bool IsWritableKey(std::string_view key) {
    key = Trim(key);
    return !key.empty() && !HasLineBreak(key) && key.find('=') == std::string_view::npos &&
           key.front() != '[' && key.front() != ';';
}

bool IsWritableValue(std::string_view value) {
    return !HasLineBreak(value);
}

std::string SetValue(std::string_view text, std::string_view section, std::string_view key,
                     std::optional<std::string_view> value) {
    section = Trim(section);
    key = Trim(key);
    const std::vector<Line> lines = SplitLines(text);

    std::string_view ending = "\r\n";  // a new file gets CR LF
    for (const Line& line : lines) {
        if (!line.ending.empty()) {
            ending = line.ending;
            break;
        }
    }

    // Where the entry is, or where a new one goes: after the last header or
    // entry of the first block headed by the section's name.
    constexpr size_t kNone = static_cast<size_t>(-1);
    size_t entryLine = kNone;
    size_t anchorLine = kNone;
    enum { Before, InFirstBlock, After } block = Before;
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Parsed parsed = Parse(lines[i].content, i == 0);
        if (parsed.kind == Kind::Section) {
            inSection = SameName(parsed.name, section);
            if (block == InFirstBlock) {
                block = After;
            } else if (block == Before && inSection) {
                block = InFirstBlock;
                anchorLine = i;
            }
        } else if (inSection && parsed.kind == Kind::Entry) {
            if (SameName(parsed.name, key)) {
                entryLine = i;
                break;
            }
            if (block == InFirstBlock) anchorLine = i;
        }
    }

    if (entryLine == kNone && !value) return std::string(text);

    std::string out;
    out.reserve(text.size() + section.size() + key.size() + (value ? value->size() : 0) + 8);
    auto appendEntry = [&] {
        out.append(key);
        out.push_back('=');
        out.append(*value);
        out.append(ending);
    };

    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (i == entryLine) {
            if (!value) continue;  // removed
            // Keep the indentation and the key as the file spells it.
            const Parsed parsed = Parse(line.content, i == 0);
            const size_t keyStart = static_cast<size_t>(parsed.name.data() - line.content.data());
            out.append(line.content.substr(0, keyStart));
            out.append(parsed.name);
            out.push_back('=');
            out.append(*value);
            out.append(line.ending);
            continue;
        }
        out.append(line.content);
        out.append(line.ending);
        if (i == anchorLine && entryLine == kNone) {
            if (line.ending.empty()) out.append(ending);
            appendEntry();
        }
    }

    if (entryLine == kNone && anchorLine == kNone) {
        // A new section at the end, set off by a blank line.
        if (!lines.empty()) {
            if (lines.back().ending.empty()) out.append(ending);
            if (!Trim(lines.back().content).empty()) out.append(ending);
        }
        out.push_back('[');
        out.append(section);
        out.push_back(']');
        out.append(ending);
        appendEntry();
    }
    return out;
}

int32_t ParseInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                               text[i] == '\v' || text[i] == '\f' || text[i] == '\r')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    uint32_t base = 10;
    if (i + 1 < text.size() && text[i] == '0') {
        switch (text[i + 1]) {
        case 'x': base = 16; break;  // only in lower case
        case 'o': base = 8; break;
        case 'b': base = 2; break;
        default: break;
        }
        if (base != 10) i += 2;
    }
    uint32_t value = 0;  // unsigned arithmetic wraps to the low 32 bits
    for (; i < text.size(); ++i) {
        const char c = text[i];
        uint32_t digit = base;
        if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') digit = static_cast<uint32_t>(c - 'A' + 10);
        if (digit >= base) break;
        value = value * base + digit;
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

}  // namespace tarn::profile
