#pragma once
// CStopSignal: turns SIGINT, SIGTERM and SIGHUP into a descriptor that poll
// can wait on, so the simulator stops cleanly from inside its loop (removing
// its link) instead of dying in the middle of a write.
//
// The handler writes to a process-wide pipe, so there is one object per
// process: the simulator owns it for its whole run. Handlers are installed
// even when the signals were inherited as ignored or blocked; the destructor
// puts the default handling back.

#include <string>

class CStopSignal {
public:
    CStopSignal() = default;
    CStopSignal(const CStopSignal&) = delete;
    CStopSignal& operator=(const CStopSignal&) = delete;
    ~CStopSignal();

    // Creates the pipe and installs the handlers. Returns false with the
    // reason when that fails.
    bool Install(std::string& error);

    // Readable once a stop signal has arrived (poll for POLLIN); -1 before
    // Install.
    int Fd() const;

    // True once a stop signal has arrived.
    bool Raised() const;
};
