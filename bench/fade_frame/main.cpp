// Times what the user-interface thread spends per frame of a cross-fade
// (compose the window, then mix in the held picture) against composing the
// window once for a cut, at 1920x1080 with two photos fitted to the screen.
// The fade's frames come from pictures already in memory: nothing here
// decodes or scales.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/clock.h"
#include "platform/window/headless_edge.h"
#include "platform/window_system.h"

namespace {

namespace ws = tarn::ws;
using Steady = std::chrono::steady_clock;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kPhotoWidth = 1620;  // a 3:2 photo fitted to the screen

LRESULT CALLBACK BlackWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) return 1;
    return DefWindowProcA(window, message, wParam, lParam);
}

std::shared_ptr<const ws::VideoFrame> Photo(uint32_t seed) {
    auto frame = std::make_shared<ws::VideoFrame>();
    frame->width = kPhotoWidth;
    frame->height = kHeight;
    frame->data.resize(static_cast<size_t>(kPhotoWidth) * kHeight);
    for (size_t i = 0; i < frame->data.size(); ++i) frame->data[i] = static_cast<uint32_t>(i * 2654435761u + seed) & 0xFFFFFF;
    return frame;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <class Work>
std::vector<double> Time(int rounds, Work work) {
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Steady::now();
        work();
        ms.push_back(std::chrono::duration<double, std::milli>(Steady::now() - start).count());
    }
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
    tarn::VirtualClock clock;
    ws::HeadlessEdge edge(clock, kWidth, kHeight);
    ws::InstallEdge(&edge);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = BlackWindow;
    windowClass.lpszClassName = "FadeBench";
    RegisterClassExA(&windowClass);
    HWND window = CreateWindowExA(0, "FadeBench", "", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight, nullptr,
                                  nullptr, nullptr, nullptr);
    const RECT place{(kWidth - kPhotoWidth) / 2, 0, (kWidth + kPhotoWidth) / 2, kHeight};
    ws::SetVideoOverlay(window, 1, place, Photo(1), true);

    std::vector<uint32_t> screen(static_cast<size_t>(kWidth) * kHeight);
    const ws::PixelRows target{screen.data(), kWidth, kHeight, static_cast<size_t>(kWidth)};
    const std::vector<double> cut = Time(frames, [&] { ws::ComposeInto(window, target); });

    // The change: the old photo is held, the new one (decoded ahead) placed,
    // the fade starts.
    auto next = Photo(2);
    const std::vector<double> start = Time(1, [&] {
        ws::HoldPictureForFade(window, 1000000, [](uint64_t) { return true; });
        ws::RemoveVideoOverlay(1);
        ws::SetVideoOverlay(window, 2, place, next, true);
        ws::StartCrossFade(window, 2);
    });
    clock.AdvanceBy(500000);  // half way: every pixel is mixed
    const std::vector<double> fade = Time(frames, [&] { ws::ComposeInto(window, target); });

    std::printf("cut_compose_ms %.2f\n", Median(cut));
    std::printf("fade_start_ms %.2f\n", start[0]);
    std::printf("fade_frame_ms %.2f\n", Median(fade));
    std::printf("fade_frames_per_s_possible %.0f\n", 1000.0 / Median(fade));
    ws::FinishCrossFade();
    DestroyWindow(window);
    ws::InstallEdge(nullptr);
    return 0;
}
