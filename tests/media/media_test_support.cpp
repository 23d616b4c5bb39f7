#include "media/media_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/clock.h"
#include "platform/window_system.h"

namespace media_test {

std::vector<Notification> g_received;

namespace {
LRESULT RecordingProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_USER)
        g_received.push_back(Notification{message, wParam, lParam, tarn::CurrentClock().NowMicros()});
    return DefWindowProcA(w, message, wParam, lParam);
}
}  // namespace

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarn-media-XXXXXX").string();
    if (char* made = mkdtemp(pattern.data())) path_ = made;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::Write(const std::string& name, const std::string& bytes) const {
    const std::string path = Path(name);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

bool Ffmpeg(const std::string& arguments, const std::string& output) {
    const std::string command =
        "ffmpeg -hide_banner -loglevel error -nostdin -y " + arguments + " '" + output + "' 2>/dev/null";
    return std::system(command.c_str()) == 0 && std::filesystem::exists(output);
}

void MediaWindowTest::SetUp() {
    g_received.clear();
    edge = std::make_unique<tarn::ws::HeadlessEdge>();
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &RecordingProc;
    windowClass.lpszClassName = "MediaTestWindow";
    RegisterClassExA(&windowClass);
    window = CreateWindowExA(0, "MediaTestWindow", "", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 768,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(IsWindow(window));
}

void MediaWindowTest::TearDown() {
    edge.reset();  // resets the window system
    g_received.clear();
}

void MediaWindowTest::Pump() { tarn::ws::PumpPending(); }

std::vector<Notification> MediaWindowTest::Received(UINT message) const {
    std::vector<Notification> out;
    for (const auto& n : g_received)
        if (n.message == message) out.push_back(n);
    return out;
}

}  // namespace media_test
