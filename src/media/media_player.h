// The one media object of the player: the slide display (a new graph per
// slide, its picture placed in the show window) and the two sound channels.
#pragma once

#include <cstdint>

#include "platform/win32.h"

class MediaPlayer {
public:
    MediaPlayer();
    ~MediaPlayer();
    MediaPlayer(const MediaPlayer&) = delete;
    MediaPlayer& operator=(const MediaPlayer&) = delete;

    // Display side.
    HRESULT Initialise();
    void Teardown();
    HRESULT ShowSlide(const char* name, HWND owner);
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

private:
    // Filled in by the media implementation.
};

// The process's one MediaPlayer.
MediaPlayer& TheMediaPlayer();
