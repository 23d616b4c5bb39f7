// The number rule of show descriptions and profiles, computed a second way:
// the C library's strtoll for texts whose digits it can hold, and a digit
// walk modulo 2^32 for longer ones. The player's parsers are checked
// against it.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tarn::fuzz {

inline int32_t ReferenceNumber(std::string_view text) {
    size_t i = 0;
    auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    };
    while (i < text.size() && blank(text[i])) ++i;
    size_t signEnd = i;
    if (signEnd < text.size() && (text[signEnd] == '+' || text[signEnd] == '-')) ++signEnd;
    size_t digitsEnd = signEnd;
    while (digitsEnd < text.size() && text[digitsEnd] >= '0' && text[digitsEnd] <= '9') ++digitsEnd;
    if (digitsEnd == signEnd) return 0;

    // Leading zeros carry no value.
    size_t significant = signEnd;
    while (significant + 1 < digitsEnd && text[significant] == '0') ++significant;
    const bool negative = signEnd > i && text[i] == '-';
    if (digitsEnd - significant <= 18) {
        const std::string digits(text.substr(significant, digitsEnd - significant));
        errno = 0;
        const long long magnitude = std::strtoll(digits.c_str(), nullptr, 10);
        const uint64_t value = negative ? 0ull - static_cast<uint64_t>(magnitude)
                                        : static_cast<uint64_t>(magnitude);
        return static_cast<int32_t>(static_cast<uint32_t>(value & 0xFFFFFFFFull));
    }
    uint64_t value = 0;
    for (size_t k = significant; k < digitsEnd; ++k) {
        value = (value * 10 + static_cast<uint64_t>(text[k] - '0')) % 0x100000000ull;
    }
    if (negative) value = (0x100000000ull - value) % 0x100000000ull;
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

}  // namespace tarn::fuzz
