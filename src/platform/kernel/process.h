// Starting a program, waiting for it, and passing termination signals on to
// it while the caller waits.
#pragma once

#include <functional>

namespace tarn {

// Catches SIGINT, SIGTERM and SIGHUP from now on, for the rest of the
// process, instead of dying of them. A signal that was ignored when the
// process started stays ignored. While RunProgram waits, a caught signal is
// passed on to the program it started. Calling it again does nothing.
void CatchTerminationSignals();

// The first termination signal caught since CatchTerminationSignals, or 0.
int TerminationSignalCaught();

// More about a start, for RunProgram.
struct ProgramStart {
    // "NAME=value", added to the program's environment in place of any
    // variable of that name (nullptr: the environment as it is).
    const char* extraVariable = nullptr;
    // Called once the program has started, before the wait for its end.
    std::function<void()> started;
};

// How a started program ended.
struct ProgramEnd {
    bool started = false;  // false: the program could not be started at all
    bool exited = false;   // true: it returned an exit code
    int exitCode = 0;      // valid when `exited`
    int signal = 0;        // the signal that ended it, when it did not exit
    int error = 0;         // why it could not be started (an errno value), when known
};

// Starts `program` (a path, not searched for) with `argument` as its only
// argument, in the caller's environment and folder, and waits until it has
// ended however it ends. Termination signals caught meanwhile, and one caught
// before the start, are passed on to it.
ProgramEnd RunProgram(const char* program, const char* argument, const ProgramStart& start = {});

}  // namespace tarn
