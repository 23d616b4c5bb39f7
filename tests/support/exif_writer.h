// Writes an EXIF block with a DateTimeOriginal into a JPEG, for tests of
// the date order: APP1 "Exif\0\0", a TIFF header, IFD0 with the pointer to
// the EXIF IFD, and that IFD with the one date.
#pragma once

#include <cstdint>
#include <string>

namespace tarn::test {

// `jpeg` (starting with SOI) with an APP1 EXIF block right after SOI that
// says the photo was taken at `date` ("YYYY:MM:DD HH:MM:SS").
inline std::string WithExifDate(const std::string& jpeg, const std::string& date, bool bigEndian = false) {
    std::string tiff;
    auto u16 = [&](uint32_t v) {
        if (bigEndian) {
            tiff.push_back(static_cast<char>(v >> 8));
            tiff.push_back(static_cast<char>(v));
        } else {
            tiff.push_back(static_cast<char>(v));
            tiff.push_back(static_cast<char>(v >> 8));
        }
    };
    auto u32 = [&](uint32_t v) {
        if (bigEndian) {
            u16(v >> 16);
            u16(v & 0xFFFF);
        } else {
            u16(v & 0xFFFF);
            u16(v >> 16);
        }
    };
    tiff += bigEndian ? "MM" : "II";
    u16(42);
    u32(8);  // IFD0 right after the header
    // IFD0 at 8: one entry, ExifIFDPointer (LONG) -> 26.
    u16(1);
    u16(0x8769);
    u16(4);
    u32(1);
    u32(26);
    u32(0);  // no next IFD
    // The EXIF IFD at 26: one entry, DateTimeOriginal (ASCII, 20) -> 44.
    u16(1);
    u16(0x9003);
    u16(2);
    u32(20);
    u32(44);
    u32(0);
    tiff += date;
    tiff.push_back('\0');

    const std::string payload = std::string("Exif\0\0", 6) + tiff;
    const size_t length = payload.size() + 2;
    std::string app1 = "\xFF\xE1";
    app1.push_back(static_cast<char>(length >> 8));
    app1.push_back(static_cast<char>(length & 0xFF));
    app1 += payload;
    return jpeg.substr(0, 2) + app1 + jpeg.substr(2);
}

}  // namespace tarn::test
