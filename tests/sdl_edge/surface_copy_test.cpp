// Copying composed window pictures into SDL surfaces of various formats.
#include <gtest/gtest.h>

#include <memory>

#include "platform/sdl/surface_copy.h"

namespace tarn::ws {
namespace {

struct SurfaceDeleter {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

SurfacePtr MakeSurface(int width, int height, Uint32 format) {
    return SurfacePtr(SDL_CreateRGBSurfaceWithFormat(0, width, height, 0, format));
}

// A picture whose every pixel differs: red = x, green = y, blue = x ^ y.
Pixels Gradient(int width, int height) {
    Pixels picture;
    picture.width = width;
    picture.height = height;
    picture.data.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.data[static_cast<size_t>(y) * width + x] =
                (static_cast<uint32_t>(x & 0xFF) << 16) | (static_cast<uint32_t>(y & 0xFF) << 8) |
                static_cast<uint32_t>((x ^ y) & 0xFF);
        }
    }
    return picture;
}

uint32_t ReadRgb(SDL_Surface* surface, int x, int y) {
    const int bytes = surface->format->BytesPerPixel;
    const auto* row = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch;
    Uint32 raw = 0;
    if (bytes == 4) {
        raw = reinterpret_cast<const Uint32*>(row)[x];
    } else {
        const Uint8* p = row + x * bytes;
        raw = SDL_BYTEORDER == SDL_LIL_ENDIAN ? (p[0] | p[1] << 8 | p[2] << 16)
                                              : (p[2] | p[1] << 8 | p[0] << 16);
    }
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB(raw, surface->format, &r, &g, &b);
    return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b;
}

void ExpectSamePicture(const Pixels& picture, SDL_Surface* surface) {
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            ASSERT_EQ(ReadRgb(surface, x, y), picture.At(x, y)) << "at " << x << "," << y;
        }
    }
}

TEST(SurfaceCopy, EveryPixelArrivesInTheUsualWindowFormats) {
    const Pixels picture = Gradient(37, 23);  // odd sizes: rows are padded in the surfaces
    for (Uint32 format : {SDL_PIXELFORMAT_RGB888, SDL_PIXELFORMAT_ARGB8888, SDL_PIXELFORMAT_BGR888,
                          SDL_PIXELFORMAT_RGB24, SDL_PIXELFORMAT_BGR24}) {
        SCOPED_TRACE(SDL_GetPixelFormatName(format));
        SurfacePtr surface = MakeSurface(37, 23, format);
        ASSERT_TRUE(surface);
        ASSERT_TRUE(CopyToSurface(picture, surface.get()));
        ExpectSamePicture(picture, surface.get());
    }
}

TEST(SurfaceCopy, ALargerSurfaceIsBlackWhereThePictureDoesNotReach) {
    const Pixels picture = Gradient(20, 10);
    SurfacePtr surface = MakeSurface(30, 16, SDL_PIXELFORMAT_RGB888);
    SDL_FillRect(surface.get(), nullptr, SDL_MapRGB(surface->format, 200, 100, 50));
    ASSERT_TRUE(CopyToSurface(picture, surface.get()));
    ExpectSamePicture(picture, surface.get());
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 30; ++x) {
            if (x < 20 && y < 10) continue;
            ASSERT_EQ(ReadRgb(surface.get(), x, y), 0u) << x << "," << y;
        }
    }
}

TEST(SurfaceCopy, ASmallerSurfaceTakesTheTopLeftOfThePicture) {
    const Pixels picture = Gradient(40, 30);
    SurfacePtr surface = MakeSurface(25, 12, SDL_PIXELFORMAT_RGB888);
    ASSERT_TRUE(CopyToSurface(picture, surface.get()));
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 25; ++x) ASSERT_EQ(ReadRgb(surface.get(), x, y), picture.At(x, y));
    }
}

TEST(SurfaceCopy, APictureWithTooFewPixelsIsRefused) {
    Pixels broken = Gradient(10, 10);
    broken.height = 11;  // claims a row it does not have
    SurfacePtr surface = MakeSurface(10, 11, SDL_PIXELFORMAT_RGB888);
    EXPECT_FALSE(CopyToSurface(broken, surface.get()));
    EXPECT_FALSE(CopyToSurface(Gradient(2, 2), nullptr));
}

}  // namespace
}  // namespace tarn::ws
