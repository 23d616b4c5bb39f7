// Shared pieces of the window-system tests: a recording window procedure,
// a fixture with a headless edge, and a writer of BMP files.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

#include "platform/win32.h"
#include "platform/window/headless_edge.h"
#include "platform/window_system.h"

namespace window_test {

struct Event {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int64_t atMs;  // virtual time when the procedure was entered
};

// Every message the recording procedure receives, in order.
extern std::vector<Event> g_log;
// Optional per-test behaviour; returning a value skips DefWindowProcA.
extern std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> g_handler;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

constexpr const char* kClassName = "TestWindowClass";

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A window of the recording class at (x, y), width x height.
    HWND Create(int x, int y, int width, int height, HWND owner = nullptr, DWORD style = WS_POPUP);
    // Messages of one kind received by `window`, in order.
    std::vector<Event> Received(HWND window, UINT message) const;
    // Just the message numbers the window received.
    std::vector<UINT> MessagesOf(HWND window) const;

    tarn::ws::HeadlessEdge edge;
};

// A BMP file written by the test. `pixels` holds palette indexes for depths up
// to 8 and 0x00RRGGBB colours (or raw 16-bit values) otherwise, rows top first.
struct BmpSpec {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 24;
    bool topDown = false;
    std::vector<uint32_t> palette;  // 0x00RRGGBB
    std::vector<uint32_t> pixels;
    bool bitFields = false;
    uint32_t masks[3] = {0, 0, 0};
    bool coreHeader = false;  // the 12-byte header with 3-byte palette entries
};
std::vector<unsigned char> WriteBmp(const BmpSpec& spec);
// The same picture as a device-independent bitmap inside an ICO file entry
// (no file header, height doubled, a zero transparency mask after it).
std::vector<unsigned char> WriteIconDib(const BmpSpec& spec);

}  // namespace window_test
