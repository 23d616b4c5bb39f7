// Decoding of Windows BMP files and of the BMP pictures inside ICO files
// into 0x00RRGGBB pixels.
//
// Accepted: uncompressed 1, 4, 8, 16, 24 and 32 bits per pixel (16 and 32 also
// with bit-field masks), bottom-up and top-down rows, palettes of any length
// up to the depth's maximum, and the core, info and V4/V5 headers.
// Everything is checked against the input size; bad input yields nullopt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/window_system.h"

namespace tarn {

// The largest width or height accepted.
constexpr int kMaxBitmapSide = 16384;

// A complete BMP file ("BM", file header, info header, pixels).
std::optional<ws::Pixels> DecodeBmp(const unsigned char* data, size_t size);

// A device-independent bitmap: info header, palette and pixels without the
// file header. `iconImage` halves the height, as icons store the colour
// picture and the transparency mask stacked in one image.
std::optional<ws::Pixels> DecodeDib(const unsigned char* data, size_t size, bool iconImage);

// An ICO file: the largest of its BMP images (PNG images are skipped).
std::optional<ws::Pixels> DecodeIco(const unsigned char* data, size_t size);

// A BMP or an ICO, told apart by their first bytes.
std::optional<ws::Pixels> DecodePicture(const unsigned char* data, size_t size);

}  // namespace tarn
