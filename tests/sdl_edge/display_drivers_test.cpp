// The choice of SDL video drivers the player may show its windows with.
#include <gtest/gtest.h>

#include <string>

#include "platform/sdl/display_drivers.h"

namespace tarn {
namespace {

bool Names(const std::string& list, const std::string& driver) {
    return ("," + list + ",").find("," + driver + ",") != std::string::npos;
}

TEST(DisplayDrivers, OnlyRealScreensAndX11First) {
    for (bool wayland : {false, true}) {
        const std::string drivers = DisplayDrivers(nullptr, wayland);
        EXPECT_EQ(drivers.rfind("x11", 0), 0u) << drivers;
        EXPECT_TRUE(Names(drivers, "KMSDRM")) << drivers;
        EXPECT_FALSE(Names(drivers, "offscreen")) << drivers;
        EXPECT_FALSE(Names(drivers, "dummy")) << drivers;
        EXPECT_FALSE(Names(drivers, "evdev")) << drivers;
        EXPECT_EQ(Names(drivers, "wayland"), wayland) << drivers;
    }
    EXPECT_EQ(DisplayDrivers("", false), DisplayDrivers(nullptr, false));
}

TEST(DisplayDrivers, DriversSomeoneNamedAreTakenAsTheyAre) {
    EXPECT_EQ(DisplayDrivers("dummy", false), "dummy");
    EXPECT_EQ(DisplayDrivers("wayland,x11", false), "wayland,x11");
}

}  // namespace
}  // namespace tarn
