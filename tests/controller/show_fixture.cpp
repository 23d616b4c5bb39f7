#include "controller/show_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "controller/controller.h"
#include "media/media_player.h"
#include "show/show_record.h"
#include "ui/control_bar.h"
#include "ui/show_window.h"

namespace tarn::test {

// ---- ShowSpec ----------------------------------------------------------------

ShowSpec ShowSpec::Slides(int n) {
    ShowSpec spec;
    for (int i = 0; i < n; ++i) spec.slides.push_back({"slide" + std::to_string(i) + ".png", "", 0, ""});
    return spec;
}

ShowSpec& ShowSpec::Timed(int32_t delay, bool waitForSound) {
    advanceMethod = ADVANCE_TIMED | (waitForSound ? ADVANCE_WAIT_FOR_SOUND : 0);
    delayMs = delay;
    return *this;
}

ShowSpec& ShowSpec::Splash(bool on) {
    showSplash = on ? 1 : 0;
    return *this;
}

// ---- RecordingEdge -----------------------------------------------------------

void RecordingEdge::Watch(HWND show, HWND bar) {
    showWindow = show;
    barWindow = bar;
    showRect_ = ws::View(show).rect;
    barVisible_ = ws::View(bar).visible;
}

void RecordingEdge::WindowChanged(HWND window) {
    inner_.WindowChanged(window);
    if (window == nullptr) return;
    const ws::WindowView view = ws::View(window);
    if (window == barWindow && view.visible != barVisible_) {
        barVisible_ = view.visible;
        log_.Note(barVisible_ ? "bar shown" : "bar hidden");
    }
    if (window == showWindow) {
        const RECT& r = view.rect;
        if (r.right - r.left != showRect_.right - showRect_.left ||
            r.bottom - r.top != showRect_.bottom - showRect_.top) {
            log_.Note("show " + std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top));
            showRect_ = r;
        }
    }
}

void RecordingEdge::WindowDestroyed(HWND window) {
    inner_.WindowDestroyed(window);
    if (window != nullptr && window == barWindow) log_.Note("bar destroyed");
    if (window != nullptr && window == showWindow) {
        log_.Note("show destroyed");
        splashShowingAtClose = SplashShowing;
    }
}

void RecordingEdge::Present(HWND window) {
    inner_.Present(window);
    if (window != nullptr && window == barWindow) log_.Note("bar painted");
    if (window != nullptr && window == showWindow) log_.Note("show painted");
}

// ---- ShowFixture -------------------------------------------------------------

void ShowFixture::SetUp() {
    edge_ = std::make_unique<ws::HeadlessEdge>();
    ws::ResetWindowSystem();
    media_ = std::make_unique<MediaRecorder>(*edge_->VirtualTime());
    TheMediaPlayer().Reset();
    recordingEdge_ = std::make_unique<RecordingEdge>(*edge_, *media_);
    ws::InstallEdge(recordingEdge_.get());

    ResetControllerFlags();
    ResetShowWindowState();
    ResetControlBarState();
    LoadDefaultPaths();

    char pattern[] = "/tmp/tarn-show-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    // The show's folder is the temporary folder, as for an extracted show.
    const char* tmpDir = std::getenv("TMPDIR");
    hadTmpDir_ = tmpDir != nullptr;
    savedTmpDir_ = hadTmpDir_ ? tmpDir : "";
    setenv("TMPDIR", folder_.c_str(), 1);
    decorator_ = folder_ + "/KTZ1A2B.tmp";
}

void ShowFixture::TearDown() {
    // Graphs go while the recorder and the clock they follow still exist.
    TheMediaPlayer().Reset();
    ws::InstallEdge(edge_.get());
    recordingEdge_.reset();
    media_.reset();
    edge_.reset();  // resets the window system
    ResetControllerFlags();
    ResetShowWindowState();
    ResetControlBarState();
    LoadDefaultPaths();
    if (hadTmpDir_) {
        setenv("TMPDIR", savedTmpDir_.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void ShowFixture::WriteShow(const ShowSpec& spec) {
    auto touch = [this](const std::string& name) { std::ofstream(PathOf(name), std::ios::binary); };

    std::string text = "[OPTIONS]\r\n";
    text += "AdvanceMethod=" + std::to_string(spec.advanceMethod) + "\r\n";
    text += "ViewOptions=8\r\n";
    text += "SoundOptions=" + std::to_string(spec.soundOptions) + "\r\n";
    text += "BackgroundColor=0,0,0\r\n";
    text += "BackgroundSound=" + (spec.backgroundSound.empty() ? "" : PathOf(spec.backgroundSound)) + "\r\n";
    text += "DelayBetweenSlidesInMilliseconds=" + std::to_string(spec.delayMs) + "\r\n";
    text += "ShowSplash=" + std::to_string(spec.showSplash) + "\r\n";
    text += "CLEAN=0\r\n";
    text += "TempFileDecorator=" + decorator_ + "\r\n";
    if (!spec.transition.empty()) text += "TransitionMilliseconds=" + spec.transition + "\r\n";
    text += "[SLIDES]\r\n";
    text += "Count=" + std::to_string(spec.count.value_or(static_cast<int32_t>(spec.slides.size()))) + "\r\n";
    for (size_t i = 0; i < spec.slides.size(); ++i) {
        const SlideSpec& slide = spec.slides[i];
        const std::string number = std::to_string(1000 + i);
        text += "Image" + number + "=" + PathOf(slide.image) + "\r\n";
        text += "Sound" + number + "=" + (slide.sound.empty() ? "" : PathOf(slide.sound)) + "\r\n";
        if (!slide.delay.empty()) text += "Delay" + number + "=" + slide.delay + "\r\n";
        touch(slide.image);
        if (!slide.sound.empty()) {
            touch(slide.sound);
            media_->SetSoundLength(slide.sound, slide.soundMs);
        }
    }
    if (!spec.backgroundSound.empty()) {
        touch(spec.backgroundSound);
        media_->SetSoundLength(spec.backgroundSound, spec.backgroundMs);
    }
    std::ofstream(decorator_, std::ios::binary);
    const std::string description = PathOf("show.ini");
    std::ofstream(description, std::ios::binary) << text;

    std::snprintf(g_Show.ShowDescriptionPath, sizeof g_Show.ShowDescriptionPath, "%s", description.c_str());
    ReadShowSettings();
}

void ShowFixture::PrepareShow(const ShowSpec& spec) {
    WriteShow(spec);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterWindowClasses(instance);
    ASSERT_EQ(CreateShowWindows(instance, SW_SHOW), 1);
    recordingEdge_->Watch(g_ShowWindow, g_ControlBarWindow);
}

void ShowFixture::StartShowWith(const ShowSpec& spec) {
    PrepareShow(spec);
    if (::testing::Test::HasFatalFailure()) return;
    media_->Mark();
    StartShow();
}

int32_t ShowFixture::Slide() {
    return g_Show.CurrentSlide;
}

bool ShowFixture::ShowOpen() {
    return g_ShowWindow != nullptr && IsWindow(g_ShowWindow);
}

bool ShowFixture::BarShown() {
    return g_ControlBarWindow != nullptr && IsWindow(g_ControlBarWindow) && IsWindowVisible(g_ControlBarWindow);
}

std::optional<ws::TimerView> ShowFixture::ShowTimer(UINT_PTR id) {
    for (const ws::TimerView& timer : ws::Timers()) {
        if (timer.window == g_ShowWindow && timer.id == id) return timer;
    }
    return std::nullopt;
}

POINT ShowFixture::BarButtonCentre(int k) {
    POINT point{32 * k + 16, 16};
    ClientToScreen(g_ControlBarWindow, &point);
    return point;
}

LRESULT ShowFixture::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(g_ShowWindow, message, wParam, lParam);
}

}  // namespace tarn::test
