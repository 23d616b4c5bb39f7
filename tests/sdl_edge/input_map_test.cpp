// The translation of SDL keys and buttons into the window procedures' codes.
#include <gtest/gtest.h>

#include "platform/sdl/input_map.h"

namespace tarn::ws {
namespace {

TEST(InputMap, TheShowKeysGetTheirVirtualKeyCodes) {
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_ESCAPE), 27u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_SPACE), 32u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_PAGEUP), 33u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_PAGEDOWN), 34u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_END), 35u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_HOME), 36u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_LEFT), 37u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_UP), 38u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_RIGHT), 39u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_DOWN), 40u);
}

TEST(InputMap, LettersDigitsAndFunctionKeysCoverTheirWholeRanges) {
    for (SDL_Keycode key = SDLK_a; key <= SDLK_z; ++key) {
        EXPECT_EQ(VirtualKeyFromSdl(key), static_cast<UINT>('A' + (key - SDLK_a)));
    }
    for (SDL_Keycode key = SDLK_0; key <= SDLK_9; ++key) {
        EXPECT_EQ(VirtualKeyFromSdl(key), static_cast<UINT>('0' + (key - SDLK_0)));
    }
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_F1), 0x70u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_F12), 0x7Bu);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_F13), 0x7Cu);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_F24), 0x87u);
}

TEST(InputMap, KeypadDigitsAreTheNumpadCodesInOrder) {
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_0), 0x60u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_1), 0x61u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_5), 0x65u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_9), 0x69u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_ENTER), static_cast<UINT>(VK_RETURN));
}

TEST(InputMap, KeysWithoutACodeMapToZeroAndNoShowKeyIsReachedByAccident) {
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_UNKNOWN), 0u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_AUDIOPLAY), 0u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_BRIGHTNESSUP), 0u);
    // Letters and punctuation never land on the codes the show reacts to.
    const UINT showKeys[] = {27, 32, 33, 34, 37, 38, 39, 40};
    const SDL_Keycode others[] = {SDLK_a, SDLK_z, SDLK_COMMA, SDLK_PERIOD, SDLK_QUOTE,
                                  SDLK_HOME, SDLK_END, SDLK_RETURN, SDLK_TAB, SDLK_F1};
    for (SDL_Keycode key : others) {
        for (UINT showKey : showKeys) EXPECT_NE(VirtualKeyFromSdl(key), showKey) << key;
    }
}

TEST(InputMap, KeyDownParamMarksAutoRepeatInBit30) {
    const LPARAM first = KeyDownParam(SDL_SCANCODE_RIGHT, false);
    const LPARAM repeat = KeyDownParam(SDL_SCANCODE_RIGHT, true);
    EXPECT_EQ(first & 0xFFFF, 1);                                // repeat count
    EXPECT_EQ((first >> 16) & 0xFF, SDL_SCANCODE_RIGHT & 0xFF);  // scan code
    EXPECT_EQ((first >> 30) & 1, 0);
    EXPECT_EQ((repeat >> 30) & 1, 1);
    EXPECT_EQ(repeat & ~(LPARAM{1} << 30), first);
}

TEST(InputMap, ButtonsBecomeTheirMessagesAndOthersNone) {
    EXPECT_EQ(MouseButtonMessage(SDL_BUTTON_LEFT, true), static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(MouseButtonMessage(SDL_BUTTON_RIGHT, true), static_cast<UINT>(WM_RBUTTONDOWN));
    EXPECT_EQ(MouseButtonMessage(SDL_BUTTON_MIDDLE, true), static_cast<UINT>(WM_MBUTTONDOWN));
    EXPECT_EQ(MouseButtonMessage(SDL_BUTTON_LEFT, false), static_cast<UINT>(WM_LBUTTONUP));
    EXPECT_EQ(MouseButtonMessage(SDL_BUTTON_RIGHT, false), static_cast<UINT>(WM_RBUTTONUP));
    EXPECT_EQ(MouseButtonMessage(SDL_BUTTON_MIDDLE, false), static_cast<UINT>(WM_MBUTTONUP));
    EXPECT_EQ(MouseButtonMessage(SDL_BUTTON_X1, true), 0u);
    EXPECT_EQ(MouseButtonMessage(SDL_BUTTON_X2, false), 0u);
}

TEST(InputMap, ButtonStateBecomesMouseKeyFlags) {
    EXPECT_EQ(MouseKeyState(0), 0u);
    EXPECT_EQ(MouseKeyState(SDL_BUTTON_LMASK), 0x0001u);
    EXPECT_EQ(MouseKeyState(SDL_BUTTON_RMASK), 0x0002u);
    EXPECT_EQ(MouseKeyState(SDL_BUTTON_MMASK), 0x0010u);
    EXPECT_EQ(MouseKeyState(SDL_BUTTON_LMASK | SDL_BUTTON_MMASK | SDL_BUTTON_X1MASK), 0x0011u);
}

TEST(InputMap, PointParamKeepsSignedCoordinatesThroughTheWords) {
    const LPARAM inside = MousePointParam(1000, 700);
    EXPECT_EQ(LOWORD(inside), 1000);
    EXPECT_EQ(HIWORD(inside), 700);
    // A window procedure reads each word back as a signed 16-bit number.
    const LPARAM outside = MousePointParam(-3, -20);
    EXPECT_EQ(static_cast<int16_t>(LOWORD(outside)), -3);
    EXPECT_EQ(static_cast<int16_t>(HIWORD(outside)), -20);
}

}  // namespace
}  // namespace tarn::ws
