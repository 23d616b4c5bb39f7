#include "viewer_process.h"

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <thread>

namespace {

// Parent pid of every process on the machine.
std::map<pid_t, pid_t> ParentTable() {
    std::map<pid_t, pid_t> parents;
    DIR* proc = opendir("/proc");
    if (!proc) return parents;
    while (dirent* entry = readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid <= 0) continue;
        char path[64];
        std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
        std::ifstream stat(path);
        std::string text;
        std::getline(stat, text);
        // The command name may hold spaces and parentheses: fields follow the last ')'.
        const auto close = text.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(text.c_str() + close + 1, " %c %d", &state, &ppid) == 2) parents[pid] = ppid;
    }
    closedir(proc);
    return parents;
}

std::vector<pid_t> Descendants(pid_t root) {
    const auto parents = ParentTable();
    std::vector<pid_t> tree{root};
    for (size_t i = 0; i < tree.size(); ++i)
        for (const auto& [pid, ppid] : parents)
            if (ppid == tree[i]) tree.push_back(pid);
    return tree;
}

long HighWaterKb(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/status", pid);
    std::ifstream status(path);
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

}  // namespace

ViewerProcess::ViewerProcess(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0);
        execvp(args[0], args.data());
        _exit(127);
    }
    if (pid_ > 0) setpgid(pid_, pid_);
}

ViewerProcess::~ViewerProcess() { Kill(); }

bool ViewerProcess::Exited() {
    if (pid_ <= 0 || exited_) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) exited_ = true;
    return exited_;
}

bool ViewerProcess::WaitExit(int timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!Exited()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void ViewerProcess::Kill() {
    if (pid_ <= 0) return;
    if (!Exited()) {
        kill(-pid_, SIGTERM);
        if (!WaitExit(2000)) {
            kill(-pid_, SIGKILL);
            WaitExit(2000);
        }
    }
    // Whatever the root left behind in its group (an extracted player) goes too.
    kill(-pid_, SIGKILL);
}

TreeMemory ViewerProcess::SampleMemory() const {
    TreeMemory memory;
    if (pid_ <= 0) return memory;
    for (pid_t pid : Descendants(pid_)) {
        const long hwm = HighWaterKb(pid);
        memory.sum_hwm_kb += hwm;
        memory.max_hwm_kb = std::max(memory.max_hwm_kb, hwm);
        ++memory.processes;
    }
    return memory;
}

pid_t ViewerProcess::FirstChild() const {
    // The kernel's per-thread child lists: cheap enough to read every
    // fraction of a millisecond while the root is busy.
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/task", pid_);
    DIR* tasks = opendir(path);
    if (!tasks) return 0;
    pid_t child = 0;
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        std::string children_path = std::string(path) + "/" + entry->d_name + "/children";
        std::ifstream children(children_path);
        if (children >> child && child > 0) break;
        child = 0;
    }
    closedir(tasks);
    return child;
}

void Merge(TreeMemory& into, const TreeMemory& sample) {
    into.sum_hwm_kb = std::max(into.sum_hwm_kb, sample.sum_hwm_kb);
    into.max_hwm_kb = std::max(into.max_hwm_kb, sample.max_hwm_kb);
    into.processes = std::max(into.processes, sample.processes);
}
