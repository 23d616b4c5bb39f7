#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

extern char** environ;

namespace tarn::e2e {

namespace {

int DecodeStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !reaped_) Kill(SIGKILL);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), reaped_(other.reaped_), exitCode_(other.exitCode_) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        if (pid_ > 0 && !reaped_) Kill(SIGKILL);
        pid_ = std::exchange(other.pid_, -1);
        reaped_ = other.reaped_;
        exitCode_ = other.exitCode_;
    }
    return *this;
}

ChildProcess ChildProcess::Spawn(const std::vector<std::string>& argv,
                                 const std::map<std::string, std::string>& env,
                                 const std::string& logPath, int keepFd) {
    ChildProcess child;
    if (argv.empty()) return child;

    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (equals != nullptr) merged[std::string(*entry, static_cast<size_t>(equals - *entry))] = equals + 1;
    }
    for (const auto& [name, value] : env) {
        if (value.empty()) {
            merged.erase(name);
        } else {
            merged[name] = value;
        }
    }
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : merged) envStrings.push_back(name + "=" + value);

    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : envStrings) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!logPath.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    if (keepFd >= 0) {
        // dup2 onto itself clears close-on-exec in the child.
        int flags = fcntl(keepFd, F_GETFD);
        if (flags >= 0) fcntl(keepFd, F_SETFD, flags & ~FD_CLOEXEC);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Each child gets its own process group, so nothing sent to the test's
    // group (a terminal's Ctrl-C) reaches it twice.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), envp.data()) == 0) child.pid_ = pid;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (keepFd >= 0) {
        int flags = fcntl(keepFd, F_GETFD);
        if (flags >= 0) fcntl(keepFd, F_SETFD, flags | FD_CLOEXEC);
    }
    return child;
}

bool ChildProcess::Running() {
    if (pid_ <= 0 || reaped_) return false;
    int status = 0;
    const pid_t result = waitpid(pid_, &status, WNOHANG);
    if (result == pid_) {
        reaped_ = true;
        exitCode_ = DecodeStatus(status);
        return false;
    }
    return result == 0;
}

bool ChildProcess::WaitFor(int timeoutMs, int* exitCode) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Running()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!reaped_) return false;
    if (exitCode != nullptr) *exitCode = exitCode_;
    return true;
}

void ChildProcess::Kill(int signal) {
    if (pid_ <= 0 || reaped_) return;
    // The whole group: a package process takes its player down with it.
    if (::kill(-pid_, signal) != 0) ::kill(pid_, signal);
    int status = 0;
    if (waitpid(pid_, &status, 0) == pid_) {
        reaped_ = true;
        exitCode_ = DecodeStatus(status);
    }
}

int RunToEnd(const std::vector<std::string>& argv, int timeoutMs,
             const std::map<std::string, std::string>& env, const std::string& logPath) {
    ChildProcess child = ChildProcess::Spawn(argv, env, logPath);
    if (!child.Started()) return -1;
    int code = -1;
    if (!child.WaitFor(timeoutMs, &code)) {
        child.Kill(SIGKILL);
        return -1;
    }
    return code;
}

}  // namespace tarn::e2e
