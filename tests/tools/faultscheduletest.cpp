#include <gtest/gtest.h>

#include <vector>

#include "device/framedecoder.h"
#include "tools/faultschedule.h"
#include "tools/frameencoder.h"

namespace {
using Fault = CFaultSchedule::Fault;

// Splits a byte stream at carriage returns, as the program's byte assembler
// does, and says for each frame whether the decoder accepted it.
std::vector<int> Outcomes(const std::string& stream)
{
    std::vector<int> outcomes;
    CFrameDecoder decoder;
    std::string frame;
    for (char byte : stream) {
        frame += byte;
        if (byte == '\r') {
            outcomes.push_back(decoder.Decode(frame.data(), int(frame.size())));
            frame.clear();
        }
    }
    return outcomes;
}

class FaultScheduleTest : public ::testing::Test {
protected:
    // Good frames around one frame that carries `fault`: `before` good ones,
    // the faulty one, `after` good ones.
    std::string Stream(Fault fault, int before, int after)
    {
        std::string stream;
        for (int i = 0; i < before; ++i)
            stream += m_good;
        stream += m_schedule.Corrupt(fault, m_good);
        for (int i = 0; i < after; ++i)
            stream += m_good;
        return stream;
    }

    CFaultSchedule m_schedule {{}, 1, 7};
    std::string m_good = CFrameEncoder::Encode(FrameContent {1234, 10132, false, false, false, false});
};
}

TEST_F(FaultScheduleTest, EveryNthFrameIsFaultyAndTheKindsTakeTurns)
{
    const CFaultSchedule schedule({Fault::BadParity, Fault::Hangup}, 3, 1);
    std::vector<Fault> seen;
    for (long long i = 0; i < 12; ++i)
        seen.push_back(schedule.ForFrame(i));
    const std::vector<Fault> expected {Fault::None, Fault::None, Fault::BadParity, Fault::None, Fault::None,
        Fault::Hangup, Fault::None, Fault::None, Fault::BadParity, Fault::None, Fault::None, Fault::Hangup};
    EXPECT_EQ(expected, seen);
}

TEST_F(FaultScheduleTest, NoKindsMeansNoFaults)
{
    const CFaultSchedule schedule({}, 1, 1);
    for (long long i = 0; i < 10; ++i)
        EXPECT_EQ(Fault::None, schedule.ForFrame(i));
}

TEST_F(FaultScheduleTest, BadParityLosesOnlyItsFrameWhicheverByteIsHit)
{
    // Ten in a row hit each checked byte once.
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ((std::vector<int> {1, 0, 1}), Outcomes(Stream(Fault::BadParity, 1, 1))) << i;
}

TEST_F(FaultScheduleTest, GarbageLosesOnlyTheFrameItPrecedes)
{
    for (int i = 0; i < 200; ++i) {
        const std::string garbled = m_schedule.Corrupt(Fault::Garbage, m_good);
        ASSERT_GE(garbled.size(), m_good.size() + 2);
        ASSERT_EQ(m_good, garbled.substr(garbled.size() - m_good.size()));
        EXPECT_EQ((std::vector<int> {1, 0, 1}), Outcomes(m_good + garbled + m_good)) << i;
    }
}

TEST_F(FaultScheduleTest, StrayLineFeedLosesTheFollowingFrame)
{
    EXPECT_EQ((std::vector<int> {1, 1, 0, 1}), Outcomes(Stream(Fault::StrayLineFeed, 1, 2)));
}

TEST_F(FaultScheduleTest, MissingCarriageReturnRunsTwoFramesIntoOneRejected)
{
    EXPECT_EQ((std::vector<int> {1, 0, 1}), Outcomes(Stream(Fault::NoCarriageReturn, 1, 2)));
}

TEST_F(FaultScheduleTest, HangupSendsNothing)
{
    EXPECT_EQ("", m_schedule.Corrupt(Fault::Hangup, m_good));
    EXPECT_EQ(m_good, m_schedule.Corrupt(Fault::None, m_good));
}
