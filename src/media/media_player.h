// The one media object of the player: the slide display (a new graph per
// slide, its picture placed in the show window, plus the audio keep-alive)
// and the two sound channels with their flags.
#pragma once

#include <cstdint>

#include "platform/graph.h"
#include "media/sound_channel.h"
#include "platform/win32.h"

class MediaPlayer {
public:
    MediaPlayer();
    // Teardown, then the slide channel and the background channel are
    // destroyed (each stops and releases the graph it holds).
    ~MediaPlayer();
    MediaPlayer(const MediaPlayer&) = delete;
    MediaPlayer& operator=(const MediaPlayer&) = delete;

    // Display side.
    HRESULT Initialise();
    void Teardown();
    // With `fadeMilliseconds` above 0, a still picture that replaces a still
    // picture fades in over it during that time; anything else is a cut.
    HRESULT ShowSlide(const char* name, HWND owner, DWORD fadeMilliseconds = 0);
    // Ends a fade in progress at once, the new picture shown whole.
    void FinishTransition();
    void CloseDisplay();
    HRESULT RenderSlide(const char* name, HWND owner);
    void FitVideoWindow();
    HRESULT StartAudioKeepAlive();

    // Sound side.
    void StartBackgroundSound(const char* name, HWND window, UINT message);
    void StartSlideSound(const char* name, HWND window, UINT message);
    void PauseSounds();
    void ResumeSounds();
    void StopSounds();
    void OnBackgroundSoundEvent(UINT message, WPARAM wParam, LPARAM lParam);
    void OnSlideSoundEvent(UINT message, WPARAM wParam, LPARAM lParam);
    bool MayAdvance() const;

    // Stops and releases everything and returns to the state of
    // construction (tests that run several shows in one process).
    void Reset();

    // Read-only views for tests.
    bool BackgroundPending() const { return backgroundPending; }
    bool SlideSoundFinished() const { return slideSoundFinished; }
    bool BackgroundSoundFinished() const { return backgroundFinished; }
    bool HoldsDisplayGraph() const { return static_cast<bool>(graphBuilder); }
    bool HoldsKeepAlive() const { return static_cast<bool>(directSound); }
    // Number of the display graph, 0 when none.
    uint64_t DisplayGraphNumber() const;
    const SoundChannel& BackgroundChannel() const { return backgroundChannel; }
    const SoundChannel& SlideChannel() const { return slideChannel; }

private:
    tarn::media::ComPtr<tarn::media::IVideoWindow> videoWindow;
    tarn::media::ComPtr<tarn::media::IGraphBuilder> graphBuilder;
    tarn::media::ComPtr<tarn::media::IUnknown> spareInterface;
    tarn::media::ComPtr<tarn::media::IMediaControl> mediaControl;
    tarn::media::ComPtr<tarn::media::IMediaEventEx> displayEvents;
    tarn::media::ComPtr<tarn::media::IBasicVideo> basicVideo;
    tarn::media::ComPtr<tarn::media::IDirectSound> directSound;
    bool backgroundPending = true;
    bool slideSoundFinished = false;
    SoundChannel backgroundChannel;
    SoundChannel slideChannel;
    // The background channel's finished flag; nothing reads it.
    bool backgroundFinished = false;
};

// The process's one MediaPlayer.
MediaPlayer& TheMediaPlayer();
