#include "platform/windows/command_line.h"

namespace tarn {
namespace {

// The length of the character at `p`: 2 for a lead byte followed by its
// trail byte under a double-byte code page, else 1.
int CharacterLength(const char* p, UINT codePage) {
    if (p[1] != '\0' && IsDBCSLeadByteEx(codePage, static_cast<BYTE>(*p))) return 2;
    return 1;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

}  // namespace

const char* ReceivedCommandLine(const char* full, UINT codePage) {
    const char* p = full;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') p += CharacterLength(p, codePage);
        if (*p == '"') ++p;
    } else {
        while (!IsBlank(*p)) p += CharacterLength(p, codePage);
    }
    while (*p != '\0' && IsBlank(*p)) ++p;
    return p;
}

char* SplitCommandLine(char* text, UINT codePage) {
    char* first = nullptr;
    char* p = text;
    while (*p != '\0') {
        while (*p == ' ') ++p;
        if (*p == '\0') break;
        if (first == nullptr) first = p;
        while (*p != '\0' && *p != ' ') p += CharacterLength(p, codePage);
        if (*p == ' ') *p++ = '\0';
    }
    return first;
}

}  // namespace tarn
