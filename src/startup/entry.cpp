#include "startup/entry.h"

#include <cstring>
#include <string>

#include "controller/controller.h"
#include "platform/cannot_play.h"
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
    // Without a screen there is no show: nobody could see or end it. Whoever
    // ran the player is told what is missing, in one line.
    std::string problem;
    if (!tarn::StartPlayerPlatform(firstImage, &problem)) {
        tarn::SayCannotPlay(problem);
        return tarn::kCannotPlayStatus;
    }
    tarn::media::HintUpcomingFile(firstImage);
    tarn::StartPlayerSound();

    RegisterWindowClasses(instance);
    if (!CreateShowWindows(instance, showCommand)) {
        tarn::SayCannotPlay("cannot open the show's window");
        return tarn::kCannotPlayStatus;
    }
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

// The player's exit status is the package's: a player that cannot play
// says why and fails, and so does the package that started it.
int RunPackage() {
    int status = 0;
    if (ExtractPackage()) {
        RewriteShowDescription();
        status = LaunchPlayer();
    }
    // The first picture's decoding, begun during the extraction, is over.
    tarn::media::EndHandingOverPicture();
    return status;
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
