#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>

#include "recording/binarylog.h"
#include "recording/textlog.h"
#include "recording/vrdreader.h"
#include "tests/recording/logtestsupport.h"
#include "tests/support/scriptedservices.h"

namespace {

QByteArray Hex(const char* spaced)
{
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', ""));
}

// The three stored records of 2024-03-05 14:07:09, serial number 1234.
const QByteArray kValidHpa = Hex(
    "CE D0 CE CC D0 CD D0 CB CF CC D0 C9 D0 C7 DC CE D0 D4 CF CE CD CC D4 CE C9 D4 CF D0 CF CD D2 CE D4 CF DC C0 45 39");
const QByteArray kValidPa = Hex(
    "CE D0 CE CC D0 CD D0 CB CF CC D0 C9 D0 C7 DC CE D0 D4 CF CE CD CC D4 CE C9 D4 CF D0 CF CD D2 CE CB D0 D4 CF DC C0 DD CF");
const QByteArray kNotValid = Hex("CE D0 CE CC D0 CD D0 CB CF CC D0 C9 D0 C7 DC C0 10 0C");

class BinaryLogTest : public ::testing::Test {
protected:
    void SetUp() override { services.SetLocalTime(2024, 3, 5, 14, 7, 9); }
    QByteArray Contents() const { return CScratchFolder::Read(path); }

    CScriptedServices services;
    CScratchFolder folder;
    QString path = folder.Path(QStringLiteral("pomiary.vrd"));
    CBinaryLog log;
};

TEST_F(BinaryLogTest, WorkedExamplesByteForByte)
{
    EXPECT_EQ(QByteArray("20240305140709$20,1234,27,1013.2,1$@\xBB\xC7"),
              CBinaryLog::PlainRecord(services.GetLocalTime(), true, 1013.2, false, 1234));
    EXPECT_EQ(QByteArray("20240305140709$20,1234,27,1013.250,1$@\x23\x31"),
              CBinaryLog::PlainRecord(services.GetLocalTime(), true, 101325.0, true, 1234));
    EXPECT_EQ(QByteArray("20240305140709$@\xF0\xF4"),
              CBinaryLog::PlainRecord(services.GetLocalTime(), false, 1013.2, false, 1234));

    ASSERT_EQ(LogOpenResult::Created, log.Open(path, true));
    EXPECT_EQ(QByteArray(), Contents());   // opening writes nothing
    ASSERT_EQ(0, log.WriteRecord(true, 1013.2, false, 1234));
    ASSERT_EQ(0, log.WriteRecord(true, 101325.0, true, 1234));
    ASSERT_EQ(0, log.WriteRecord(false, 1013.2, false, 1234));
    EXPECT_EQ(kValidHpa + kValidPa + kNotValid, Contents());
}

TEST_F(BinaryLogTest, PascalsAreStoredAsHectopascalsWithThreeDecimals)
{
    ASSERT_EQ(LogOpenResult::Created, log.Open(path, true));
    ASSERT_EQ(0, log.WriteRecord(true, 99987.0, true, 7));
    ASSERT_EQ(0, log.WriteRecord(true, 50.5, true, 7));     // 0.505 hPa, a tie in decimal
    ASSERT_EQ(0, log.WriteRecord(true, 999.95, false, 0));   // serial 0 is still written

    CVrdReader reader;
    ASSERT_TRUE(reader.ReadFile(path));
    ASSERT_EQ(3u, reader.Records().size());
    EXPECT_DOUBLE_EQ(999.87, reader.Records()[0].dPressureHpa);
    EXPECT_EQ(QByteArray("20240305140709$20,7,27,999.870,1$"),
              CBinaryLog::PlainRecord(services.GetLocalTime(), true, 99987.0, true, 7).chopped(3));
    EXPECT_EQ(QByteArray("20240305140709$20,7,27,0.505,1$"),
              CBinaryLog::PlainRecord(services.GetLocalTime(), true, 50.5, true, 7).chopped(3));
    EXPECT_EQ(QByteArray("20240305140709$20,0,27,1000.0,1$"),
              CBinaryLog::PlainRecord(services.GetLocalTime(), true, 999.95, false, 0).chopped(3));
    EXPECT_EQ(0, reader.Records()[2].nSerialNumber);
    EXPECT_EQ(0, reader.DamagedStretches());
}

TEST_F(BinaryLogTest, ExistingFileQuestionStartupAndLaterRuns)
{
    CScratchFolder::Write(path, kValidHpa);
    // Start-up: appended without a question.
    ASSERT_EQ(LogOpenResult::Appended, log.Open(path, false));
    ASSERT_EQ(0, log.WriteRecord(false, 0.0, false, 0));
    log.Close();
    EXPECT_TRUE(services.MessageBoxes().empty());
    EXPECT_EQ(kValidHpa + kNotValid, Contents());

    // The command: Yes appends, after the records of earlier runs, with nothing between.
    services.QueueMessageBoxAnswer(IDYES);
    ASSERT_EQ(LogOpenResult::AppendedByAnswer, log.Open(path, true));
    ASSERT_EQ(0, log.WriteRecord(true, 101325.0, true, 1234));
    log.Close();
    EXPECT_EQ(kValidHpa + kNotValid + kValidPa, Contents());
    ASSERT_EQ(1u, services.MessageBoxes().size());
    EXPECT_EQ(QStringLiteral("Plik binarny już istnieje.\r\nWybierz Tak aby dopisywać wyniki do "
                             "poprzednich,\r\nwybierz Nie aby skasować poprzednią zawartość pliku."),
              services.MessageBoxes()[0].text);
    EXPECT_EQ(MB_YESNO | MB_ICONQUESTION, services.MessageBoxes()[0].type);

    // No empties it.
    services.QueueMessageBoxAnswer(IDNO);
    ASSERT_EQ(LogOpenResult::Emptied, log.Open(path, true));
    EXPECT_EQ(QByteArray(), Contents());
}

TEST_F(BinaryLogTest, ARecordCutShortByTheDiskLeavesOnlyWholeRecords)
{
    ASSERT_EQ(LogOpenResult::Created, log.Open(path, true));
    ASSERT_EQ(0, log.WriteRecord(true, 1013.2, false, 1234));
    log.Close();

    const int result = RunInChild([&] {
        CBinaryLog child;
        if (child.Open(path, false) != LogOpenResult::Appended)
            return 10;
        if (!LimitFileSize(static_cast<rlim_t>(kValidHpa.size()) + 20))
            return 11;
        if (child.WriteRecord(true, 101325.0, true, 1234) != EFBIG || !child.IsOpen())
            return 12;
        if (!LimitFileSize(RLIM_INFINITY))
            return 13;
        return child.WriteRecord(false, 0.0, false, 0) == 0 ? 0 : 14;
    });
    ASSERT_EQ(0, result);
    EXPECT_EQ(kValidHpa + kNotValid, Contents());
}

TEST_F(BinaryLogTest, TheTextAndTheBinaryLogCannotShareOneFile)
{
    ASSERT_EQ(LogOpenResult::Created, log.Open(path, true));
    CTextLog second;
    EXPECT_EQ(LogOpenResult::Failed, second.Open(path, false));
}

TEST_F(BinaryLogTest, ADeviceWithoutSynchronisationTakesRecords)
{
    // /dev/null cannot be flushed; that is no write failure.
    ASSERT_EQ(LogOpenResult::Appended, log.Open(QStringLiteral("/dev/null"), false));
    EXPECT_EQ(0, log.WriteRecord(true, 1013.2, false, 1234));
}

} // namespace
