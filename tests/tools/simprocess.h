#pragma once
// CSimProcess: runs km302-sim as a child process with its standard output and
// error in pipes. Every wait takes an upper bound and reports running out of
// it instead of hanging the test. The destructor kills a child still running;
// a test process that dies without running it takes the child with it
// (parent-death signal).
// Test-thread only.

#include <optional>
#include <string>
#include <vector>

#include "tests/kit/childprocess.h"

class CSimProcess {
public:
    static constexpr int kWaitMs = 5000;

    CSimProcess() = default;
    CSimProcess(const CSimProcess&) = delete;
    CSimProcess& operator=(const CSimProcess&) = delete;
    ~CSimProcess();

    // Starts the simulator binary with `args`. False when it cannot be spawned or
    // one is still running.
    bool Start(const std::vector<std::string>& args);

    // The next line of standard output without its line feed, or nothing when
    // the output ends or `timeoutMs` passes first.
    std::optional<std::string> ReadLine(int timeoutMs = kWaitMs);

    void Signal(int signal);

    // Waits for the exit and returns the exit status (128 + signal when killed
    // by one), or -1 when it does not end in time (the child is then killed).
    int WaitExit(int timeoutMs = kWaitMs);

    // Everything the child wrote to standard error so far.
    const std::string& ErrorOutput() const { return m_sErr; }

private:
    bool Pump(int timeoutMs);

    CChildProcess m_child;
    int m_nOutFd = -1;
    int m_nErrFd = -1;
    std::string m_sOut;
    std::string m_sErr;
};
