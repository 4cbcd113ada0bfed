#pragma once
// CProgramProcess: a program run as a child of the benchmark, as a desktop
// would start it, with some environment variables set or replaced. Standard
// input is /dev/null; output and errors go to the benchmark's. It reads the
// child's processor time and resident memory from /proc. The destructor
// kills (SIGKILL) and collects a child still running; a benchmark that dies
// without running it takes the child with it (parent-death signal). One
// thread.

#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/kit/childprocess.h"

class CProgramProcess {
public:
    // env: "NAME=value" entries that replace or add to the benchmark's
    // environment. False when it cannot be spawned or one is still running.
    bool Start(const std::string& path, const std::vector<std::string>& args, const std::vector<std::string>& env);
    pid_t Pid() const { return m_child.Pid(); }
    // CLOCK_MONOTONIC just before the fork, in nanoseconds.
    long long StartNs() const;
    bool IsRunning() { return m_child.IsRunning(); }

    void Signal(int signal) { m_child.Signal(signal); }
    // The exit status; 128 + signal when a signal ended it; -1 when it does
    // not end within `timeoutMs` (it is then killed) or none was started.
    int WaitExit(int timeoutMs) { return m_child.WaitExit(timeoutMs); }

    // Processor time, context switches, resident memory and open files.
    CProcStats Stats() const { return m_child.Stats(); }

private:
    CChildProcess m_child;
};
