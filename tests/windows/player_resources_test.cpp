// The bitmaps, the closing splash and the icon compiled into tarnplayer.exe
// by its resource script, found by the ids the windows load them with.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32.h"

namespace {

// tarnplayer.exe of the same build: two folders above this suite.
std::string PlayerPath() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path);
    for (int up = 0; up < 3; ++up) folder.resize(folder.find_last_of("\\/"));
    return folder + "\\tarnplayer.exe";
}

class PlayerResources : public ::testing::Test {
protected:
    void SetUp() override {
        module = LoadLibraryExA(PlayerPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr) << PlayerPath();
    }
    void TearDown() override { FreeLibrary(module); }

    // The size of bitmap `id`, or 0 x 0 when there is none.
    SIZE Bitmap(int id) {
        SIZE size{0, 0};
        HBITMAP bitmap = LoadBitmapA(module, MAKEINTRESOURCEA(id));
        BITMAP info{};
        if (bitmap != nullptr && GetObjectA(bitmap, sizeof info, &info) == sizeof info) {
            size = {info.bmWidth, info.bmHeight};
        }
        if (bitmap != nullptr) DeleteObject(bitmap);
        return size;
    }

    HMODULE module = nullptr;
};

TEST_F(PlayerResources, EveryButtonBitmapIsThere) {
    for (int id : {103, 104, 105, 106, 107, 116, 118}) {
        const SIZE size = Bitmap(id);
        EXPECT_EQ(size.cx, 32) << "bitmap " << id;
        EXPECT_EQ(size.cy, 32) << "bitmap " << id;
    }
    EXPECT_EQ(Bitmap(108).cx, 0);  // no other bitmap is made up
}

TEST_F(PlayerResources, TheSplashAndTheIconAreThere) {
    const SIZE splash = Bitmap(110);
    EXPECT_EQ(splash.cx, 420);
    EXPECT_EQ(splash.cy, 154);
    EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(122), MAKEINTRESOURCEA(14)), nullptr)
        << "icon group 122";
}

}  // namespace
