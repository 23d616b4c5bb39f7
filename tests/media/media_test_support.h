// Shared pieces of the media tests: a headless screen with a window that
// records the notifications it receives, a temporary folder, and fixtures
// made with the ffmpeg tool at test time.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "platform/window/headless_edge.h"

namespace media_test {

struct Notification {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    int64_t atMicros;  // clock time when the window received it
};

// A temporary folder removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string Path(const std::string& name) const { return path_ + "/" + name; }
    // Writes `bytes` to the file `name`; returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;

private:
    std::string path_;
};

// Runs the ffmpeg tool with `arguments` (output path included); true when it
// made the file.
bool Ffmpeg(const std::string& arguments, const std::string& output);

// A headless screen (1024 x 768 on a virtual clock) with one visible
// full-screen window whose procedure records every private message.
class MediaWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Dispatches everything posted so far (no time passes).
    void Pump();
    // Notifications received so far with `message`.
    std::vector<Notification> Received(UINT message) const;

    std::unique_ptr<tarn::ws::HeadlessEdge> edge;
    HWND window = nullptr;
};

extern std::vector<Notification> g_received;

}  // namespace media_test
