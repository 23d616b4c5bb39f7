// Starting the extracted player and waiting for it, on Windows.
//
// The player finds its show description as the first space-delimited token
// of its command line. A temporary folder whose path holds a space (a user
// name with a space, say) would cut that token short, so such a path is
// handed over in a form without spaces: its short (8.3) name, or, where the
// volume keeps no short names, the name relative to the player's current
// folder, which is then the show description's own folder.
#include "platform/kernel/process.h"

#include <atomic>
#include <cstring>

#include "platform/win32.h"
#include "platform/windows/launch_command.h"

namespace tarn {
namespace {

std::atomic<int> g_caughtEvent{0};
bool g_catching = false;

// Console events arrive on a thread of their own; the wait goes on, and the
// program started from the same console receives the event itself.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    int expected = 0;
    g_caughtEvent.compare_exchange_strong(expected, static_cast<int>(event) + 1);
    return TRUE;
}

}  // namespace

void CatchTerminationSignals() {
    if (g_catching) return;
    g_catching = true;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

int TerminationSignalCaught() { return g_caughtEvent.load(); }

// The package process hands no picture to a Windows player, so no extra
// variable ever comes here.
ProgramEnd RunProgram(const char* program, const char* argument, const ProgramStart& start) {
    ProgramEnd end;
    LaunchCommand command;
    if (!BuildLaunchCommand(program, argument, &command)) return end;

    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof process);
    if (!CreateProcessA(nullptr, command.line, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, command.folder[0] != '\0' ? command.folder : nullptr, &startup,
                        &process)) {
        return end;
    }
    end.started = true;
    if (start.started) start.started();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) {
        end.exited = true;
        end.exitCode = static_cast<int>(code);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return end;
}

}  // namespace tarn
