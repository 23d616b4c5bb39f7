// The text of an initialisation (INI) file: finding a value and editing one
// while every other byte of the file stays as it was.
//
// Lines are "[section]" headers, "key=value" entries, comments beginning
// with ';' and anything else, which is kept but never read. Section and key
// names match without regard to ASCII case; blanks around names and values
// are ignored; a value wrapped in matching double or single quotes is read
// without them. Lines end with LF or CR LF; an edit keeps the file's ending.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tarn::profile {

// The value of `key` in `section`, or nothing when the section or the key is
// absent. The first entry wins when a key appears more than once.
std::optional<std::string> FindValue(std::string_view text, std::string_view section,
                                     std::string_view key);

// Whether the name or value can be written as one line without changing
// what the file means (no line breaks, no characters that would end a
// section name or a key early).
bool IsWritableSection(std::string_view section);
bool IsWritableKey(std::string_view key);
bool IsWritableValue(std::string_view value);

// `text` with `key` in `section` set to `value`: an existing entry is
// replaced in place, a new key goes after the last entry of its section, and
// a new section goes at the end of the text. With no value the key's entry is
// removed. The caller checks the names and the value first.
std::string SetValue(std::string_view text, std::string_view section, std::string_view key,
                     std::optional<std::string_view> value);

// Every value of a text, found by section and key as FindValue finds them,
// built in one pass: for reading one file many times over.
class ValueIndex {
public:
    explicit ValueIndex(std::string_view text);
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

private:
    std::unordered_map<std::string, std::string> values_;  // by section and key, case folded
};

// Leading blanks, optional sign, then digits up to the first other
// character: hexadecimal after "0x", octal after "0o", binary after "0b"
// (lower case only), decimal otherwise, as the Windows integer reader takes
// them. No digits
// gives 0; the value wraps to its low 32 bits.
int32_t ParseInteger(std::string_view text);

}  // namespace tarn::profile
