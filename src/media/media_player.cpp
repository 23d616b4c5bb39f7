#include "media/media_player.h"

#include <array>
#include <vector>

#include "show/show_record.h"

using namespace tarn::media;

MediaPlayer::MediaPlayer() = default;

MediaPlayer::~MediaPlayer() {
    Teardown();
    // The members then go in reverse order: slideChannel before
    // backgroundChannel, each stopping and releasing its graph.
}

// ---- Display side ----------------------------------------------------------

HRESULT MediaPlayer::Initialise() {
    // A second Initialise replaces the set it finds; Put releases each old
    // reference before the new one is stored.
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IGraphBuilder, graphBuilder.PutVoid());
    if (SUCCEEDED(hr)) hr = graphBuilder->QueryInterface(IID_IVideoWindow, videoWindow.PutVoid());
    if (SUCCEEDED(hr)) hr = graphBuilder->QueryInterface(IID_IMediaControl, mediaControl.PutVoid());
    if (SUCCEEDED(hr)) hr = graphBuilder->QueryInterface(IID_IBasicVideo, basicVideo.PutVoid());
    if (FAILED(hr)) {
        Teardown();
        return hr;
    }
    StartAudioKeepAlive();
    return S_OK;
}

HRESULT MediaPlayer::StartAudioKeepAlive() {
    if (FAILED(DirectSoundCreate(nullptr, directSound.Put(), nullptr))) {
        directSound.Reset();
        return S_OK;
    }
    HWND window = GetForegroundWindow();
    if (!window) window = GetDesktopWindow();
    if (directSound->SetCooperativeLevel(window, DSSCL_PRIORITY) != S_OK) {
        directSound.Reset();
        return S_OK;
    }
    DSBUFFERDESC description{};
    description.dwSize = sizeof(DSBUFFERDESC);
    description.dwFlags = DSBCAPS_PRIMARYBUFFER;
    IDirectSoundBuffer* primary = nullptr;
    if (directSound->CreateSoundBuffer(&description, &primary, nullptr) != S_OK || !primary) {
        directSound.Reset();
        return S_OK;
    }
    // The primary buffer belongs to the device object; it is not kept.
    primary->Play(0, 0, DSBPLAY_LOOPING);
    return S_OK;
}

void MediaPlayer::Teardown() {
    if (videoWindow) {
        videoWindow->put_Visible(OAFALSE);
        videoWindow->put_Owner(0);
    }
    if (displayEvents) displayEvents->SetNotifyWindow(0, 0, 0);
    directSound.Reset();
    displayEvents.Reset();
    basicVideo.Reset();
    spareInterface.Reset();
    mediaControl.Reset();
    videoWindow.Reset();
    graphBuilder.Reset();
}

HRESULT MediaPlayer::ShowSlide(const char* name, HWND owner, DWORD fadeMilliseconds) {
    // The picture on screen is kept for the fade before its graph goes; the
    // new graph's still picture fades in over it when it runs.
    if (fadeMilliseconds > 0) {
        KeepPictureForCrossFade(owner, fadeMilliseconds);
    } else {
        FinishCrossFade();
    }
    Teardown();
    // Without a graph there is nothing to render into or run: the slide is
    // skipped and the background stays.
    if (const HRESULT hr = Initialise(); FAILED(hr)) {
        ReleaseKeptPicture();
        return hr;
    }
    RenderSlide(name, owner);
    const HRESULT result = mediaControl->Run();
    // A clip, or a file that did not render, was not faded in: a cut.
    ReleaseKeptPicture();
    // Let the platform prepare the neighbouring slides, the next one last
    // (first in line), so that the next change only places a ready picture
    // or starts a ready clip; and the next slide's sound, which starts with
    // it.
    char neighbour[SHOW_PATH_BYTES];
    for (const int32_t index : {g_Show.CurrentSlide - 1, g_Show.CurrentSlide + 1}) {
        if (index < 0 || index >= g_Show.Count) continue;
        ReadImageNameAt(index, neighbour, sizeof neighbour);
        HintUpcomingFile(neighbour);
    }
    if (const int32_t next = g_Show.CurrentSlide + 1; next >= 1 && next < g_Show.Count) {
        ReadSoundNameAt(next, neighbour, sizeof neighbour);
        HintUpcomingSound(neighbour);
    }
    return result;
}

void MediaPlayer::FinishTransition() {
    FinishCrossFade();
}

HRESULT MediaPlayer::RenderSlide(const char* name, HWND owner) {
    if (!graphBuilder) return -1;
    // The UTF-16 name: lstrlenA + 1 units, the first set to 0 so that a
    // failed conversion leaves the empty name. Short names stay on the stack.
    const int units = (name ? lstrlenA(name) : 0) + 1;
    std::array<tarn::media::WCHAR, MAX_PATH * 2> local;
    std::vector<tarn::media::WCHAR> large;
    tarn::media::WCHAR* wide = local.data();
    if (units > static_cast<int>(local.size())) {
        large.resize(static_cast<size_t>(units));
        wide = large.data();
    }
    wide[0] = 0;
    if (name) AnsiToWide(name, wide, units);

    const HRESULT rendered = graphBuilder->RenderFile(wide, nullptr);
    if (FAILED(rendered)) return rendered;
    if (!videoWindow) return -1;

    FitVideoWindow();
    const auto ownerHandle = reinterpret_cast<OAHWND>(owner);
    videoWindow->put_MessageDrain(ownerHandle);
    videoWindow->put_WindowStyle(static_cast<LONG>(WS_CHILD | WS_CLIPSIBLINGS));
    videoWindow->SetWindowForeground(OATRUE);
    videoWindow->put_Owner(ownerHandle);
    return mediaControl ? mediaControl->StopWhenReady() : -1;
}

void MediaPlayer::FitVideoWindow() {
    LONG width = 0;
    LONG height = 0;
    if (basicVideo) {
        if (FAILED(basicVideo->get_SourceWidth(&width))) width = 0;
        if (FAILED(basicVideo->get_SourceHeight(&height))) height = 0;
    }
    const int32_t screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int32_t screenHeight = GetSystemMetrics(SM_CYSCREEN);
    // Products in 64 bits so that no source size can overflow them; each
    // quotient is smaller than the value it replaces.
    if (width > screenWidth) {
        height = static_cast<LONG>(int64_t{screenWidth} * height / width);
        width = screenWidth;
    }
    if (height > screenHeight) {
        width = static_cast<LONG>(int64_t{screenHeight} * width / height);
        height = screenHeight;
    }
    const LONG left = (screenWidth - width) / 2;
    const LONG top = (screenHeight - height) / 2;
    if (videoWindow) videoWindow->SetWindowPosition(left, top, width, height);
}

void MediaPlayer::CloseDisplay() {
    if (videoWindow) {
        videoWindow->put_Visible(OAFALSE);
        videoWindow->put_Owner(0);
        Teardown();
    }
    // The show's files are deleted next: nothing the platform prepared or
    // left on screen may hold one.
    ForgetUpcomingFiles();
}

uint64_t MediaPlayer::DisplayGraphNumber() const {
    return graphBuilder ? graphBuilder->GraphNumber() : 0;
}

// ---- Sound side ------------------------------------------------------------

void MediaPlayer::StartBackgroundSound(const char* name, HWND window, UINT message) {
    if (!backgroundPending) return;
    if (g_Show.SoundOptions & SOUND_LOOP_BACKGROUND) backgroundChannel.loop = true;
    backgroundChannel.Play(name, window, message);
    backgroundPending = false;
}

void MediaPlayer::StartSlideSound(const char* name, HWND window, UINT message) {
    slideChannel.Stop();
    slideSoundFinished = false;
    if (slideChannel.Play(name, window, message) < 0) slideSoundFinished = true;
}

void MediaPlayer::PauseSounds() {
    slideChannel.Pause();
    backgroundChannel.Pause();
}

void MediaPlayer::ResumeSounds() {
    slideChannel.Resume();
    backgroundChannel.Resume();
}

void MediaPlayer::StopSounds() {
    slideChannel.Stop();
    backgroundChannel.Stop();
}

void MediaPlayer::OnBackgroundSoundEvent(UINT message, WPARAM wParam, LPARAM lParam) {
    backgroundChannel.HandleEvent(message, wParam, lParam, backgroundFinished);
}

void MediaPlayer::OnSlideSoundEvent(UINT message, WPARAM wParam, LPARAM lParam) {
    slideChannel.HandleEvent(message, wParam, lParam, slideSoundFinished);
}

bool MediaPlayer::MayAdvance() const {
    if (!(g_Show.AdvanceMethod & ADVANCE_WAIT_FOR_SOUND)) return true;
    return slideSoundFinished;
}

void MediaPlayer::Reset() {
    Teardown();
    ForgetUpcomingFiles();
    slideChannel.Stop();
    backgroundChannel.Stop();
    backgroundChannel.loop = false;
    slideChannel.loop = false;
    backgroundPending = true;
    slideSoundFinished = false;
    backgroundFinished = false;
}

// Made on first use, which is when the show windows exist, and destroyed at
// process exit. By then the window system's state may be partly gone (the
// loop can end without the show window's own teardown), so the graphs are
// told first: they stop and release without touching it.
MediaPlayer& TheMediaPlayer() {
    struct ProcessPlayer {
        MediaPlayer player;
        ~ProcessPlayer() { tarn::media::EnterProcessExit(); }  // runs before `player` goes
    };
    static ProcessPlayer process;
    return process.player;
}
