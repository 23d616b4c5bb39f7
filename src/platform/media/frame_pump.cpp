#include "platform/media/frame_pump.h"

#include <atomic>
#include <unordered_map>

#include "platform/graph.h"
#include "platform/win32.h"

namespace tarn::media {

namespace {

constexpr UINT kPictureMessage = WM_USER + 1;
constexpr const char* kPumpClass = "TarnMediaPictures";

std::atomic<HWND> g_pump{nullptr};
// Touched on the UI thread only.
std::unordered_map<uint64_t, std::function<void()>>& Receivers() {
    static auto* receivers = new std::unordered_map<uint64_t, std::function<void()>>();
    return *receivers;
}

LRESULT PumpProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kPictureMessage) {
        auto& receivers = Receivers();
        const auto it = receivers.find(static_cast<uint64_t>(lParam));
        if (it != receivers.end()) {
            const std::function<void()> receive = it->second;  // may unregister itself
            receive();
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void EnsurePump() {
    if (HWND pump = g_pump.load(); pump && IsWindow(pump)) return;
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &PumpProc;
    windowClass.lpszClassName = kPumpClass;
    RegisterClassExA(&windowClass);  // fails harmlessly when already registered
    // Hidden, zero-sized, never shown: it only receives our messages.
    g_pump.store(CreateWindowExA(0, kPumpClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                 nullptr));
}

}  // namespace

void RegisterPictureReceiver(uint64_t number, std::function<void()> onPictures) {
    EnsurePump();
    Receivers()[number] = std::move(onPictures);
}

void UnregisterPictureReceiver(uint64_t number) { Receivers().erase(number); }

void AnnouncePicture(uint64_t number) {
    if (ProcessExitBegun()) return;
    if (HWND pump = g_pump.load()) PostMessageA(pump, kPictureMessage, 0, static_cast<LPARAM>(number));
}

}  // namespace tarn::media
