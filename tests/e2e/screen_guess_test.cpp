// The screen size asked of the X server before SDL starts: the size SDL's
// first display then has, so that the first picture decoded for it is the
// one the show uses.
#include <gtest/gtest.h>

#include <SDL.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/sdl/screen_guess.h"
#include "virtual_screen.h"

namespace tarn::e2e {
namespace {

// Restores an environment variable when the test ends.
class SavedVariable {
public:
    explicit SavedVariable(const char* name) : name_(name) {
        if (const char* value = std::getenv(name)) {
            had_ = true;
            value_ = value;
        }
    }
    ~SavedVariable() {
        if (had_) {
            ::setenv(name_, value_.c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    bool had_ = false;
    std::string value_;
};

TEST(ScreenGuess, IsTheSizeOfSdlsFirstDisplayAndNothingWithoutADisplay) {
    SavedVariable display("DISPLAY");
    const std::string work = std::string(TARN_BINARY_DIR) + "/tests/e2e/run-screen-guess";
    std::filesystem::create_directories(work);
    VirtualScreen screen;
    ASSERT_TRUE(screen.Start(1280, 720, work + "/xvfb.log"));
    ::setenv("DISPLAY", screen.Name().c_str(), 1);

    ScreenSize guess;
    ASSERT_TRUE(GuessPrimaryScreenSize(&guess));
    EXPECT_EQ(guess.width, 1280);
    EXPECT_EQ(guess.height, 720);

    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_DisplayMode mode;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &mode), 0);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    EXPECT_EQ(guess.width, mode.w);
    EXPECT_EQ(guess.height, mode.h);

    ::unsetenv("DISPLAY");
    ScreenSize none;
    EXPECT_FALSE(GuessPrimaryScreenSize(&none));
    ::setenv("DISPLAY", ":4095", 1);  // no server there
    EXPECT_FALSE(GuessPrimaryScreenSize(&none));
    EXPECT_EQ(none.width, 0);
}

}  // namespace
}  // namespace tarn::e2e
