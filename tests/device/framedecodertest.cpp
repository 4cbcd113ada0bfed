#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "device/framedecoder.h"
#include "tools/frameencoder.h"

namespace {

std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s.push_back(char(v));
    return s;
}

// 1234, no error, hPa, tenths: 1013.2 hPa.
const std::string kWorkedExample = Bytes({0x40, 0x70, 0x3D, 0x32, 0x70, 0x34, 0x31, 0x70, 0x31, 0x73, 0x32, 0x0D});

class FrameDecoderTest : public ::testing::Test {
protected:
    int Decode(const std::string& frame) { return d.Decode(frame.data(), int(frame.size())); }

    // Establishes a reading that a rejected frame must leave in place.
    void AcceptWorkedExample()
    {
        ASSERT_EQ(1, Decode(kWorkedExample));
        ASSERT_EQ(1234, d.m_nSerialNumber);
        ASSERT_DOUBLE_EQ(1013.2, d.m_dValue);
    }

    void ExpectReadingKept()
    {
        EXPECT_EQ(1234, d.m_nSerialNumber);
        EXPECT_EQ(10132 * 0.1, d.m_dValue);
    }

    CFrameDecoder d;
};

TEST_F(FrameDecoderTest, StartsWithEmptyReading)
{
    EXPECT_EQ(0, d.m_nSerialNumber);
    EXPECT_EQ(0.0, d.m_dValue);
    EXPECT_EQ(0, d.m_bValueError | d.m_bUnitPa | d.m_bCalibrationError | d.m_bWholeUnits);
}

TEST_F(FrameDecoderTest, WorkedExampleGives1013Point2HectopascalsFromInstrument1234)
{
    ASSERT_EQ(1, Decode(kWorkedExample));
    EXPECT_EQ(1234, d.m_nSerialNumber);
    EXPECT_EQ(10132 * 0.1, d.m_dValue);
    EXPECT_EQ(0, d.m_bValueError);
    EXPECT_EQ(0, d.m_bUnitPa);
    EXPECT_EQ(0, d.m_bCalibrationError);
    EXPECT_EQ(0, d.m_bWholeUnits);
    EXPECT_EQ(12, d.m_nLength);
    EXPECT_EQ(Bytes({0x00, 0x30, 0x3D, 0x32, 0x30, 0x34, 0x31, 0x30, 0x31, 0x33, 0x32, 0x0D, 0x00}),
              std::string(d.m_szFrame, 13));
}

TEST_F(FrameDecoderTest, PascalAndWholeUnitFlagsGive10132Pascals)
{
    std::string frame = kWorkedExample;
    frame[1] = char(0x7A);   // masked 0x3A: pascals, whole units
    ASSERT_EQ(1, Decode(frame));
    EXPECT_EQ(10132.0, d.m_dValue);
    EXPECT_NE(0, d.m_bUnitPa);
    EXPECT_NE(0, d.m_bWholeUnits);
    EXPECT_EQ(0, d.m_bValueError);
    EXPECT_EQ(0, d.m_bCalibrationError);
}

TEST_F(FrameDecoderTest, ErrorFlagsAreReported)
{
    std::string frame = kWorkedExample;
    frame[1] = char(0x75);   // masked 0x35: value error and calibration error
    ASSERT_EQ(1, Decode(frame));
    EXPECT_NE(0, d.m_bValueError);
    EXPECT_NE(0, d.m_bCalibrationError);
    EXPECT_EQ(0, d.m_bUnitPa);
}

TEST_F(FrameDecoderTest, MinusSignGivesNegativeValueWithoutTenThousands)
{
    ASSERT_EQ(1, Decode(Bytes({0x40, 0x70, 0x3D, 0x32, 0x70, 0x34, 0x6D, 0x70, 0x31, 0x32, 0x73, 0x0D})));
    EXPECT_EQ(-123 * 0.1, d.m_dValue);
}

TEST_F(FrameDecoderTest, DigitCodesAboveNineCountTenToFifteen)
{
    // Value positions 3F 39 39 39 39: 15 * 10000 + 9999 tenths.
    std::string frame = kWorkedExample;
    frame[6] = char(CFrameEncoder::WithParity(0x3F));
    for (int k = 7; k <= 10; ++k)
        frame[k] = char(CFrameEncoder::WithParity(0x39));
    ASSERT_EQ(1, Decode(frame));
    EXPECT_EQ(159999 * 0.1, d.m_dValue);
}

TEST_F(FrameDecoderTest, TenthsAreAMultiplicationByOneTenth)
{
    // 3 * 0.1 and 3 / 10.0 differ in the last bit; the logs show the former.
    ASSERT_EQ(1, Decode(CFrameEncoder::Encode({.serialNumber = 7, .number = 3})));
    EXPECT_EQ(3 * 0.1, d.m_dValue);
    EXPECT_NE(3 / 10.0, d.m_dValue);
}

TEST_F(FrameDecoderTest, SerialNumberIsSentLowByteFirst)
{
    // 0xFEDC: the low byte DC, then the high byte FE, each high nibble first.
    std::string frame = kWorkedExample;
    const char digits[] = "=<?>";
    for (int k = 0; k < 4; ++k)
        frame[2 + k] = char(CFrameEncoder::WithParity(static_cast<unsigned char>(digits[k])));
    ASSERT_EQ(1, Decode(frame));
    EXPECT_EQ(0xFEDC, d.m_nSerialNumber);
}

TEST_F(FrameDecoderTest, ParityOfStartByteAndLastByteIsNotChecked)
{
    std::string frame = kWorkedExample;
    frame[0] = char(0x00);    // even parity
    frame[11] = char(0x4D);   // even parity; the assembler only ever hands 0x0D here
    EXPECT_EQ(1, Decode(frame));
}

TEST_F(FrameDecoderTest, WrongParityInBytesOneToTenRejectsAndKeepsReading)
{
    AcceptWorkedExample();
    for (int k = 1; k <= 10; ++k) {
        SCOPED_TRACE(k);
        std::string frame = CFrameEncoder::Encode({.serialNumber = 99, .number = 5});
        frame[k] = char(frame[k] ^ 0x40);   // only the parity bit is wrong
        EXPECT_EQ(0, Decode(frame));
        ExpectReadingKept();
    }
}

TEST_F(FrameDecoderTest, BitSevenChangesNothing)
{
    std::string frame = kWorkedExample;
    for (int k = 0; k <= 10; ++k)
        frame[k] = char(frame[k] | 0x80);
    ASSERT_EQ(1, Decode(frame));
    EXPECT_EQ(1234, d.m_nSerialNumber);
    EXPECT_EQ(10132 * 0.1, d.m_dValue);
    EXPECT_EQ(std::string(1, char(0x30)), std::string(d.m_szFrame + 1, 1));
}

TEST_F(FrameDecoderTest, MissingFixedFlagBitRejectsButValueErrorIsTakenOver)
{
    AcceptWorkedExample();
    std::string frame = CFrameEncoder::Encode({.serialNumber = 99, .number = 5});
    frame[1] = char(CFrameEncoder::WithParity(0x11));   // bit 5 missing
    EXPECT_EQ(0, Decode(frame));
    EXPECT_EQ(1, d.m_bValueError);
    ExpectReadingKept();

    frame[1] = char(CFrameEncoder::WithParity(0x22));   // bit 4 missing
    EXPECT_EQ(0, Decode(frame));
    EXPECT_EQ(0, d.m_bValueError);
    EXPECT_NE(0, d.m_bUnitPa);
    ExpectReadingKept();
}

TEST_F(FrameDecoderTest, NonZeroStartByteRejects)
{
    AcceptWorkedExample();
    std::string frame = CFrameEncoder::Encode({.serialNumber = 99, .number = 5});
    frame[0] = char(CFrameEncoder::WithParity(0x01));
    EXPECT_EQ(0, Decode(frame));
    ExpectReadingKept();
}

TEST_F(FrameDecoderTest, LengthOtherThanTwelveRejects)
{
    AcceptWorkedExample();
    EXPECT_EQ(0, Decode("\r"));                       // a lone carriage return
    EXPECT_EQ(1, d.m_nLength);
    EXPECT_EQ(0, Decode("\n" + kWorkedExample));      // a stray line feed in front
    EXPECT_EQ(13, d.m_nLength);
    EXPECT_EQ(0, Decode(kWorkedExample.substr(1)));
    ExpectReadingKept();
}

TEST_F(FrameDecoderTest, LongestFrameKeepsItsTerminator)
{
    std::string frame(998, char(0x70));
    frame.push_back('\r');
    EXPECT_EQ(0, Decode(frame));
    EXPECT_EQ(999, d.m_nLength);
    EXPECT_EQ(999u, std::string(d.m_szFrame).size());
}

TEST_F(FrameDecoderTest, OversizedFrameIsRefusedWithoutTouchingState)
{
    AcceptWorkedExample();
    const std::string frame(1000, char(0x70));
    EXPECT_EQ(0, Decode(frame));
    EXPECT_EQ(12, d.m_nLength);
    ExpectReadingKept();
}

}  // namespace
