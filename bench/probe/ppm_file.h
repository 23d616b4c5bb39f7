// Binary PPM (P6, 8-bit) pictures: the reference renderings of the photos.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PpmPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // width * height * 3

    uint32_t At(int x, int y) const {
        const size_t i = (static_cast<size_t>(y) * width + x) * 3;
        return (uint32_t{rgb[i]} << 16) | (uint32_t{rgb[i + 1]} << 8) | rgb[i + 2];
    }
};

bool ReadPpm(const std::string& path, PpmPicture& out, std::string& error);
