#pragma once
// CPseudoTerminal: the simulator's end of the line, a pseudo-terminal pair.
// Readers open the slave path; the simulator writes frames to the master.
//
// The slave is set to raw mode so no byte is translated (a carriage return
// must not become a line feed); a pseudo-terminal ignores the character size,
// so the 7-bit line is simulated by the bytes themselves. The master is
// non-blocking: callers poll it for POLLOUT and keep what a write did not take.
//
// The object keeps a descriptor of the slave open itself. Readers may come and
// go, and while none is there the kernel keeps the written bytes (a reader's
// tcflush discards them); without that descriptor the master would report a
// hang-up whenever the last reader closed, and poll would never block. Closing
// the master hangs up every reader of the slave, which is how an unplugged
// instrument looks to them.
//
// Owned by the simulator; single-threaded; not copyable.

#include <string>

class CPseudoTerminal {
public:
    CPseudoTerminal() = default;
    CPseudoTerminal(const CPseudoTerminal&) = delete;
    CPseudoTerminal& operator=(const CPseudoTerminal&) = delete;
    ~CPseudoTerminal();

    // Opens a new pair (closing the old one first). On failure returns false
    // with the reason in `error`.
    bool Open(std::string& error);

    // Closes the master, then the own slave descriptor. Every reader of the
    // slave sees a hang-up. Safe to call when closed.
    void Close();

    int MasterFd() const { return m_nMaster; }
    const std::string& SlavePath() const { return m_sSlavePath; }

    // Bytes written to the master that no reader has taken yet (0 when closed).
    int UnreadBytes() const;

    // Reads and drops whatever the slave side wrote back, so the master's
    // input can never fill up and stall the line.
    void DiscardInput();

private:
    int m_nMaster = -1;
    int m_nSlave = -1;
    std::string m_sSlavePath;
};
