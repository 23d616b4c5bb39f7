#include "platform/graph.h"

#include "platform/windows/outgoing_picture.h"

namespace tarn {
namespace {

// Everything here runs on the user-interface thread, which owns the windows.
// A kept clip is let go while COM is still there (the player forgets its
// upcoming files before it ends), never at static destruction.
std::unique_ptr<PictureWindow> g_outgoing;
ComRef<::IGraphBuilder>& g_outgoingClip = *new ComRef<::IGraphBuilder>;
UINT_PTR g_dropTimer = 0;

VOID CALLBACK DropWhenIdle(HWND, UINT, UINT_PTR, DWORD) { DropOutgoingPicture(); }

// A thread timer: its callback runs from the message loop, after the change
// that hid the picture has run to its end.
void ArmDropTimer() {
    g_dropTimer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &DropWhenIdle);
    if (g_dropTimer == 0) DropOutgoingPicture();
}

}  // namespace

void KeepOutgoingPicture(std::unique_ptr<PictureWindow> picture) {
    DropOutgoingPicture();
    if (!picture) return;
    g_outgoing = std::move(picture);
    ArmDropTimer();
}

void KeepOutgoingClip(ComRef<::IGraphBuilder> graph) {
    DropOutgoingPicture();
    if (!graph) return;
    ComRef<::IMediaControl> control;
    if (SUCCEEDED(graph->QueryInterface(::IID_IMediaControl, control.PutVoid()))) control->Pause();
    g_outgoingClip = std::move(graph);
    ArmDropTimer();
}

void NextPictureShown() {
    g_outgoing.reset();
    if (!g_outgoingClip) DropOutgoingPicture();
}

void DropOutgoingPicture() {
    if (g_dropTimer != 0) {
        KillTimer(nullptr, g_dropTimer);
        g_dropTimer = 0;
    }
    g_outgoing.reset();
    if (ComRef<::IGraphBuilder> clip = std::move(g_outgoingClip)) {
        ComRef<::IVideoWindow> video;
        if (!media::ProcessExitBegun() &&
            SUCCEEDED(clip->QueryInterface(::IID_IVideoWindow, video.PutVoid()))) {
            video->put_Visible(OAFALSE);
            video->put_Owner(0);
        }
    }
}

}  // namespace tarn
