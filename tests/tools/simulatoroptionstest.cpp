#include <gtest/gtest.h>

#include "tools/simulatoroptions.h"

namespace {
using Fault = CFaultSchedule::Fault;

struct Parsed {
    bool ok = false;
    std::string error;
    CSimulatorOptions options;
};

Parsed Parse(const std::vector<std::string>& args)
{
    Parsed p;
    p.ok = p.options.Parse(args, p.error);
    return p;
}
}

TEST(SimulatorOptions, TakesEveryOption)
{
    const Parsed p = Parse({"--link", "/tmp/km302", "--serial", "65535", "--interval", "0.25", "--value", "-123.4",
        "--pa", "--value-error", "--calibration-error", "--pattern", "drift", "--flood", "--fault", "hangup",
        "--fault-every", "5", "--hangup-time", "0.5", "--count", "7"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ("/tmp/km302", p.options.m_sLink);
    EXPECT_EQ(65535, p.options.m_nSerialNumber);
    EXPECT_DOUBLE_EQ(0.25, p.options.m_dInterval);
    EXPECT_DOUBLE_EQ(-123.4, p.options.m_dValue);
    EXPECT_TRUE(p.options.m_bPascals);
    EXPECT_FALSE(p.options.m_bWholeUnits);
    EXPECT_TRUE(p.options.m_bValueError);
    EXPECT_TRUE(p.options.m_bCalibrationError);
    EXPECT_EQ(CValuePattern::Kind::Drift, p.options.m_pattern);
    EXPECT_TRUE(p.options.m_bFlood);
    EXPECT_EQ(std::vector<Fault> {Fault::Hangup}, p.options.m_faults);
    EXPECT_EQ(5, p.options.m_nFaultEvery);
    EXPECT_DOUBLE_EQ(0.5, p.options.m_dHangupSeconds);
    EXPECT_EQ(7, p.options.m_nCount);
}

TEST(SimulatorOptions, FaultsRepeatAndSplitAtCommasInTheOrderGiven)
{
    const Parsed p = Parse({"--fault", "bad-parity,garbage", "--fault=stray-lf", "--fault", "no-cr,hangup"});
    ASSERT_TRUE(p.ok) << p.error;
    const std::vector<Fault> expected {
        Fault::BadParity, Fault::Garbage, Fault::StrayLineFeed, Fault::NoCarriageReturn, Fault::Hangup};
    EXPECT_EQ(expected, p.options.m_faults);
}

TEST(SimulatorOptions, ValueRangeFollowsTheResolutionWhereverWholeStands)
{
    // A normal pressure in pascals fits: the ten-thousands place goes up to 15.
    EXPECT_TRUE(Parse({"--pa", "--whole", "--value", "101325"}).ok);
    EXPECT_TRUE(Parse({"--value", "159999", "--whole"}).ok);
    EXPECT_TRUE(Parse({"--value", "15999.9"}).ok);
    EXPECT_TRUE(Parse({"--value", "-999.9"}).ok);
    EXPECT_FALSE(Parse({"--value", "16000"}).ok);
    EXPECT_FALSE(Parse({"--pa", "--value", "101325"}).ok) << "in tenths it does not fit";
    EXPECT_FALSE(Parse({"--whole", "--value", "160000"}).ok);
    EXPECT_FALSE(Parse({"--value", "-10000", "--whole"}).ok);
}

TEST(SimulatorOptions, BadInputIsRefusedWithAMessageThatNamesIt)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases {
        {{"--serial", "65536"}, "--serial"},
        {{"--serial", "-1"}, "--serial"},
        {{"--serial", "12ab"}, "12ab"},
        {{"--interval", "0"}, "--interval"},
        {{"--interval", "-1"}, "--interval"},
        {{"--interval", "nan"}, "--interval"},
        {{"--interval", "inf"}, "--interval"},
        {{"--value", "pressure"}, "--value"},
        {{"--pattern", "sine"}, "sine"},
        {{"--fault", "melt"}, "melt"},
        {{"--fault", "garbage,"}, "unknown fault"},
        {{"--fault-every", "0"}, "--fault-every"},
        {{"--hangup-time", "-2"}, "--hangup-time"},
        {{"--count", "0"}, "--count"},
        {{"--count", "1.5"}, "--count"},
        {{"--link", ""}, "--link"},
        {{"--bogus"}, "--bogus"},
        {{"--pa=yes"}, "--pa"},
        {{"frames"}, "frames"},
        {{"--serial"}, "needs a value"},
    };
    for (const auto& [args, named] : cases) {
        const Parsed p = Parse(args);
        EXPECT_FALSE(p.ok) << args.front();
        EXPECT_NE(std::string::npos, p.error.find(named)) << p.error;
    }
}

TEST(SimulatorOptions, HelpDocumentsEveryOptionAndFault)
{
    EXPECT_TRUE(Parse({"--help"}).options.m_bHelp);
    const std::string help = CSimulatorOptions::HelpText();
    for (const char* word : {"--link", "--serial", "--interval", "--value", "--pa", "--whole", "--value-error",
             "--calibration-error", "--pattern", "constant", "drift", "ramp", "--flood", "--fault", "bad-parity",
             "garbage", "stray-lf", "no-cr", "hangup", "--fault-every", "--hangup-time", "--count", "--help"})
        EXPECT_NE(std::string::npos, help.find(word)) << word;
}
