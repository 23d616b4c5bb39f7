#include "ppm_file.h"

#include <fstream>

namespace {

// Next header number, skipping white space and comments.
bool ReadHeaderNumber(std::istream& in, int& value) {
    for (;;) {
        const int c = in.peek();
        if (c == '#') {
            std::string comment;
            std::getline(in, comment);
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            in.get();
        } else {
            break;
        }
    }
    return static_cast<bool>(in >> value);
}

}  // namespace

bool ReadPpm(const std::string& path, PpmPicture& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::string magic(2, '\0');
    in.read(magic.data(), 2);
    int max_value = 0;
    if (magic != "P6" || !ReadHeaderNumber(in, out.width) || !ReadHeaderNumber(in, out.height) ||
        !ReadHeaderNumber(in, max_value) || max_value != 255 || out.width <= 0 || out.height <= 0) {
        error = path + " is not an 8-bit binary PPM";
        return false;
    }
    in.get();  // the single white-space byte before the samples
    out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
    in.read(reinterpret_cast<char*>(out.rgb.data()), static_cast<std::streamsize>(out.rgb.size()));
    if (!in) {
        error = path + " is truncated";
        return false;
    }
    return true;
}
