#include "player_image.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "package_listing.h"

namespace tarnpack {

// An ELF program for Linux, or an MZ executable for the Windows build.
bool LooksLikeProgram(const std::string& bytes) {
    return bytes.rfind("\x7f" "ELF", 0) == 0 || bytes.rfind("MZ", 0) == 0;
}

bool FindPlayerImage(const std::string& path, PlayerImage* image, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read the player " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string start(4, '\0');
    in.read(start.data(), 4);
    if (in.gcount() != 4 || !LooksLikeProgram(start)) {
        *error = "the player " + path + " is not a program";
        return false;
    }
    in.clear();
    const PackageListing listing = ReadPackageListing(in);
    // Only a directory that passes every check of extraction counts as a
    // package; any other ending is part of the program.
    if (listing.fault == PackageFault::None && listing.entries[0].size >= start.size()) {
        image->size = listing.entries[0].size;
        image->stripped = true;
    } else {
        image->size = listing.fileLength;
        image->stripped = false;
    }
    if (image->size >= PACKAGE_ENTRY_SIZE_LIMIT) {
        *error = "the player " + path + " is 2 GiB or larger";
        return false;
    }
    return true;
}

}  // namespace tarnpack
