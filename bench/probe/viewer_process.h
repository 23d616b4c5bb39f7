// A viewer started in its own process group, its process tree's memory, and
// its end.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct TreeMemory {
    long sum_hwm_kb = 0;   // sum of the peak resident sizes of the tree's processes
    long max_hwm_kb = 0;   // the largest single one
    int processes = 0;
};

class ViewerProcess {
public:
    // Starts argv[0] with argv; returns with the process running (or failed).
    explicit ViewerProcess(const std::vector<std::string>& argv);
    ~ViewerProcess();
    ViewerProcess(const ViewerProcess&) = delete;
    ViewerProcess& operator=(const ViewerProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool started() const { return pid_ > 0; }
    // True once the root process has ended (reaped here).
    bool Exited();
    // Waits up to timeout_ms for the root to end; true if it did.
    bool WaitExit(int timeout_ms);
    // Ends the whole group: SIGTERM, then SIGKILL after a grace period.
    void Kill();
    // Peak resident memory of the root and all its descendants, as far as they
    // are alive now; accumulate with Merge over samples.
    TreeMemory SampleMemory() const;
    // Pid of a child of the root, or 0 while it has none.
    pid_t FirstChild() const;

private:
    pid_t pid_ = -1;
    bool exited_ = false;
};

void Merge(TreeMemory& into, const TreeMemory& sample);
