#include "platform/windows/outgoing_picture.h"

namespace tarn {
namespace {

// Everything here runs on the user-interface thread, which owns the windows.
std::unique_ptr<PictureWindow> g_outgoing;
UINT_PTR g_dropTimer = 0;

VOID CALLBACK DropWhenIdle(HWND, UINT, UINT_PTR, DWORD) { DropOutgoingPicture(); }

}  // namespace

void KeepOutgoingPicture(std::unique_ptr<PictureWindow> picture) {
    DropOutgoingPicture();
    if (!picture) return;
    g_outgoing = std::move(picture);
    // A thread timer: its callback runs from the message loop, after the
    // change that hid the picture has run to its end.
    g_dropTimer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &DropWhenIdle);
    if (g_dropTimer == 0) g_outgoing.reset();
}

void DropOutgoingPicture() {
    if (g_dropTimer != 0) {
        KillTimer(nullptr, g_dropTimer);
        g_dropTimer = 0;
    }
    g_outgoing.reset();
}

}  // namespace tarn
