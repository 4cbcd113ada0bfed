// km302-sim run as a process: a reader opens its --link as the program would
// and decodes what arrives. Faults are checked by which frames the real
// decoder rejects.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "device/framedecoder.h"
#include "tests/tools/ptyframereader.h"
#include "tests/tools/simprocess.h"
#include "tools/frameencoder.h"

namespace {
namespace fs = std::filesystem;

class SimulatorProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/km302-simtest-XXXXXX";
        ASSERT_NE(nullptr, ::mkdtemp(pattern));
        m_dir = pattern;
        m_link = (m_dir / "km302").string();
    }

    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    // Starts the simulator on the link with a quick pace plus `args`, and
    // opens the link once the simulator has named its terminal.
    void StartAndOpen(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--link", m_link, "--interval", "0.02"});
        ASSERT_TRUE(m_sim.Start(args));
        OpenAnnouncedTerminal();
    }

    void OpenAnnouncedTerminal()
    {
        const auto path = m_sim.ReadLine();
        ASSERT_TRUE(path.has_value()) << m_sim.ErrorOutput();
        EXPECT_EQ(*path, fs::read_symlink(m_link).string());
        ASSERT_TRUE(m_reader.Open(m_link));
    }

    // The decoder's verdict on each of the next `count` frames.
    std::vector<int> Outcomes(int count)
    {
        std::vector<int> outcomes;
        std::string frame;
        for (int i = 0; i < count; ++i) {
            if (m_reader.Next(frame) != CPtyFrameReader::Result::Frame) {
                ADD_FAILURE() << "frame " << i << " did not arrive";
                break;
            }
            outcomes.push_back(m_decoder.Decode(frame.data(), int(frame.size())));
            m_lengths.push_back(frame.size());
        }
        return outcomes;
    }

    void ExpectCleanExit()
    {
        EXPECT_EQ(0, m_sim.WaitExit()) << m_sim.ErrorOutput();
        EXPECT_FALSE(fs::exists(fs::symlink_status(m_link))) << "the link must go with the simulator";
    }

    fs::path m_dir;
    std::string m_link;
    CSimProcess m_sim;
    CPtyFrameReader m_reader;
    CFrameDecoder m_decoder;
    std::vector<size_t> m_lengths;
};
}

TEST_F(SimulatorProcessTest, SendsTheConfiguredReadingAtTheLink)
{
    StartAndOpen({"--serial", "4321", "--value", "987.6", "--count", "4"});
    EXPECT_EQ((std::vector<int> {1, 1, 1, 1}), Outcomes(4));
    EXPECT_EQ(4321, m_decoder.m_nSerialNumber);
    EXPECT_EQ(9876 * 0.1, m_decoder.m_dValue);
    EXPECT_EQ(0, m_decoder.m_bUnitPa);
    EXPECT_EQ(0, m_decoder.m_bWholeUnits);
    EXPECT_EQ(0, m_decoder.m_bValueError);
    EXPECT_EQ(0, m_decoder.m_bCalibrationError);
    ExpectCleanExit();
}

TEST_F(SimulatorProcessTest, UnitResolutionAndErrorFlagsReachTheReader)
{
    StartAndOpen({"--pa", "--whole", "--value-error", "--calibration-error", "--value", "-250", "--count", "2"});
    EXPECT_EQ((std::vector<int> {1, 1}), Outcomes(2));
    EXPECT_NE(0, m_decoder.m_bUnitPa);
    EXPECT_NE(0, m_decoder.m_bWholeUnits);
    EXPECT_NE(0, m_decoder.m_bValueError);
    EXPECT_NE(0, m_decoder.m_bCalibrationError);
    EXPECT_EQ(-250.0, m_decoder.m_dValue);
    ExpectCleanExit();
}

TEST_F(SimulatorProcessTest, BadParityFramesAreRejectedAndTheOthersAccepted)
{
    StartAndOpen({"--fault", "bad-parity", "--fault-every", "2", "--count", "6"});
    EXPECT_EQ((std::vector<int> {1, 0, 1, 0, 1, 0}), Outcomes(6));
    EXPECT_EQ(std::vector<size_t>(6, 12), m_lengths);
    ExpectCleanExit();
}

TEST_F(SimulatorProcessTest, GarbageSpoilsTheFrameItPrecedes)
{
    StartAndOpen({"--fault", "garbage", "--count", "6"});
    EXPECT_EQ((std::vector<int> {1, 1, 0, 1, 1, 0}), Outcomes(6));
    ASSERT_EQ(6u, m_lengths.size());
    EXPECT_GT(m_lengths[2], 12u);
    EXPECT_GT(m_lengths[5], 12u);
    ExpectCleanExit();
}

TEST_F(SimulatorProcessTest, StrayLineFeedSpoilsTheFollowingFrame)
{
    StartAndOpen({"--fault", "stray-lf", "--count", "5"});
    EXPECT_EQ((std::vector<int> {1, 1, 1, 0, 1}), Outcomes(5));
    ASSERT_EQ(5u, m_lengths.size());
    EXPECT_EQ(13u, m_lengths[3]);
    ExpectCleanExit();
}

TEST_F(SimulatorProcessTest, MissingCarriageReturnRunsTwoFramesTogether)
{
    StartAndOpen({"--fault", "no-cr", "--count", "7"});
    EXPECT_EQ((std::vector<int> {1, 1, 0, 1, 0}), Outcomes(5));
    ASSERT_EQ(5u, m_lengths.size());
    EXPECT_EQ(23u, m_lengths[2]);
    ExpectCleanExit();
}

TEST_F(SimulatorProcessTest, HangUpThenTheDeviceComesBackAtTheSameLink)
{
    StartAndOpen({"--fault", "hangup", "--hangup-time", "0.05", "--count", "5"});
    EXPECT_EQ((std::vector<int> {1, 1}), Outcomes(2));
    std::string frame;
    EXPECT_EQ(CPtyFrameReader::Result::HangUp, m_reader.Next(frame));

    OpenAnnouncedTerminal();
    EXPECT_EQ((std::vector<int> {1, 1}), Outcomes(2));
    ExpectCleanExit();
}

TEST_F(SimulatorProcessTest, AReaderCanCloseAndOpenTheLineAgain)
{
    StartAndOpen({});
    EXPECT_EQ((std::vector<int> {1}), Outcomes(1));
    m_reader.Close();
    ASSERT_TRUE(m_reader.Open(m_link));
    EXPECT_EQ((std::vector<int> {1}), Outcomes(1));
    m_sim.Signal(SIGTERM);
    ExpectCleanExit();
}

TEST_F(SimulatorProcessTest, FloodDeliversEveryFrameWholeAndInOrder)
{
    const int frames = 30000;
    StartAndOpen({"--flood", "--pattern", "ramp", "--value", "100.0", "--count", std::to_string(frames)});
    std::string frame;
    for (int i = 0; i < frames; ++i) {
        ASSERT_EQ(CPtyFrameReader::Result::Frame, m_reader.Next(frame)) << "frame " << i;
        ASSERT_EQ(1, m_decoder.Decode(frame.data(), int(frame.size()))) << "frame " << i;
        ASSERT_EQ((1000 + i % 100) * 0.1, m_decoder.m_dValue) << "frame " << i;
    }
    ExpectCleanExit();
}

TEST_F(SimulatorProcessTest, SigtermStopsWithStatusZeroAndRemovesTheLink)
{
    StartAndOpen({"--interval", "1"});
    EXPECT_EQ((std::vector<int> {1}), Outcomes(1));
    m_sim.Signal(SIGTERM);
    ExpectCleanExit();
}

TEST_F(SimulatorProcessTest, AFileAtTheLinkPathIsNeverReplaced)
{
    {
        std::ofstream file(m_link);
        file << "keep me";
    }
    ASSERT_TRUE(m_sim.Start({"--link", m_link, "--count", "1"}));
    EXPECT_EQ(1, m_sim.WaitExit());
    EXPECT_NE(std::string::npos, m_sim.ErrorOutput().find(m_link));
    std::ifstream file(m_link);
    std::string content;
    std::getline(file, content);
    EXPECT_EQ("keep me", content);
}

TEST_F(SimulatorProcessTest, HelpExitsWithStatusZero)
{
    ASSERT_TRUE(m_sim.Start({"--help"}));
    const auto first = m_sim.ReadLine();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(0u, first->rfind("Usage: km302-sim", 0));
    EXPECT_EQ(0, m_sim.WaitExit());
}

TEST_F(SimulatorProcessTest, BadOptionExitsWithStatusTwoAndSaysWhy)
{
    ASSERT_TRUE(m_sim.Start({"--link", m_link, "--pattern", "sine"}));
    EXPECT_EQ(2, m_sim.WaitExit());
    EXPECT_NE(std::string::npos, m_sim.ErrorOutput().find("sine"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_link)));
}
