#include "startup/entry_mode.h"

#include <cstring>

#include "show/show_record.h"

EntryMode SelectEntryMode(const char* argument) {
    if (argument == nullptr) return EntryMode::Package;
    bool blank = true;
    for (const char* p = argument; *p != '\0'; ++p) {
        if (static_cast<unsigned char>(*p) > 0x20) {
            blank = false;
            break;
        }
    }
    if (blank) return EntryMode::Package;
    // A cut path would name another file; the show is refused instead.
    if (std::strlen(argument) >= sizeof g_Show.ShowDescriptionPath) return EntryMode::Refused;
    return EntryMode::Player;
}
