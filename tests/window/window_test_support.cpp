#include "window_test_support.h"

#include "platform/clock.h"

namespace window_test {

std::vector<Event> g_log;
std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> g_handler;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    g_log.push_back(Event{window, message, wParam, lParam, tarn::CurrentClock().NowMillis()});
    if (g_handler) {
        if (auto result = g_handler(window, message, wParam, lParam)) return *result;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void WindowTest::SetUp() {
    g_log.clear();
    g_handler = nullptr;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = kClassName;
    ASSERT_NE(RegisterClassExA(&wc), 0);
}

void WindowTest::TearDown() {
    g_handler = nullptr;
    tarn::ws::ResetWindowSystem();
    g_log.clear();
}

HWND WindowTest::Create(int x, int y, int width, int height, HWND owner, DWORD style) {
    return CreateWindowExA(0, kClassName, "", style, x, y, width, height, owner, nullptr, nullptr,
                           nullptr);
}

std::vector<Event> WindowTest::Received(HWND window, UINT message) const {
    std::vector<Event> events;
    for (const Event& e : g_log) {
        if (e.window == window && e.message == message) events.push_back(e);
    }
    return events;
}

std::vector<UINT> WindowTest::MessagesOf(HWND window) const {
    std::vector<UINT> messages;
    for (const Event& e : g_log) {
        if (e.window == window) messages.push_back(e.message);
    }
    return messages;
}

namespace {

void Put16(std::vector<unsigned char>& out, uint32_t v) {
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void Put32(std::vector<unsigned char>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// Info header, masks, palette and pixel rows; `heightFactor` 2 for icons.
std::vector<unsigned char> WriteDib(const BmpSpec& spec, int heightFactor) {
    std::vector<unsigned char> out;
    const int storedHeight = spec.height * heightFactor * (spec.topDown ? -1 : 1);
    if (spec.coreHeader) {
        Put32(out, 12);
        Put16(out, static_cast<uint32_t>(spec.width));
        Put16(out, static_cast<uint32_t>(storedHeight));
        Put16(out, 1);
        Put16(out, static_cast<uint32_t>(spec.bitsPerPixel));
    } else {
        Put32(out, 40);
        Put32(out, static_cast<uint32_t>(spec.width));
        Put32(out, static_cast<uint32_t>(storedHeight));
        Put16(out, 1);
        Put16(out, static_cast<uint32_t>(spec.bitsPerPixel));
        Put32(out, spec.bitFields ? 3 : 0);
        Put32(out, 0);
        Put32(out, 2835);
        Put32(out, 2835);
        Put32(out, static_cast<uint32_t>(spec.palette.size()));
        Put32(out, 0);
        if (spec.bitFields) {
            for (uint32_t m : spec.masks) Put32(out, m);
        }
    }
    for (uint32_t c : spec.palette) {
        out.push_back(static_cast<unsigned char>(c));        // blue
        out.push_back(static_cast<unsigned char>(c >> 8));   // green
        out.push_back(static_cast<unsigned char>(c >> 16));  // red
        if (!spec.coreHeader) out.push_back(0);
    }
    const size_t stride = ((static_cast<size_t>(spec.width) * spec.bitsPerPixel + 31) / 32) * 4;
    for (int i = 0; i < spec.height; ++i) {
        const int y = spec.topDown ? i : spec.height - 1 - i;
        std::vector<unsigned char> row(stride, 0);
        for (int x = 0; x < spec.width; ++x) {
            const uint32_t v = spec.pixels[static_cast<size_t>(y) * spec.width + x];
            switch (spec.bitsPerPixel) {
            case 1: row[x / 8] |= static_cast<unsigned char>((v & 1) << (7 - x % 8)); break;
            case 4: row[x / 2] |= static_cast<unsigned char>((v & 0xF) << (x % 2 ? 0 : 4)); break;
            case 8: row[x] = static_cast<unsigned char>(v); break;
            case 16:
                row[2 * x] = static_cast<unsigned char>(v);
                row[2 * x + 1] = static_cast<unsigned char>(v >> 8);
                break;
            case 24:
                row[3 * x] = static_cast<unsigned char>(v);
                row[3 * x + 1] = static_cast<unsigned char>(v >> 8);
                row[3 * x + 2] = static_cast<unsigned char>(v >> 16);
                break;
            case 32:
                for (int b = 0; b < 4; ++b) row[4 * x + b] = static_cast<unsigned char>(v >> (8 * b));
                break;
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    if (heightFactor == 2) {
        const size_t maskStride = ((static_cast<size_t>(spec.width) + 31) / 32) * 4;
        out.insert(out.end(), maskStride * spec.height, 0);
    }
    return out;
}

}  // namespace

std::vector<unsigned char> WriteBmp(const BmpSpec& spec) {
    const std::vector<unsigned char> dib = WriteDib(spec, 1);
    const size_t headerLength = spec.coreHeader ? 12 : 40 + (spec.bitFields ? 12 : 0);
    const size_t paletteLength = spec.palette.size() * (spec.coreHeader ? 3 : 4);
    std::vector<unsigned char> out{'B', 'M'};
    Put32(out, static_cast<uint32_t>(14 + dib.size()));
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(14 + headerLength + paletteLength));
    out.insert(out.end(), dib.begin(), dib.end());
    return out;
}

std::vector<unsigned char> WriteIconDib(const BmpSpec& spec) { return WriteDib(spec, 2); }

}  // namespace window_test
