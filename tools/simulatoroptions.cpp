#include "tools/simulatoroptions.h"

#include <charconv>
#include <cmath>

#include "tools/frameencoder.h"

namespace {
bool ToLong(const std::string& text, long long low, long long high, long long& value)
{
    const char* end = text.data() + text.size();
    const auto [last, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && last == end && value >= low && value <= high;
}

bool ToDouble(const std::string& text, double low, double high, double& value)
{
    const char* end = text.data() + text.size();
    const auto [last, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && last == end && std::isfinite(value) && value >= low && value <= high;
}

bool ParseFaults(const std::string& list, std::vector<CFaultSchedule::Fault>& faults, std::string& error)
{
    size_t start = 0;
    while (true) {
        const size_t comma = list.find(',', start);
        const std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        CFaultSchedule::Fault fault {};
        if (!CFaultSchedule::ParseName(name, fault)) {
            error = "unknown fault '" + name + "' (bad-parity, garbage, stray-lf, no-cr or hangup)";
            return false;
        }
        faults.push_back(fault);
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}

bool ValueFits(double value, bool wholeUnits)
{
    const double sent = std::round(wholeUnits ? value : value * 10.0);
    return sent >= CFrameEncoder::kMinNumber && sent <= CFrameEncoder::kMaxNumber;
}
}

bool CSimulatorOptions::Parse(const std::vector<std::string>& args, std::string& error)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0) {
            error = "unexpected argument '" + arg + "'";
            return false;
        }
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const bool hasInlineValue = equals != std::string::npos;

        if (name == "--help" || name == "--pa" || name == "--whole" || name == "--value-error"
            || name == "--calibration-error" || name == "--flood") {
            if (hasInlineValue) {
                error = "option '" + name + "' takes no value";
                return false;
            }
            bool& flag = name == "--help" ? m_bHelp
                : name == "--pa"          ? m_bPascals
                : name == "--whole"       ? m_bWholeUnits
                : name == "--value-error" ? m_bValueError
                : name == "--flood"       ? m_bFlood
                                          : m_bCalibrationError;
            flag = true;
            continue;
        }

        static const std::vector<std::string> withValue {"--link", "--serial", "--interval", "--value",
            "--pattern", "--fault", "--fault-every", "--hangup-time", "--count"};
        bool known = false;
        for (const std::string& option : withValue)
            known = known || option == name;
        if (!known) {
            error = "unknown option '" + name + "'";
            return false;
        }
        std::string value;
        if (hasInlineValue)
            value = arg.substr(equals + 1);
        else if (i + 1 < args.size())
            value = args[++i];
        else {
            error = "option '" + name + "' needs a value";
            return false;
        }
        const std::string bad = "bad value '" + value + "' for " + name + ": ";

        long long number = 0;
        if (name == "--link") {
            if (value.empty()) {
                error = bad + "expected a path";
                return false;
            }
            m_sLink = value;
        } else if (name == "--serial") {
            if (!ToLong(value, 0, 65535, number)) {
                error = bad + "expected a whole number from 0 to 65535";
                return false;
            }
            m_nSerialNumber = int(number);
        } else if (name == "--interval") {
            if (!ToDouble(value, 0.001, 86400.0, m_dInterval)) {
                error = bad + "expected seconds from 0.001 to 86400 (fractions allowed)";
                return false;
            }
        } else if (name == "--value") {
            if (!ToDouble(value, -1e9, 1e9, m_dValue)) {
                error = bad + "expected a number such as 1013.2";
                return false;
            }
        } else if (name == "--pattern") {
            if (!CValuePattern::ParseKind(value, m_pattern)) {
                error = bad + "expected constant, drift or ramp";
                return false;
            }
        } else if (name == "--fault") {
            if (!ParseFaults(value, m_faults, error))
                return false;
        } else if (name == "--fault-every") {
            if (!ToLong(value, 1, 1000000, number)) {
                error = bad + "expected a whole number from 1 to 1000000";
                return false;
            }
            m_nFaultEvery = int(number);
        } else if (name == "--hangup-time") {
            if (!ToDouble(value, 0.0, 3600.0, m_dHangupSeconds)) {
                error = bad + "expected seconds from 0 to 3600 (fractions allowed)";
                return false;
            }
        } else if (name == "--count") {
            if (!ToLong(value, 1, 1000000000000LL, m_nCount)) {
                error = bad + "expected a whole number of frames above 0";
                return false;
            }
        }
    }
    // Checked last: --whole may follow --value.
    if (!ValueFits(m_dValue, m_bWholeUnits)) {
        error = m_bWholeUnits ? "--value must lie between -9999 and 159999 with --whole"
                              : "--value must lie between -999.9 and 15999.9 (or use --whole)";
        return false;
    }
    return true;
}

std::string CSimulatorOptions::HelpText()
{
    return R"(Usage: km302-sim [OPTION]...
Plays a KM-302 barometer on a pseudo-terminal: prints the path of the
terminal's slave side on the first line of standard output, then sends the
instrument's frames (7-bit characters, odd parity in bit 6, ending in a
carriage return) to whoever opens that path.

  --link PATH          keep a symbolic link at PATH pointing at the slave
                       (replaced atomically, removed at exit; an existing file
                       that is not a symbolic link is refused)
  --serial N           the instrument's serial number, 0..65535 (default 1234)
  --interval SECONDS   time between frames, fractions allowed (default 1)
  --value X            the measured value (default 1013.2), in hPa, or in Pa
                       with --pa; it must fit the frame: -999.9..15999.9, or
                       -9999..159999 with --whole (101325 Pa needs --whole)
  --pa                 the value is in pascals (default: hectopascals)
  --whole              send whole units (default: tenths)
  --value-error        set the instrument's value-error flag
  --calibration-error  set the instrument's calibration-error flag
  --pattern KIND       constant (default): always X;
                       drift: wanders slowly around X (mostly within 20 steps
                       of the last digit) with one step of noise;
                       ramp: X, then one step more each frame for 100 frames,
                       then X again
  --flood              no pacing: frames as fast as the terminal takes them
                       (waits, without using the processor, while nobody reads)
  --fault KIND[,KIND]  make some frames faulty; repeatable. Every 3rd frame
                       (see --fault-every) carries a fault, the kinds taking
                       turns in the order given:
                         bad-parity  bit 6 of one of bytes 1..10 flipped
                         garbage     2..40 random bytes (no carriage return)
                                     before the frame
                         stray-lf    a line feed after the carriage return,
                                     which spoils the next frame
                         no-cr       the frame without its carriage return,
                                     so it runs into the next one
                         hangup      instead of the frame, remove the link and
                                     close the line, as an unplugged adapter
                                     does: every reader sees a hang-up. After
                                     --hangup-time a new pseudo-terminal opens,
                                     the link points at it and its path is
                                     printed on a new line
  --fault-every N      which frames are faulty: the N-th, 2N-th, ... (default 3)
  --hangup-time SECS   how long the line stays down on a hangup (default 3)
  --count N            stop after N frames (faulty ones and hang-ups count),
                       once a reader has taken them (waiting at most 2 s)
  --help               show this text and exit

SIGINT, SIGTERM and SIGHUP stop the simulator: it removes the link and exits
with status 0. Exit status 1 means the terminal or the link could not be made,
2 a bad option.
)";
}
