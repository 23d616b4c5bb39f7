// Conversion of file names between the 8-bit form the show description gives
// and the UTF-16 form the graphs take. Linux's ANSI code page is UTF-8; a
// byte that does not start a valid UTF-8 sequence travels as the lone
// surrogate U+DC00 + byte, so names in any encoding come back unchanged.
#include <string>

#include "platform/graph.h"

namespace tarn::media {

namespace {

// Decodes one UTF-8 sequence at `s`; returns its length, or 0 when the bytes
// there are not a valid, shortest-form sequence of a scalar value.
int DecodeUtf8(const unsigned char* s, uint32_t* codePoint) {
    const unsigned char b0 = s[0];
    if (b0 < 0x80) {
        *codePoint = b0;
        return 1;
    }
    int length;
    uint32_t cp;
    uint32_t minimum;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2, cp = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3, cp = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4, cp = b0 & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 0;  // also stops at the terminating zero
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    *codePoint = cp;
    return length;
}

}  // namespace

int AnsiToWide(const char* text, WCHAR* out, int capacity) {
    if (!out || capacity <= 0) return 0;
    out[0] = 0;
    if (!text) return 0;
    std::u16string wide;
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    while (*s) {
        uint32_t cp;
        const int n = DecodeUtf8(s, &cp);
        if (n == 0) {
            wide.push_back(static_cast<WCHAR>(0xDC00 + *s));
            ++s;
            continue;
        }
        s += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            wide.push_back(static_cast<WCHAR>(0xD800 + (cp >> 10)));
            wide.push_back(static_cast<WCHAR>(0xDC00 + (cp & 0x3FF)));
        } else {
            wide.push_back(static_cast<WCHAR>(cp));
        }
    }
    if (wide.size() + 1 > static_cast<size_t>(capacity)) return 0;
    wide.copy(out, wide.size());
    out[wide.size()] = 0;
    return static_cast<int>(wide.size() + 1);
}

int WideToAnsi(const WCHAR* text, char* out, int capacity) {
    if (!out || capacity <= 0) return 0;
    out[0] = 0;
    if (!text) return 0;
    std::string narrow;
    for (const WCHAR* w = text; *w; ++w) {
        uint32_t cp = *w;
        if (cp >= 0xD800 && cp <= 0xDBFF && w[1] >= 0xDC00 && w[1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (w[1] - 0xDC00);
            ++w;
        } else if (cp >= 0xDC80 && cp <= 0xDCFF) {
            narrow.push_back(static_cast<char>(cp - 0xDC00));  // a carried raw byte
            continue;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // a stray surrogate that no 8-bit name produced
        }
        if (cp < 0x80) {
            narrow.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            narrow.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            narrow.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            narrow.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            narrow.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            narrow.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            narrow.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    if (narrow.size() + 1 > static_cast<size_t>(capacity)) return 0;
    narrow.copy(out, narrow.size());
    out[narrow.size()] = 0;
    return static_cast<int>(narrow.size() + 1);
}

}  // namespace tarn::media
