// The profile (INI) reader and writer with an arbitrary file and arbitrary
// names and values. Reads must stay inside the caller's buffer, cut values
// to it and end them with a NUL; numbers must follow the number rule; a
// write must then read back as written, leave every other key's value as it
// was, touch no other file, and refuse what cannot be written as one line.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel/profile_text.h"
#include "platform/win32.h"
#include "support/fuzz_folder.h"
#include "support/number_reference.h"

namespace {

using tarn::fuzz::FuzzFolder;
namespace profile = tarn::profile;

constexpr std::string_view kBlanks = " \t\r\v\f";

std::string_view Trim(std::string_view text) {
    while (!text.empty() && kBlanks.find(text.front()) != std::string_view::npos) text.remove_prefix(1);
    while (!text.empty() && kBlanks.find(text.back()) != std::string_view::npos) text.remove_suffix(1);
    return text;
}

// What reading back a value written as `value` gives: blanks around it go,
// then one pair of matching quotes.
std::string ReadBackOf(std::string_view value) {
    value = Trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

bool SameName(std::string_view a, std::string_view b) {
    a = Trim(a);
    b = Trim(b);
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// A name as a C caller can pass it: up to its first NUL.
std::string CText(std::string text) {
    text.resize(std::strlen(text.c_str()));
    return text;
}

struct Input {
    std::string section, key, value, otherSection, otherKey, fallback;
    uint16_t bufferSize = 0;
    bool remove = false;
    std::string text;
};

Input Take(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    Input input;
    input.section = CText(provider.ConsumeRandomLengthString(40));
    input.key = CText(provider.ConsumeRandomLengthString(40));
    input.value = CText(provider.ConsumeRandomLengthString(80));
    input.otherSection = CText(provider.ConsumeRandomLengthString(40));
    input.otherKey = CText(provider.ConsumeRandomLengthString(40));
    input.fallback = CText(provider.ConsumeRandomLengthString(20));
    input.bufferSize = provider.ConsumeIntegralInRange<uint16_t>(0, 700);
    input.remove = provider.ConsumeBool();
    input.text = provider.ConsumeRemainingBytesAsString();
    return input;
}

void CheckTextEdits(const Input& in) {
    const bool writable = profile::IsWritableSection(in.section) && profile::IsWritableKey(in.key) &&
                          profile::IsWritableValue(in.value);
    if (!writable) return;
    std::optional<std::string_view> value;
    if (!in.remove) value = in.value;
    const std::string after = profile::SetValue(in.text, in.section, in.key, value);

    if (!in.remove) {
        const auto readBack = profile::FindValue(after, in.section, in.key);
        FUZZ_CHECK(readBack && *readBack == ReadBackOf(in.value), "a written value reads back otherwise");
        FUZZ_CHECK(profile::SetValue(after, in.section, in.key, value) == after,
                   "writing the same value twice changed the text twice");
    } else if (!profile::FindValue(in.text, in.section, in.key)) {
        FUZZ_CHECK(after == in.text, "removing an absent key changed the text");
    }
    if (!(SameName(in.section, in.otherSection) && SameName(in.key, in.otherKey))) {
        FUZZ_CHECK(profile::FindValue(in.text, in.otherSection, in.otherKey) ==
                       profile::FindValue(after, in.otherSection, in.otherKey),
                   "an edit of one key changed another key's value");
    }
}

// A value written with a base prefix after its blanks and sign.
bool HasBasePrefix(std::string_view value) {
    size_t i = value.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string_view::npos) return false;
    if (value[i] == '+' || value[i] == '-') ++i;
    return i + 1 < value.size() && value[i] == '0' && (value[i + 1] == 'x' || value[i + 1] == 'o' || value[i + 1] == 'b');
}

void CheckFileReads(const Input& in, const std::string& file) {
    const auto found = profile::FindValue(in.text, in.section, in.key);
    std::string expected;
    if (found) {
        expected = *found;
    } else {
        expected = in.fallback;
        while (!expected.empty() && expected.back() == ' ') expected.pop_back();
    }

    // Exactly the caller's size, so that a byte written past it is caught.
    std::vector<char> buffer(in.bufferSize);
    const DWORD n = GetPrivateProfileStringA(in.section.c_str(), in.key.c_str(), in.fallback.c_str(),
                                             buffer.data(), in.bufferSize, file.c_str());
    if (in.bufferSize == 0) {
        FUZZ_CHECK(n == 0, "a read into no buffer reported characters");
    } else {
        FUZZ_CHECK(n == std::min<size_t>(expected.size(), in.bufferSize - 1u),
                   "a read reported another length than the value cut to the buffer");
        FUZZ_CHECK(std::memcmp(buffer.data(), expected.data(), n) == 0, "a read delivered other text");
        FUZZ_CHECK(buffer[n] == '\0', "a read's text is not ended by a NUL");
    }

    const UINT number = GetPrivateProfileIntA(in.section.c_str(), in.key.c_str(), -7, file.c_str());
    const UINT want = (found && !found->empty()) ? static_cast<UINT>(tarn::fuzz::ReferenceNumber(*found))
                                                 : static_cast<UINT>(-7);
    // The reference reads decimal numbers only; "0x", "0o" and "0b" numbers
    // are the profile tests' to check.
    if (!found || !HasBasePrefix(*found)) FUZZ_CHECK(number == want, "a number read breaks the number rule");
}

void CheckFileWrite(const Input& in, const FuzzFolder& folder, const std::string& file) {
    const BOOL written = WritePrivateProfileStringA(in.section.c_str(), in.key.c_str(),
                                                    in.remove ? nullptr : in.value.c_str(), file.c_str());
    const bool writable = profile::IsWritableSection(in.section) && profile::IsWritableKey(in.key) &&
                          (in.remove || profile::IsWritableValue(in.value));
    std::string now;
    FUZZ_CHECK(tarn::fuzz::ReadFileBytes(file, &now), "the profile vanished");
    if (writable) {
        FUZZ_CHECK(written == TRUE, "a writable value was refused");
        std::optional<std::string_view> value;
        if (!in.remove) value = in.value;
        FUZZ_CHECK(now == profile::SetValue(in.text, in.section, in.key, value),
                   "the file holds another text than the edit");
    } else {
        FUZZ_CHECK(written == FALSE, "a value that cannot be one line was written");
        FUZZ_CHECK(now == in.text, "a refused write changed the file");
    }
    FUZZ_CHECK(tarn::fuzz::ListNames(folder.Path()) == std::vector<std::string>{"profile.ini"},
               "a write left another file beside the profile");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzFolder folder("profile");
    static const std::string file = folder / "profile.ini";
    const Input input = Take(data, size);

    CheckTextEdits(input);
    tarn::fuzz::WriteFileBytes(file, input.text);
    CheckFileReads(input, file);
    CheckFileWrite(input, folder, file);
    return 0;
}
