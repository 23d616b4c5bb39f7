// The process entry on Linux: hands the first argument, as the shell
// delimited it, to the player's entry.
#include <cstring>

#include "startup/entry.h"

int main(int argc, char** argv) {
    const char* argument = argc > 1 ? argv[1] : nullptr;
    return TarnPlayerEntry(nullptr, argument, SW_SHOWDEFAULT);
}
