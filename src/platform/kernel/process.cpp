#include "platform/kernel/process.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char** environ;

namespace tarn {
namespace {

constexpr int kTerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

static_assert(std::atomic<int>::is_always_lock_free, "signal handlers need lock-free atomics");

// Written by the signal handler, read by the waiting thread.
std::atomic<int> g_caughtSignal{0};
// The program being waited for, 0 when there is none.
std::atomic<int> g_runningChild{0};

bool g_catching = false;
sigset_t g_caughtSet;  // the signals this process catches

void OnTerminationSignal(int signal) {
    const int savedErrno = errno;
    int expected = 0;
    g_caughtSignal.compare_exchange_strong(expected, signal);
    const int child = g_runningChild.load();
    if (child > 0) kill(child, signal);
    errno = savedErrno;
}

// Blocks the caught signals for as long as it lives.
class SignalBlock {
public:
    SignalBlock() { pthread_sigmask(SIG_BLOCK, &g_caughtSet, &previous_); }
    ~SignalBlock() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    SignalBlock(const SignalBlock&) = delete;
    SignalBlock& operator=(const SignalBlock&) = delete;

private:
    sigset_t previous_;
};

class SpawnAttributes {
public:
    SpawnAttributes() {
        posix_spawnattr_init(&attributes_);
        // The program starts with no blocked signals and with the default
        // action for every signal this process catches.
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes_, &none);
        posix_spawnattr_setsigdefault(&attributes_, &g_caughtSet);
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    const posix_spawnattr_t* get() const { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

struct CaughtSetInitialiser {
    CaughtSetInitialiser() { sigemptyset(&g_caughtSet); }
} g_caughtSetInitialiser;

}  // namespace

void CatchTerminationSignals() {
    if (g_catching) return;
    g_catching = true;
    for (int signal : kTerminationSignals) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) != 0) continue;
        if (current.sa_handler == SIG_IGN) continue;  // whoever started us wants it ignored
        sigaddset(&g_caughtSet, signal);
    }
    for (int signal : kTerminationSignals) {
        if (!sigismember(&g_caughtSet, signal)) continue;
        struct sigaction action {};
        action.sa_handler = OnTerminationSignal;
        action.sa_mask = g_caughtSet;
        action.sa_flags = SA_RESTART;
        sigaction(signal, &action, nullptr);
    }
}

int TerminationSignalCaught() { return g_caughtSignal.load(); }

namespace {

// The caller's environment with `extra` ("NAME=value") in place of any
// variable of its name, or added.
std::vector<char*> EnvironmentWith(const char* extra) {
    std::vector<char*> variables;
    const char* equals = std::strchr(extra, '=');
    const size_t nameBytes = equals != nullptr ? static_cast<size_t>(equals - extra) + 1 : 0;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        if (nameBytes != 0 && std::strncmp(*variable, extra, nameBytes) == 0) continue;
        variables.push_back(*variable);
    }
    variables.push_back(const_cast<char*>(extra));
    variables.push_back(nullptr);
    return variables;
}

}  // namespace

ProgramEnd RunProgram(const char* program, const char* argument, const ProgramStart& start) {
    ProgramEnd end;
    char* arguments[] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};
    std::vector<char*> environment;
    if (start.extraVariable != nullptr) environment = EnvironmentWith(start.extraVariable);
    char** childEnvironment = start.extraVariable != nullptr ? environment.data() : environ;
    SpawnAttributes attributes;
    pid_t child = 0;
    {
        // With the signals blocked, a signal arrives either before the
        // start (and is passed on just below) or after the child is known
        // to the handler, never in between.
        SignalBlock block;
        if (const int error = posix_spawn(&child, program, nullptr, attributes.get(), arguments, childEnvironment);
            error != 0) {
            end.error = error;
            return end;
        }
        g_runningChild.store(child);
        const int early = g_caughtSignal.load();
        if (early != 0) kill(child, early);
    }
    end.started = true;
    if (start.started) start.started();

    // Wait for the end without reaping, so that the handler never signals a
    // process number that has already been handed to someone else.
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT) != 0) {
        if (errno != EINTR) break;
    }
    g_runningChild.store(0);

    int status = 0;
    pid_t reaped;
    do {
        reaped = waitpid(child, &status, 0);
    } while (reaped < 0 && errno == EINTR);
    if (reaped == child) {
        if (WIFEXITED(status)) {
            end.exited = true;
            end.exitCode = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            end.signal = WTERMSIG(status);
        }
    }
    return end;
}

}  // namespace tarn
