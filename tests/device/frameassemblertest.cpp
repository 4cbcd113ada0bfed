#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/frameassembler.h"
#include "device/framedecoder.h"
#include "platform/timerids.h"
#include "tests/support/faketimerhost.h"
#include "tools/frameencoder.h"

namespace {

using Call = CFakeTimerHost::Call;

// What the main window sees at each refresh.
struct Refreshed {
    int commOk;
    int readError;
    int rxCount;
    int serialNumber;
    int frameLength;
};

class FrameAssemblerTest : public ::testing::Test {
protected:
    void Feed(const std::string& bytes)
    {
        for (char c : bytes)
            assembler.OnSerialByte(static_cast<unsigned char>(c));
    }

    std::vector<int> CommOkArgs() const
    {
        std::vector<int> args;
        for (const Refreshed& r : refreshes)
            args.push_back(r.commOk);
        return args;
    }

    static std::string Frame(int serial) { return CFrameEncoder::Encode({.serialNumber = serial, .number = 10132}); }
    static std::string BadParityFrame(int serial)
    {
        std::string f = Frame(serial);
        f[3] = char(f[3] ^ 0x40);
        return f;
    }

    CFrameDecoder decoder;
    CFakeTimerHost timers;
    std::vector<Refreshed> refreshes;
    CFrameAssembler assembler{decoder, timers, [this](int commOk) {
        refreshes.push_back({commOk, assembler.m_bReadError, assembler.m_nRxCount, decoder.m_nSerialNumber,
                             decoder.m_nLength});
    }};
};

TEST_F(FrameAssemblerTest, StartsWithoutReadingAndWithoutWatchdog)
{
    EXPECT_EQ(1, assembler.m_bReadError);
    EXPECT_EQ(0, assembler.m_nRxCount);
    EXPECT_EQ(0u, assembler.m_nNoCommTimer);
    EXPECT_TRUE(timers.m_calls.empty());
}

TEST_F(FrameAssemblerTest, NothingHappensBeforeTheCarriageReturn)
{
    const std::string frame = Frame(1234);
    Feed(frame.substr(0, 11));
    EXPECT_EQ(11, assembler.m_nRxCount);
    EXPECT_TRUE(refreshes.empty());
    EXPECT_EQ(0, decoder.m_nSerialNumber);
}

TEST_F(FrameAssemblerTest, AcceptedFrameRefreshesWithNewReadingAndEmptyBuffer)
{
    Feed(Frame(1234));
    ASSERT_EQ(1u, refreshes.size());
    EXPECT_EQ(1, refreshes[0].commOk);
    EXPECT_EQ(0, refreshes[0].readError);
    EXPECT_EQ(0, refreshes[0].rxCount);
    EXPECT_EQ(1234, refreshes[0].serialNumber);
}

TEST_F(FrameAssemblerTest, RejectedFrameRefreshesWithReadError)
{
    Feed(Frame(1234));
    Feed(BadParityFrame(777));
    ASSERT_EQ(2u, refreshes.size());
    EXPECT_EQ(0, refreshes[1].commOk);
    EXPECT_EQ(1, refreshes[1].readError);
    EXPECT_EQ(0, refreshes[1].rxCount);
    EXPECT_EQ(1234, refreshes[1].serialNumber);
}

TEST_F(FrameAssemblerTest, FirstAcceptedFrameStartsWatchdog)
{
    Feed(BadParityFrame(1));
    Feed("\r");
    EXPECT_TRUE(timers.m_calls.empty());

    Feed(Frame(1));
    EXPECT_EQ((std::vector<Call>{{Call::Set, kNoCommTimerId, 5000}}), timers.m_calls);
    EXPECT_EQ(kNoCommTimerId, assembler.m_nNoCommTimer);
    EXPECT_EQ(5000u, timers.Period(kNoCommTimerId));
}

TEST_F(FrameAssemblerTest, EachAcceptedFrameKillsAndRestartsWatchdog)
{
    Feed(Frame(1));
    Feed(Frame(2));
    Feed(Frame(3));
    EXPECT_EQ((std::vector<Call>{{Call::Set, kNoCommTimerId, 5000},
                                 {Call::Kill, kNoCommTimerId, 0},
                                 {Call::Set, kNoCommTimerId, 5000},
                                 {Call::Kill, kNoCommTimerId, 0},
                                 {Call::Set, kNoCommTimerId, 5000}}),
              timers.m_calls);
    EXPECT_TRUE(timers.IsRunning(kNoCommTimerId));
}

TEST_F(FrameAssemblerTest, RejectedFrameLeavesWatchdogRunning)
{
    Feed(Frame(1));
    timers.m_calls.clear();
    Feed(BadParityFrame(1));
    Feed("\n" + Frame(1));   // 13 bytes
    EXPECT_TRUE(timers.m_calls.empty());
    EXPECT_TRUE(timers.IsRunning(kNoCommTimerId));
    EXPECT_EQ((std::vector<int>{1, 0, 0}), CommOkArgs());
}

TEST_F(FrameAssemblerTest, WatchdogTickMarksNoCommunicationAndKeepsRunning)
{
    Feed(Frame(1234));
    timers.m_calls.clear();
    assembler.OnNoCommTimeout();
    assembler.OnNoCommTimeout();
    EXPECT_EQ(1, assembler.m_bReadError);
    EXPECT_EQ((std::vector<int>{1, 0, 0}), CommOkArgs());
    EXPECT_TRUE(timers.m_calls.empty());
    EXPECT_EQ(1234, decoder.m_nSerialNumber);   // the last reading is kept

    Feed(Frame(1234));
    EXPECT_EQ(0, assembler.m_bReadError);
    EXPECT_EQ(1, refreshes.back().commOk);
}

TEST_F(FrameAssemblerTest, FailedSetTimerIsNotKilledLater)
{
    timers.m_bFailSetTimer = true;
    Feed(Frame(1));
    EXPECT_EQ(0u, assembler.m_nNoCommTimer);
    timers.m_bFailSetTimer = false;
    Feed(Frame(2));
    EXPECT_EQ((std::vector<Call>{{Call::Set, kNoCommTimerId, 5000}, {Call::Set, kNoCommTimerId, 5000}}), timers.m_calls);
}

TEST_F(FrameAssemblerTest, StrayLineFeedCostsTheNextFrameOnly)
{
    Feed(Frame(1) + "\n" + Frame(2) + Frame(3));
    EXPECT_EQ((std::vector<int>{1, 0, 1}), CommOkArgs());
    ASSERT_EQ(3u, refreshes.size());
    EXPECT_EQ(13, refreshes[1].frameLength);
    EXPECT_EQ(3, decoder.m_nSerialNumber);
}

TEST_F(FrameAssemblerTest, LoneCarriageReturnIsARejectedFrame)
{
    Feed(Frame(5) + "\r");
    EXPECT_EQ((std::vector<int>{1, 0}), CommOkArgs());
    EXPECT_EQ(1, decoder.m_nLength);
    EXPECT_EQ(5, decoder.m_nSerialNumber);
}

TEST_F(FrameAssemblerTest, OnlyExactCarriageReturnEndsAFrame)
{
    std::string frame = Frame(5);
    frame[11] = char(0x8D);    // bit 7 set: not an end of frame
    Feed(frame);
    EXPECT_TRUE(refreshes.empty());
    EXPECT_EQ(12, assembler.m_nRxCount);
}

TEST_F(FrameAssemblerTest, OnlyTheLowByteOfWParamCounts)
{
    for (char c : Frame(4321))
        assembler.OnSerialByte(0xABCD0000u | static_cast<unsigned char>(c));
    EXPECT_EQ((std::vector<int>{1}), CommOkArgs());
    EXPECT_EQ(4321, decoder.m_nSerialNumber);
}

TEST_F(FrameAssemblerTest, ThousandthByteEmptiesTheBuffer)
{
    Feed(std::string(999, 'x'));
    EXPECT_EQ(999, assembler.m_nRxCount);
    Feed("\r");                  // the thousandth byte: dropped, even a carriage return
    EXPECT_EQ(0, assembler.m_nRxCount);
    EXPECT_TRUE(refreshes.empty());

    Feed(Frame(42));             // assembly starts afresh
    EXPECT_EQ((std::vector<int>{1}), CommOkArgs());
    EXPECT_EQ(42, decoder.m_nSerialNumber);
}

TEST_F(FrameAssemblerTest, FrameWhoseStartByteIsDroppedIsRejected)
{
    Feed(std::string(999, 'x') + Frame(42) + Frame(43));
    EXPECT_EQ((std::vector<int>{0, 1}), CommOkArgs());
    EXPECT_EQ(43, decoder.m_nSerialNumber);
}

TEST_F(FrameAssemblerTest, LongestFrameIsHandedOver)
{
    Feed(std::string(998, 'x') + "\r");
    EXPECT_EQ((std::vector<int>{0}), CommOkArgs());
    EXPECT_EQ(999, decoder.m_nLength);
}

}  // namespace
