#include "platform/sdl/input_map.h"

namespace tarn::ws {

namespace {

// Mouse key-state flags of a mouse message's wParam.
constexpr WPARAM kMkLButton = 0x0001;
constexpr WPARAM kMkRButton = 0x0002;
constexpr WPARAM kMkMButton = 0x0010;

struct KeyPair {
    SDL_Keycode sdl;
    UINT vk;
};

// Keys whose virtual-key code is not a letter, digit or function key.
constexpr KeyPair kNamedKeys[] = {
    {SDLK_BACKSPACE, 0x08},   {SDLK_TAB, 0x09},          {SDLK_CLEAR, 0x0C},
    {SDLK_RETURN, 0x0D},      {SDLK_KP_ENTER, 0x0D},     {SDLK_LSHIFT, 0x10},
    {SDLK_RSHIFT, 0x10},      {SDLK_LCTRL, 0x11},        {SDLK_RCTRL, 0x11},
    {SDLK_LALT, 0x12},        {SDLK_RALT, 0x12},         {SDLK_PAUSE, 0x13},
    {SDLK_CAPSLOCK, 0x14},    {SDLK_ESCAPE, 0x1B},       {SDLK_SPACE, 0x20},
    {SDLK_PAGEUP, 0x21},      {SDLK_PAGEDOWN, 0x22},     {SDLK_END, 0x23},
    {SDLK_HOME, 0x24},        {SDLK_LEFT, 0x25},         {SDLK_UP, 0x26},
    {SDLK_RIGHT, 0x27},       {SDLK_DOWN, 0x28},         {SDLK_PRINTSCREEN, 0x2C},
    {SDLK_INSERT, 0x2D},      {SDLK_DELETE, 0x2E},       {SDLK_HELP, 0x2F},
    {SDLK_LGUI, 0x5B},        {SDLK_RGUI, 0x5C},         {SDLK_APPLICATION, 0x5D},
    {SDLK_KP_MULTIPLY, 0x6A}, {SDLK_KP_PLUS, 0x6B},      {SDLK_KP_MINUS, 0x6D},
    {SDLK_KP_PERIOD, 0x6E},   {SDLK_KP_DECIMAL, 0x6E},   {SDLK_KP_DIVIDE, 0x6F},
    {SDLK_NUMLOCKCLEAR, 0x90}, {SDLK_SCROLLLOCK, 0x91},  {SDLK_SEMICOLON, 0xBA},
    {SDLK_EQUALS, 0xBB},      {SDLK_COMMA, 0xBC},        {SDLK_MINUS, 0xBD},
    {SDLK_PERIOD, 0xBE},      {SDLK_SLASH, 0xBF},        {SDLK_BACKQUOTE, 0xC0},
    {SDLK_LEFTBRACKET, 0xDB}, {SDLK_BACKSLASH, 0xDC},    {SDLK_RIGHTBRACKET, 0xDD},
    {SDLK_QUOTE, 0xDE},
};

}  // namespace

UINT VirtualKeyFromSdl(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<UINT>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<UINT>('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return static_cast<UINT>(0x70 + (key - SDLK_F1));
    if (key >= SDLK_F13 && key <= SDLK_F24) return static_cast<UINT>(0x7C + (key - SDLK_F13));
    // The keypad digits are not contiguous in SDL: 1..9 follow each other, 0 comes after.
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return static_cast<UINT>(0x61 + (key - SDLK_KP_1));
    if (key == SDLK_KP_0) return 0x60;
    for (const KeyPair& pair : kNamedKeys) {
        if (pair.sdl == key) return pair.vk;
    }
    return 0;
}

LPARAM KeyDownParam(SDL_Scancode scancode, bool repeat) {
    uint32_t value = 1;  // repeat count
    value |= (static_cast<uint32_t>(scancode) & 0xFFu) << 16;
    if (repeat) value |= 1u << 30;
    return static_cast<LPARAM>(value);
}

UINT MouseButtonMessage(Uint8 button, bool down) {
    switch (button) {
        case SDL_BUTTON_LEFT: return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        case SDL_BUTTON_RIGHT: return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        case SDL_BUTTON_MIDDLE: return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        default: return 0;
    }
}

WPARAM MouseKeyState(Uint32 sdlButtons) {
    WPARAM state = 0;
    if (sdlButtons & SDL_BUTTON_LMASK) state |= kMkLButton;
    if (sdlButtons & SDL_BUTTON_RMASK) state |= kMkRButton;
    if (sdlButtons & SDL_BUTTON_MMASK) state |= kMkMButton;
    return state;
}

LPARAM MousePointParam(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<int16_t>(x)),
                      static_cast<WORD>(static_cast<int16_t>(y)));
}

}  // namespace tarn::ws
