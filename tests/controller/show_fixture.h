// A show on the headless window system, for the controller and window tests.
//
// The fixture writes a show description and its (empty) slide and sound files
// into a fresh temporary folder, laid out as extraction leaves them (the
// folder is the temporary folder, every file is named by a temp decorator, a
// dot and its own name), resets every process-wide record, installs
// the headless edge with its virtual clock and the recording media, creates
// the show windows and starts the show. Everything the show asks of the
// media, and every time the control bar or the show window changes, is
// written in order into one log.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controller/recording_media.h"
#include "platform/window/headless_edge.h"
#include "platform/window_system.h"
#include "platform/win32.h"

namespace tarn::test {

struct SlideSpec {
    std::string image;      // file name in the show folder
    std::string sound;      // empty: the Sound key is present and empty
    int64_t soundMs = 0;    // how long the sound plays (0: never ends)
    std::string delay;      // the Delay key's value; empty: no key
};

struct ShowSpec {
    int32_t advanceMethod = 0;
    int32_t delayMs = 0;
    int32_t showSplash = 0;
    int32_t soundOptions = 0;
    std::string backgroundSound;  // empty: none
    int64_t backgroundMs = 0;
    std::vector<SlideSpec> slides;
    std::optional<int32_t> count;  // the Count key; default: slides.size()
    std::string transition;        // the TransitionMilliseconds value; empty: no key

    // `n` slides "slide0.png" ... without sounds.
    static ShowSpec Slides(int n);
    ShowSpec& Timed(int32_t delay, bool waitForSound = false);
    ShowSpec& Splash(bool on = true);
};

// An Edge that forwards to the headless edge and notes in the media log when
// the control bar is shown or hidden, when it is painted and when the show
// window changes size.
class RecordingEdge final : public ws::Edge {
public:
    RecordingEdge(ws::HeadlessEdge& inner, MediaRecorder& log) : inner_(inner), log_(log) {}
    int ScreenWidth() const override { return inner_.ScreenWidth(); }
    int ScreenHeight() const override { return inner_.ScreenHeight(); }
    void WaitForEvents(int64_t deadline) override { inner_.WaitForEvents(deadline); }
    void Wake() override { inner_.Wake(); }
    void WindowChanged(HWND window) override;
    void WindowDestroyed(HWND window) override;
    void Present(HWND window) override;
    void FocusChanged(HWND window) override { inner_.FocusChanged(window); }
    bool CursorPos(POINT* point) override { return inner_.CursorPos(point); }

    // Starts noting the changes of these windows, from their state now.
    void Watch(HWND show, HWND bar);
    HWND showWindow = nullptr;
    HWND barWindow = nullptr;
    // SplashShowing at the moment the show window was destroyed (-1: not yet).
    int32_t splashShowingAtClose = -1;

private:
    ws::HeadlessEdge& inner_;
    MediaRecorder& log_;
    bool barVisible_ = false;
    RECT showRect_{};
};

class ShowFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the show and its files and reads its settings.
    void WriteShow(const ShowSpec& spec);
    // WriteShow, then registers the classes and creates the windows.
    void PrepareShow(const ShowSpec& spec);
    // PrepareShow, then StartShow.
    void StartShowWith(const ShowSpec& spec);

    // Runs the message loop for `ms` of virtual time; false once it has quit.
    bool RunFor(int64_t ms) { return edge().RunFor(ms); }
    int64_t NowMs() const { return edge_->NowMillis(); }

    ws::HeadlessEdge& edge() const { return *edge_; }
    MediaRecorder& media() const { return *media_; }

    // Observations.
    int32_t SplashShowingAtClose() const { return recordingEdge_->splashShowingAtClose; }
    static int32_t Slide();
    static bool ShowOpen();
    static bool BarShown();
    static std::optional<ws::TimerView> ShowTimer(UINT_PTR id);
    // The full path of a file of the show: decorator, ".", name.
    std::string PathOf(const std::string& name) const { return decorator_ + "." + name; }
    // Centre of the control bar's button k in screen coordinates.
    static POINT BarButtonCentre(int k);

    // Sends a message to the show window as the system would deliver it.
    static LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

private:
    std::unique_ptr<ws::HeadlessEdge> edge_;
    std::unique_ptr<MediaRecorder> media_;
    std::unique_ptr<RecordingEdge> recordingEdge_;
    std::string folder_;
    std::string decorator_;
    std::string savedTmpDir_;
    bool hadTmpDir_ = false;
};

}  // namespace tarn::test
