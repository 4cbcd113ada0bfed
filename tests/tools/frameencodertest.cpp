#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "device/framedecoder.h"
#include "tools/frameencoder.h"

namespace {
// What the decoder makes of a frame, with the frame's bytes for messages.
struct Decoded {
    int accepted = 0;
    CFrameDecoder reading;
};

Decoded Decode(const std::string& frame)
{
    Decoded d;
    d.accepted = d.reading.Decode(frame.data(), int(frame.size()));
    return d;
}

double ExpectedValue(int number, bool wholeUnits)
{
    // The decoder multiplies by the double nearest a tenth; so must the check.
    return wholeUnits ? double(number) : double(number) * 0.1;
}
}

TEST(FrameEncoder, MakesTheInstrumentsWorkedExample)
{
    FrameContent content;
    content.serialNumber = 1234;
    content.number = 10132;
    const std::string expected = "\x40\x70\x3D\x32\x70\x34\x31\x70\x31\x73\x32\x0D";
    EXPECT_EQ(expected, CFrameEncoder::Encode(content));
}

TEST(FrameEncoder, EveryFlagCombinationDecodesToWhatItWasMadeFrom)
{
    const int numbers[] = {0, 1, 9, 10132, 12345, 99999, 101325, 159999, -1, -123, -9999};
    for (int flags = 0; flags < 16; ++flags) {
        for (int number : numbers) {
            FrameContent content;
            content.serialNumber = 302;
            content.number = number;
            content.valueError = flags & 1;
            content.pascals = flags & 2;
            content.calibrationError = flags & 4;
            content.wholeUnits = flags & 8;
            const std::string frame = CFrameEncoder::Encode(content);
            SCOPED_TRACE("flags " + std::to_string(flags) + " number " + std::to_string(number));

            ASSERT_EQ(12u, frame.size());
            for (char byte : frame)
                EXPECT_EQ(0, static_cast<unsigned char>(byte) & 0x80) << "the line carries 7 bits";
            const Decoded d = Decode(frame);
            ASSERT_EQ(1, d.accepted);
            EXPECT_EQ(content.valueError, d.reading.m_bValueError != 0);
            EXPECT_EQ(content.pascals, d.reading.m_bUnitPa != 0);
            EXPECT_EQ(content.calibrationError, d.reading.m_bCalibrationError != 0);
            EXPECT_EQ(content.wholeUnits, d.reading.m_bWholeUnits != 0);
            EXPECT_EQ(302, d.reading.m_nSerialNumber);
            EXPECT_EQ(ExpectedValue(number, content.wholeUnits), d.reading.m_dValue);
        }
    }
}

TEST(FrameEncoder, EverySerialNumberDecodesToItself)
{
    FrameContent content;
    content.number = -42;
    for (int serial = 0; serial <= 65535; ++serial) {
        content.serialNumber = serial;
        const Decoded d = Decode(CFrameEncoder::Encode(content));
        ASSERT_EQ(1, d.accepted) << serial;
        ASSERT_EQ(serial, d.reading.m_nSerialNumber);
        ASSERT_EQ(ExpectedValue(-42, false), d.reading.m_dValue);
    }
}

TEST(FrameEncoder, ContentOutOfRangeIsClampedIntoAValidFrame)
{
    FrameContent content;
    content.serialNumber = 70000;
    content.number = 160000;
    Decoded d = Decode(CFrameEncoder::Encode(content));
    ASSERT_EQ(1, d.accepted);
    EXPECT_EQ(65535, d.reading.m_nSerialNumber);
    EXPECT_EQ(ExpectedValue(159999, false), d.reading.m_dValue);

    content.serialNumber = -5;
    content.number = -20000;
    d = Decode(CFrameEncoder::Encode(content));
    ASSERT_EQ(1, d.accepted);
    EXPECT_EQ(0, d.reading.m_nSerialNumber);
    EXPECT_EQ(ExpectedValue(-9999, false), d.reading.m_dValue);
}

TEST(FrameEncoder, NumberForRoundsHalvesAwayFromZero)
{
    EXPECT_EQ(10132, CFrameEncoder::NumberFor(1013.2, false));
    EXPECT_EQ(10133, CFrameEncoder::NumberFor(1013.25, false));
    EXPECT_EQ(10132, CFrameEncoder::NumberFor(1013.24, false));
    EXPECT_EQ(-123, CFrameEncoder::NumberFor(-12.25, false));
    EXPECT_EQ(-122, CFrameEncoder::NumberFor(-12.24, false));
    EXPECT_EQ(3, CFrameEncoder::NumberFor(2.5, true));
    EXPECT_EQ(-3, CFrameEncoder::NumberFor(-2.5, true));
    EXPECT_EQ(1013, CFrameEncoder::NumberFor(1013.2, true));
    EXPECT_EQ(0, CFrameEncoder::NumberFor(-0.04, false));
}

TEST(FrameEncoder, NumberForClampsIntoTheFramesRange)
{
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(101325, CFrameEncoder::NumberFor(101325.0, true));
    EXPECT_EQ(159999, CFrameEncoder::NumberFor(15999.96, false));
    EXPECT_EQ(159999, CFrameEncoder::NumberFor(1e12, true));
    EXPECT_EQ(-9999, CFrameEncoder::NumberFor(-999.96, false));
    EXPECT_EQ(-9999, CFrameEncoder::NumberFor(-1e12, true));
    EXPECT_EQ(159999, CFrameEncoder::NumberFor(inf, false));
    EXPECT_EQ(-9999, CFrameEncoder::NumberFor(-inf, true));
    EXPECT_EQ(0, CFrameEncoder::NumberFor(std::nan(""), false));
}

TEST(FrameEncoder, BadParityInAnyCheckedByteIsRejected)
{
    FrameContent content;
    content.number = 10132;
    const std::string frame = CFrameEncoder::Encode(content);
    for (int position = 1; position <= 10; ++position)
        EXPECT_EQ(0, Decode(CFrameEncoder::WithBadParity(frame, position)).accepted) << position;
    EXPECT_EQ(1, Decode(CFrameEncoder::WithBadParity(frame, 0)).accepted) << "the start byte is not checked";
    EXPECT_EQ(frame, CFrameEncoder::WithBadParity(frame, 12));
}
