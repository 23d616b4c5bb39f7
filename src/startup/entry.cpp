#include "startup/entry.h"

#include <cstring>

#include "controller/controller.h"
#include "platform/graph.h"
#include "platform/picture_handover.h"
#include "platform/player_platform.h"
#include "show/show_record.h"
#include "startup/entry_mode.h"
#include "startup/launch.h"
#include "startup/package.h"
#include "ui/show_window.h"

namespace {

int RunPlayer(HINSTANCE instance, const char* path, int showCommand) {
    std::memcpy(g_Show.ShowDescriptionPath, path, std::strlen(path) + 1);
    ReadShowSettings();

    // The first slide's picture decodes while the platform starts, the sound
    // device opens and the windows are made, so the show starts with a ready
    // picture.
    char firstImage[SHOW_PATH_BYTES];
    ReadImageNameAt(0, firstImage, sizeof firstImage);
    // Without a screen there is no show: nobody could see or end it.
    if (!tarn::StartPlayerPlatform(firstImage)) return 0;
    tarn::media::HintUpcomingFile(firstImage);
    tarn::StartPlayerSound();

    RegisterWindowClasses(instance);
    if (!CreateShowWindows(instance, showCommand)) return 0;
    StartShow();

    MSG msg{};
    // 0 is the quit message; a failed fetch (-1) ends the loop as well.
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    CoUninitialize();
    return static_cast<int>(msg.wParam);
}

int RunPackage() {
    if (ExtractPackage()) {
        RewriteShowDescription();
        LaunchPlayer();
    }
    // The first picture's decoding, begun during the extraction, is over.
    tarn::media::EndHandingOverPicture();
    return 0;
}

}  // namespace

int TarnPlayerEntry(HINSTANCE instance, const char* argument, int showCommand) {
    switch (SelectEntryMode(argument)) {
        case EntryMode::Player:
            return RunPlayer(instance, argument, showCommand);
        case EntryMode::Package:
            return RunPackage();
        case EntryMode::Refused:
            break;
    }
    return 0;
}
