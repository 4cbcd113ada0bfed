#pragma once
// CProcStats: what /proc tells of one process, read at each call. Every
// figure is empty (HasOpen false) when the process is gone or `pid` is not
// one (-1 for a child already collected). Any thread.

#include <sys/types.h>

#include <optional>
#include <string>

class CProcStats {
public:
    explicit CProcStats(pid_t pid) : m_pid(pid) {}

    // User plus system processor time so far, in seconds (clock ticks).
    std::optional<double> CpuSeconds() const;
    // Processor time of the threads alive now, in seconds, to the
    // nanosecond (the scheduler's schedstat, where the clock ticks of
    // CpuSeconds are too coarse for an idle program).
    std::optional<double> ThreadCpuSeconds() const;
    // Voluntary and involuntary context switches of the threads alive now:
    // how often the program woke, whatever the machine's load.
    std::optional<long long> ContextSwitches() const;
    // VmRSS, in kilobytes.
    std::optional<long> ResidentKb() const;
    // Read calls made so far (syscr of io): a count that a reader looping on
    // a dead descriptor drives up whatever the machine's load, where its
    // processor share depends on what else runs.
    std::optional<long long> ReadCalls() const;
    // Whether one of the process's open descriptors is `path`.
    bool HasOpen(const std::string& path) const;

private:
    // The sum over the threads of what `parse` finds in task/<tid>/<file>.
    template <typename Parse>
    std::optional<long long> SumOverThreads(const char* file, Parse parse) const;
    // The first number after `key` at the start of a line of <pid>/<file>.
    std::optional<long long> Number(const char* file, const char* key) const;

    pid_t m_pid;
};
