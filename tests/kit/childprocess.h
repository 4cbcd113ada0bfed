#pragma once
// CChildProcess: one program run as a child of a test or benchmark process,
// as a desktop would start it. Standard input is /dev/null; standard output
// and error are the caller's descriptors or inherited. Every wait is bounded.
// The destructor kills (SIGKILL) and collects a child still running; a
// parent that dies without running it takes the child with it (parent-death
// signal), even when a sanitizer or a crash ends it. One thread; safe to use
// in a process that runs other threads (nothing but async-signal-safe calls
// happen between fork and exec).

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/kit/procstats.h"

class CChildProcess {
public:
    static constexpr int kInherit = -1;

    CChildProcess() = default;
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Runs `path` with `args` after it. env: "NAME=value" entries that
    // replace or add to this process's environment. stdoutFd and stderrFd
    // become the child's standard output and error; the caller keeps (and
    // closes) its own copies. False when it cannot be spawned or one is
    // still running.
    bool Start(const std::string& path, const std::vector<std::string>& args,
               const std::vector<std::string>& env = {}, int stdoutFd = kInherit, int stderrFd = kInherit);
    // -1 once the child is collected.
    pid_t Pid() const { return m_pid; }
    // What /proc tells of the child; every figure empty once it is collected.
    CProcStats Stats() const { return CProcStats(m_pid); }
    // The monotonic clock just before the fork.
    std::chrono::steady_clock::time_point StartedAt() const { return m_startedAt; }
    // Collects a child that has ended.
    bool IsRunning();

    void Signal(int signal);
    // The exit status; 128 + signal when a signal ended it; -1 when it does
    // not end within `timeoutMs` (it is then killed and collected) or none
    // was started. Once collected, the same status again.
    int WaitExit(int timeoutMs);

private:
    bool Reap(int options);

    pid_t m_pid = -1;
    int m_nStatus = -1;
    std::chrono::steady_clock::time_point m_startedAt;
};
