// The end of a player process that still holds a slide on screen, as when
// the control bar alone was closed: the media player, a static object made
// before the window system's, is destroyed after it at exit and still
// hides and releases its picture then. Found by the sanitizer run of the
// real-window tests (a heap use after free at exit); under the sanitizers
// this child process must end cleanly.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "media/media_player.h"
#include "package/package_builder.h"
#include "package/scratch_folder.h"
#include "platform/window/headless_edge.h"
#include "platform/window_system.h"
#include "ui/show_window.h"

namespace {

using namespace tarn::test;

void Append16(std::string& out, uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}
void Append32(std::string& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

// A 4 x 4 picture, 24 bits per pixel, all red.
std::string RedBitmap() {
    std::string pixels;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) pixels += std::string("\x00\x00\xff", 3);
    }
    std::string file = "BM";
    Append32(file, 54 + static_cast<uint32_t>(pixels.size()));
    Append32(file, 0);
    Append32(file, 54);
    Append32(file, 40);
    Append32(file, 4);
    Append32(file, 4);
    Append16(file, 1);
    Append16(file, 24);
    Append32(file, 0);
    Append32(file, static_cast<uint32_t>(pixels.size()));
    Append32(file, 2835);
    Append32(file, 2835);
    Append32(file, 0);
    Append32(file, 0);
    return file + pixels;
}

TEST(ExitOrder, AProcessEndingWithASlideOnScreenEndsCleanly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: statics made in order
    ScratchFolder scratch;
    const std::string picture = scratch.temp() + "/red.bmp";
    WriteBytes(picture, RedBitmap());
    EXPECT_EXIT(
        {
            // As in the player: the media player exists before any window.
            MediaPlayer& player = TheMediaPlayer();
            static tarn::ws::HeadlessEdge edge(tarn::ws::HeadlessEdge::OnCurrentClock{});
            tarn::ws::InstallEdge(&edge);
            HINSTANCE instance = GetModuleHandleA(nullptr);
            RegisterWindowClasses(instance);
            if (CreateShowWindows(instance, SW_SHOW) != 1) std::_Exit(2);
            player.ShowSlide(picture.c_str(), g_ShowWindow);
            // The window system has seen the picture: its state now exists.
            if (tarn::ws::VideoOverlays(g_ShowWindow).empty()) std::_Exit(3);
            std::exit(0);  // static objects are destroyed now
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
