// Starting and ending the programs a test runs, with deadlines so that a
// fault shows as a failure rather than a hung test. On Windows a smaller
// set: programs started with CreateProcessA and known by their exit code.
#pragma once

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include "platform/win32.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace tarn::test {

#ifdef _WIN32

// The stand-in player, built beside the test program.
inline const char* TestPlayerPath() {
    static const std::string path = [] {
        char self[MAX_PATH];
        const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string folder(self, length < MAX_PATH ? length : 0);
        folder.resize(folder.find_last_of('\\') == std::string::npos ? 0 : folder.find_last_of('\\'));
        return folder + "\\tarn_test_player.exe";
    }();
    return path.c_str();
}

// A process handle, closed with the object.
class Child {
public:
    Child() = default;
    explicit Child(HANDLE process) : process_(process) {}
    ~Child() {
        if (process_ != nullptr) CloseHandle(process_);
    }
    Child(Child&& other) noexcept : process_(other.process_) { other.process_ = nullptr; }
    Child& operator=(Child&&) = delete;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    explicit operator bool() const { return process_ != nullptr; }
    HANDLE handle() const { return process_; }

private:
    HANDLE process_ = nullptr;
};

// Starts `arguments[0]` with `arguments` (each quoted), in this process's
// environment with `settings` ("NAME=value") added or replacing; TMPDIR
// sets TMP as well. Output goes to the file `output` when given.
inline Child StartProcess(const std::vector<std::string>& arguments,
                          const std::vector<std::string>& settings = {},
                          const std::string& output = "") {
    std::vector<std::string> all = settings;
    for (const std::string& setting : settings) {
        if (setting.rfind("TMPDIR=", 0) == 0) all.push_back("TMP=" + setting.substr(7));
    }
    auto nameOf = [](const std::string& entry) {
        std::string name = entry.substr(0, entry.find('=', 1));
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return name;
    };
    std::string block;
    if (char* strings = GetEnvironmentStringsA()) {
        for (const char* entry = strings; *entry != '\0'; entry += std::strlen(entry) + 1) {
            bool replaced = false;
            for (const std::string& setting : all) replaced = replaced || nameOf(setting) == nameOf(entry);
            if (!replaced) block.append(entry).push_back('\0');
        }
        FreeEnvironmentStringsA(strings);
    }
    for (const std::string& setting : all) block.append(setting).push_back('\0');
    block.push_back('\0');

    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        line += '"' + argument + '"';
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (!output.empty()) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        file = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = file;
        startup.hStdError = file;
    }
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, file != INVALID_HANDLE_VALUE,
                                        0, block.data(), nullptr, &startup, &process);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!started) return Child();
    CloseHandle(process.hThread);
    return Child(process.hProcess);
}

// Waits for `child` to end and returns its exit code; after `limit` it is
// ended and -1 returned.
inline int WaitForEnd(const Child& child, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    if (!child) return -1;
    if (WaitForSingleObject(child.handle(), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
        TerminateProcess(child.handle(), 255);
        WaitForSingleObject(child.handle(), INFINITE);
        return -1;
    }
    DWORD code = 0;
    return GetExitCodeProcess(child.handle(), &code) ? static_cast<int>(code) : -1;
}

// Runs a program to its end; its exit code, or -1.
inline int RunToEnd(const std::vector<std::string>& arguments,
                    const std::vector<std::string>& settings = {}, const std::string& output = "") {
    return WaitForEnd(StartProcess(arguments, settings, output));
}

inline bool ExitedWith(int status, int code) { return status >= 0 && status == code; }

inline bool Started(const Child& child) { return static_cast<bool>(child); }

// Ends the process of that number at once, as a kill from outside would.
inline bool KillProcess(DWORD process) {
    HANDLE handle = OpenProcess(PROCESS_TERMINATE, FALSE, process);
    if (handle == nullptr) return false;
    const BOOL ended = TerminateProcess(handle, 137);
    CloseHandle(handle);
    return ended != 0;
}

#else

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

// Whether a process of that number still exists (a zombie counts).
inline bool ProcessExists(pid_t process) { return kill(process, 0) == 0; }

inline bool Started(pid_t child) { return child > 0; }

inline bool KillProcess(pid_t process) { return kill(process, SIGKILL) == 0; }

#endif  // _WIN32

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
