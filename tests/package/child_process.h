// Starting and ending the programs a test runs, with deadlines so that a
// fault shows as a failure rather than a hung test.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tarn::test {

// Starts `arguments[0]` with `arguments`, in this process's environment
// with `settings` ("NAME=value") added or replacing. Returns the process
// number, or -1.
inline pid_t StartProcess(const std::vector<std::string>& arguments,
                          const std::vector<std::string>& settings = {},
                          const std::string& output = "") {
    std::vector<std::string> environment;
    for (char** item = environ; *item != nullptr; ++item) {
        const std::string entry = *item;
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& setting : settings) {
            if (setting.substr(0, setting.find('=')) == name) replaced = true;
        }
        if (!replaced) environment.push_back(entry);
    }
    environment.insert(environment.end(), settings.begin(), settings.end());

    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!output.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    pid_t child = -1;
    const int failed = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? child : -1;
}

// Waits for `child` to end and returns its wait status; after `limit` it is
// killed and -1 returned.
inline int WaitForEnd(pid_t child, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) return status;
        if (done < 0) return -1;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Runs a program to its end; its wait status, or -1.
inline int RunToEnd(const std::vector<std::string>& arguments,
                    const std::vector<std::string>& settings = {}, const std::string& output = "") {
    const pid_t child = StartProcess(arguments, settings, output);
    return child < 0 ? -1 : WaitForEnd(child);
}

inline bool ExitedWith(int status, int code) {
    return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == code;
}

// Waits until `path` exists; false after `limit`.
inline bool WaitForFile(const std::string& path, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    struct stat status {};
    while (lstat(path.c_str(), &status) != 0) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Whether a process of that number still exists (a zombie counts).
inline bool ProcessExists(pid_t process) { return kill(process, 0) == 0; }

// The "name=value" lines of a test player's log; "description" holds the
// rest of the file.
inline std::map<std::string, std::string> ReadLog(const std::string& path) {
    std::map<std::string, std::string> values;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string name = line.substr(0, equals);
        if (name == "description") {
            std::ostringstream rest;
            rest << in.rdbuf();
            values[name] = rest.str();
            break;
        }
        values[name] = line.substr(equals + 1);
    }
    return values;
}

}  // namespace tarn::test
