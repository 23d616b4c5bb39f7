// One sound playback beside the slide display: a graph of its own, built
// anew for every file it plays, announcing its events to a window by a
// private message that the window hands back to HandleEvent.
#pragma once

#include "platform/graph.h"
#include "platform/win32.h"

class SoundChannel {
public:
    SoundChannel() = default;
    ~SoundChannel();  // as Stop
    SoundChannel(const SoundChannel&) = delete;
    SoundChannel& operator=(const SoundChannel&) = delete;

    // Plays the file `name` (8-bit, ANSI code page). -1 when the name is
    // empty or names nothing that exists; otherwise the result of the graph
    // creation, of RenderFile or of Run, whichever ended the operation.
    HRESULT Play(const char* name, HWND window, UINT message);
    HRESULT Stop();
    HRESULT Pause();
    HRESULT Resume();
    // Takes one event from the graph that posted the notification (lParam is
    // its number) and acts on it; `finished` is set on completion and errors.
    HRESULT HandleEvent(UINT message, WPARAM wParam, LPARAM lParam, bool& finished);

    // The channel's current graph, null when none.
    tarn::media::ComPtr<tarn::media::IGraphBuilder> graph;
    // When true, the end of the sound rewinds it and plays it again.
    bool loop = false;
};
