// Running other programs from a test: spawned with extra environment
// variables, output to a log file, waited for with a time limit, and killed
// when the test is done with them.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace tarn::e2e {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (searched on PATH) with the process's environment plus
    // `env` (an empty value removes the variable). Standard output and error
    // are appended to `logPath` when it is not empty. `keepFd` stays open in
    // the child under the same number. Returns a not-running object on failure.
    static ChildProcess Spawn(const std::vector<std::string>& argv,
                              const std::map<std::string, std::string>& env = {},
                              const std::string& logPath = {}, int keepFd = -1);

    bool Started() const { return pid_ > 0; }
    bool Running();
    // Waits up to `timeoutMs` for the process to end; true when it has, with
    // its exit code (or 128 + signal) in *exitCode.
    bool WaitFor(int timeoutMs, int* exitCode = nullptr);
    // Sends `signal` to the process and its group, and reaps the process.
    void Kill(int signal = 9);
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int exitCode_ = -1;
};

// Runs a program to its end (at most `timeoutMs`); returns its exit code, or
// -1 when it could not be started or did not end in time.
int RunToEnd(const std::vector<std::string>& argv, int timeoutMs,
             const std::map<std::string, std::string>& env = {}, const std::string& logPath = {});

}  // namespace tarn::e2e
