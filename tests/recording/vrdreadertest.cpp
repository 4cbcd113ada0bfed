#include <gtest/gtest.h>

#include "recording/binarylog.h"
#include "recording/vrdreader.h"

namespace {

LogTime At(int second)
{
    return LogTime(2024, 3, 5, 14, 7, second);
}

QByteArray Stored(int second, bool valid, double value, bool pascals, int serial)
{
    return CBinaryLog::StoredRecord(At(second), valid, value, pascals, serial);
}

TEST(VrdReader, ReadsTimeSerialAndPressureOfEachRecord)
{
    CVrdReader reader;
    reader.Parse(Stored(9, true, 1013.2, false, 1234) + Stored(19, true, 101325.0, true, 1234)
                 + Stored(29, false, 0.0, false, 1234) + Stored(39, true, -3.5, false, -2));
    ASSERT_EQ(4u, reader.Records().size());
    const VrdRecord& first = reader.Records()[0];
    EXPECT_EQ(2024, first.time.year);
    EXPECT_EQ(3, first.time.month);
    EXPECT_EQ(5, first.time.day);
    EXPECT_EQ(14, first.time.hour);
    EXPECT_EQ(7, first.time.minute);
    EXPECT_EQ(9, first.time.second);
    EXPECT_TRUE(first.bValid);
    EXPECT_EQ(1234, first.nSerialNumber);
    EXPECT_DOUBLE_EQ(1013.2, first.dPressureHpa);
    EXPECT_DOUBLE_EQ(1013.25, reader.Records()[1].dPressureHpa);
    EXPECT_EQ(38, reader.Records()[1].nOffset);
    EXPECT_FALSE(reader.Records()[2].bValid);
    EXPECT_EQ(29, reader.Records()[2].time.second);
    EXPECT_EQ(-2, reader.Records()[3].nSerialNumber);
    EXPECT_DOUBLE_EQ(-3.5, reader.Records()[3].dPressureHpa);
    EXPECT_EQ(0, reader.DamagedStretches());
}

TEST(VrdReader, ACheckByteEqualToTheCheckMarkDoesNotSplitTheRecord)
{
    // A serial number (16 bits on the wire) whose record has a check byte
    // of 0x40, stored as 0xC0 like the check mark.
    int serial = 0;
    QByteArray tricky;
    for (; serial <= 0xFFFF; ++serial) {
        tricky = Stored(9, true, 101325.0, true, serial);
        if (tricky.count('\xC0') == 2)
            break;
    }
    ASSERT_LE(serial, 0xFFFF);

    CVrdReader reader;
    reader.Parse(tricky + Stored(19, true, 1013.3, false, 1) + tricky);
    ASSERT_EQ(3u, reader.Records().size());
    EXPECT_EQ(serial, reader.Records()[0].nSerialNumber);
    EXPECT_EQ(1, reader.Records()[1].nSerialNumber);
    EXPECT_EQ(serial, reader.Records()[2].nSerialNumber);
    EXPECT_EQ(0, reader.DamagedStretches());
}

TEST(VrdReader, AFlippedByteLosesOnlyItsRecord)
{
    QByteArray bytes = Stored(9, true, 1013.2, false, 1234) + Stored(19, true, 1013.3, false, 1234)
                       + Stored(29, true, 1013.4, false, 1234);
    bytes[38 + 20] = static_cast<char>(bytes[38 + 20] ^ 0x01);
    CVrdReader reader;
    reader.Parse(bytes);
    ASSERT_EQ(2u, reader.Records().size());
    EXPECT_EQ(9, reader.Records()[0].time.second);
    EXPECT_EQ(29, reader.Records()[1].time.second);
    EXPECT_EQ(1, reader.DamagedStretches());
    EXPECT_EQ(38, reader.DamagedBytes());
}

TEST(VrdReader, ATornRecordCostsOnlyItsOwnBytes)
{
    // As an older program left it after a full disk: a record without its end.
    const QByteArray torn = Stored(19, true, 1013.3, false, 1234).left(21);
    CVrdReader reader;
    reader.Parse(Stored(9, true, 1013.2, false, 1234) + torn + Stored(29, false, 0.0, false, 0));
    ASSERT_EQ(2u, reader.Records().size());
    EXPECT_EQ(9, reader.Records()[0].time.second);
    EXPECT_EQ(29, reader.Records()[1].time.second);
    EXPECT_EQ(38 + 21, reader.Records()[1].nOffset);
    EXPECT_EQ(1, reader.DamagedStretches());
    EXPECT_EQ(21, reader.DamagedBytes());
}

TEST(VrdReader, AnIncompleteTailIsDamageNotARecord)
{
    const QByteArray whole = Stored(9, true, 1013.2, false, 1234);
    for (const qsizetype cut : {qsizetype(5), whole.size() - 2, whole.size() - 1}) {
        CVrdReader reader;
        reader.Parse(whole + whole.left(cut));
        EXPECT_EQ(1u, reader.Records().size()) << cut;
        EXPECT_EQ(1, reader.DamagedStretches()) << cut;
        EXPECT_EQ(cut, reader.DamagedBytes()) << cut;
    }
}

TEST(VrdReader, PlainFieldsMustHaveTheWrittenShape)
{
    VrdRecord record;
    const auto withChecks = [](QByteArray fields) {
        unsigned sum = 0;
        for (const char c : fields)
            sum += static_cast<unsigned char>(c);
        fields += '@';
        fields += static_cast<char>(sum % 253 + 1);
        fields += static_cast<char>(sum % 251 + 1);
        return fields;
    };
    EXPECT_TRUE(CVrdReader::ParsePlain(withChecks("20240305140709$"), record));
    EXPECT_TRUE(CVrdReader::ParsePlain(withChecks("20240305140709$20,5,27,1.250,1$"), record));
    EXPECT_FALSE(CVrdReader::ParsePlain(withChecks("2024030514070$"), record));
    EXPECT_FALSE(CVrdReader::ParsePlain(withChecks("2024030514070x$"), record));
    EXPECT_FALSE(CVrdReader::ParsePlain(withChecks("20240305140709$21,5,27,1.250,1$"), record));
    EXPECT_FALSE(CVrdReader::ParsePlain(withChecks("20240305140709$20,5,27,1.250,1"), record));
    EXPECT_FALSE(CVrdReader::ParsePlain(withChecks("20240305140709$20,5,27,1250,1$"), record));
    EXPECT_FALSE(CVrdReader::ParsePlain(withChecks("20240305140709$20,,27,1.2,1$"), record));
    QByteArray badCheck = withChecks("20240305140709$");
    badCheck[badCheck.size() - 1] = static_cast<char>(badCheck[badCheck.size() - 1] + 1);
    EXPECT_FALSE(CVrdReader::ParsePlain(badCheck, record));
}

} // namespace
