#pragma once
// CSimulator: km302-sim's run. Opens a pseudo-terminal (CPseudoTerminal),
// keeps the --link pointing at it (CDeviceLink), prints the slave's path on
// `out`, and sends frames made by CFrameEncoder from the value pattern, spoiled
// by the fault schedule, until --count frames are out or a stop signal comes.
//
// Pacing: frame k is due at start + k × interval; a frame the terminal could
// not take in time (nobody reading) goes out late and the schedule restarts
// from then, instead of a burst of catch-up frames. In flood mode frames are
// made in batches of about 4 KiB and written as fast as the terminal takes
// them. Either way the loop sleeps in poll (on the stop signal and the master)
// and never spins, and keeps the unwritten rest of a partial write.
//
// Hang-up: the frames already out are given up to a second to be read, the
// link is removed and the master closed (every reader sees a hang-up), then
// after --hangup-time a new terminal opens, the link points at it and its
// path is printed as a new line on `out`.
//
// Owned by main(); single-threaded; one per process (it installs the signal
// handlers of CStopSignal).

#include <chrono>
#include <cstdio>
#include <string>

#include "tools/devicelink.h"
#include "tools/faultschedule.h"
#include "tools/pseudoterminal.h"
#include "tools/simulatoroptions.h"
#include "tools/stopsignal.h"
#include "tools/valuepattern.h"

class CSimulator {
public:
    // `out` receives the slave paths, `err` the messages; both stay owned by
    // the caller and must outlive Run.
    CSimulator(const CSimulatorOptions& options, std::FILE* out, std::FILE* err);

    // Runs until --count frames are out or a stop signal arrives. Returns the
    // exit status: 0 then, 1 when the terminal or the link failed.
    int Run();

private:
    using Clock = std::chrono::steady_clock;

    bool Connect(std::string& error);
    bool HangUp(std::string& error);
    bool Finished() const;
    std::string NextFrame();
    void MakeFrames();
    bool WritePending(std::string& error);
    void WaitUntil(Clock::time_point deadline);
    void WaitUntilRead(Clock::duration limit);

    CSimulatorOptions m_options;
    std::FILE* m_pOut;
    std::FILE* m_pErr;
    CStopSignal m_stop;
    CPseudoTerminal m_terminal;
    CDeviceLink m_link;
    CValuePattern m_pattern;
    CFaultSchedule m_faults;
    long long m_nFrame = 0;    // frames made so far (hang-ups included)
    std::string m_pending;     // bytes made but not yet taken by the terminal
    size_t m_nWritten = 0;     // of m_pending
};
