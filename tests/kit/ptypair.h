#pragma once
// CPtyPair: a pseudo-terminal standing in for a serial line, for the tests
// and the benchmarks. The test writes the master side as the instrument
// would; the code under test (a channel, or the program as a child process)
// opens the slave path as its serial port.
//
// It is the simulator's CPseudoTerminal, opened by the constructor and closed
// by the destructor: the slave is raw, the master non-blocking, neither
// descriptor is inherited by child processes, and the slave stays open here
// too, so the line never hangs up between the reader's opens and the bytes
// queued for the reader can be counted.
//
// Write may be called from one thread at a time; the rest from the thread
// that made the object.

#include "tools/pseudoterminal.h"

#include <QString>

#include <cstddef>
#include <string>

class CPtyPair {
public:
    CPtyPair();
    CPtyPair(const CPtyPair&) = delete;
    CPtyPair& operator=(const CPtyPair&) = delete;

    bool Ok() const { return m_terminal.MasterFd() >= 0; }
    QString SlavePath() const { return m_slavePath; }
    int MasterFd() const { return m_terminal.MasterFd(); }

    // Waits while the line's queue is full, as a flooding far end does;
    // false when the master side refuses the bytes or the queue stays full
    // for `timeoutMs` (the reader has stopped reading).
    bool Write(const char* bytes, std::size_t size, int timeoutMs = 10000);
    bool Write(const std::string& bytes) { return Write(bytes.data(), bytes.size()); }

    // Waits (2 s at most) until the slave's input queue holds at least
    // `count` bytes.
    bool WaitQueued(int count);

private:
    CPseudoTerminal m_terminal;
    QString m_slavePath;
};
