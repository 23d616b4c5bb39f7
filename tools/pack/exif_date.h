// The date a photo was taken, as its camera wrote it in the EXIF data of a
// JPEG (DateTimeOriginal, "YYYY:MM:DD HH:MM:SS", the camera's local time).
#pragma once

#include <string>

namespace tarnpack {

// The DateTimeOriginal of the JPEG at `path`, or the empty text when the
// file is no JPEG, has no such date or holds an unset one ("0000:00:00 ...").
std::string ExifDateTaken(const std::string& path);

// The same from the bytes of an EXIF block (the TIFF structure after
// "Exif\0\0").
std::string ExifDateFromTiff(const unsigned char* tiff, size_t size);

}  // namespace tarnpack
