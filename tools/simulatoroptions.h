#pragma once
// CSimulatorOptions: the command line of km302-sim, parsed and checked. A
// plain value object: Parse neither prints nor exits, km302sim.cpp does.

#include <string>
#include <vector>

#include "tools/faultschedule.h"
#include "tools/valuepattern.h"

class CSimulatorOptions {
public:
    std::string m_sLink;              // symlink kept pointing at the slave; empty: none
    int m_nSerialNumber = 1234;       // 0..65535
    double m_dInterval = 1.0;         // seconds between frames
    double m_dValue = 1013.2;         // in Pa with m_bPascals, else in hPa
    bool m_bPascals = false;
    bool m_bWholeUnits = false;
    bool m_bValueError = false;
    bool m_bCalibrationError = false;
    CValuePattern::Kind m_pattern = CValuePattern::Kind::Constant;
    bool m_bFlood = false;            // no pacing
    std::vector<CFaultSchedule::Fault> m_faults;
    int m_nFaultEvery = 3;            // every n-th frame is faulty
    double m_dHangupSeconds = 3.0;    // how long the line stays down
    long long m_nCount = 0;           // frames to send; 0: until stopped
    bool m_bHelp = false;

    // Fills the options from `args` (the arguments after the program name).
    // Returns false with a one-line message in `error` at the first bad one.
    bool Parse(const std::vector<std::string>& args, std::string& error);

    // The instrument's resolution in the value's unit: 1 or 0.1.
    double Step() const { return m_bWholeUnits ? 1.0 : 0.1; }

    // The text of --help.
    static std::string HelpText();
};
