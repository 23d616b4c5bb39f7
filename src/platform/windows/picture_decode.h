// Decoding a still picture with the Windows Imaging Component: the first
// frame of the file, scaled to a given size, converted to 32-bit BGRX rows
// and turned upright when the file says it was stored turned. Used by the picture window when it is placed and by the thread that
// decodes upcoming pictures ahead of time.
#pragma once

#include <wincodec.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/windows/com_ref.h"

namespace tarn {

// Top-down 32-bit BGRX rows, never changed once made, so that a decoded
// picture can be shared by the windows that show it and the kept ones.
using PixelRows = std::shared_ptr<const std::vector<unsigned char>>;

struct PictureSize {
    LONG width = 0;
    LONG height = 0;
};

// The size the player places a picture of `source` at on a screen of
// `screen`: never enlarged, the width brought within the screen first, then
// the height, each product taken before its division.
PictureSize FittedPictureSize(PictureSize source, PictureSize screen);

// A new imaging factory of the calling thread's apartment, or nothing.
ComRef<IWICImagingFactory> NewImagingFactory();

// The first frame of the picture at `path`, or nothing when the imaging
// component does not take the file for a picture.
ComRef<IWICBitmapFrameDecode> FirstPictureFrame(IWICImagingFactory* factory, const wchar_t* path);

// How a picture is stored: its frame's size and the EXIF orientation
// (picture_orientation.h) that turns it upright.
struct PictureLayout {
    PictureSize stored;
    int orientation = 1;
    // The size the picture is seen at: the stored one, its sides exchanged
    // for the quarter turns. The player places the picture by this size.
    PictureSize Upright() const;
};

// The layout of `frame`, the first frame of the file at `path`; false when
// its size is empty or beyond 32-bit signed sides.
bool ReadPictureLayout(IWICBitmapFrameDecode* frame, const wchar_t* path, PictureLayout* layout);

// Decodes `frame` (stored as `layout` says) upright and scaled to `target`,
// an upright size; nothing when any step fails or `target` is empty.
PixelRows DecodeUprightPicture(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame,
                               const PictureLayout& layout, PictureSize target);

// How many pictures DecodeUprightPicture has decoded in this process (tests).
uint64_t DecodedPictureCount();

}  // namespace tarn
