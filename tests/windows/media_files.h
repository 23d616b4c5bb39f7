// Small pictures and sounds made in code for the Windows media tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

namespace tarn::test {

inline void PutLittle(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A 24-bit BMP of `width` x `height` whose pixel (x, y), y from the top,
// has the colour `rgb(x, y)` (0xRRGGBB).
template <class Colour>
std::string Bitmap(int width, int height, Colour rgb) {
    const int stride = (width * 3 + 3) & ~3;
    std::string out = "BM";
    PutLittle(out, static_cast<uint32_t>(54 + stride * height), 4);
    PutLittle(out, 0, 4);
    PutLittle(out, 54, 4);
    PutLittle(out, 40, 4);
    PutLittle(out, static_cast<uint32_t>(width), 4);
    PutLittle(out, static_cast<uint32_t>(height), 4);  // bottom-up rows
    PutLittle(out, 1, 2);
    PutLittle(out, 24, 2);
    PutLittle(out, 0, 4);
    PutLittle(out, static_cast<uint32_t>(stride * height), 4);
    PutLittle(out, 2835, 4);
    PutLittle(out, 2835, 4);
    PutLittle(out, 0, 8);
    for (int row = height - 1; row >= 0; --row) {
        std::string line;
        for (int x = 0; x < width; ++x) {
            const uint32_t colour = rgb(x, row);
            line.push_back(static_cast<char>(colour & 0xFF));          // blue
            line.push_back(static_cast<char>((colour >> 8) & 0xFF));   // green
            line.push_back(static_cast<char>((colour >> 16) & 0xFF));  // red
        }
        line.resize(static_cast<size_t>(stride), '\0');
        out += line;
    }
    return out;
}

// Four quadrants: red top left, green top right, blue bottom left, white
// bottom right.
inline std::string QuadrantBitmap(int width, int height) {
    return Bitmap(width, height, [&](int x, int y) {
        const bool top = y < height / 2;
        const bool left = x < width / 2;
        return top ? (left ? 0xFF0000u : 0x00FF00u) : (left ? 0x0000FFu : 0xFFFFFFu);
    });
}

inline std::string SolidBitmap(int width, int height, uint32_t rgb) {
    return Bitmap(width, height, [rgb](int, int) { return rgb; });
}

// A mono 16-bit PCM WAV file of a 440 Hz tone lasting `milliseconds`.
inline std::string ToneWave(int milliseconds, int rate = 22050) {
    const uint32_t samples = static_cast<uint32_t>(rate) * static_cast<uint32_t>(milliseconds) / 1000;
    std::string out = "RIFF";
    PutLittle(out, 36 + samples * 2, 4);
    out += "WAVEfmt ";
    PutLittle(out, 16, 4);
    PutLittle(out, 1, 2);  // PCM
    PutLittle(out, 1, 2);  // mono
    PutLittle(out, static_cast<uint32_t>(rate), 4);
    PutLittle(out, static_cast<uint32_t>(rate) * 2, 4);
    PutLittle(out, 2, 2);
    PutLittle(out, 16, 2);
    out += "data";
    PutLittle(out, samples * 2, 4);
    for (uint32_t i = 0; i < samples; ++i) {
        const double value = 8000.0 * std::sin(2.0 * 3.14159265358979 * 440.0 * i / rate);
        PutLittle(out, static_cast<uint32_t>(static_cast<int16_t>(value)) & 0xFFFF, 2);
    }
    return out;
}

}  // namespace tarn::test
