#include <QDateTime>
#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "plot/core/logfollower.h"
#include "plot/core/logreader.h"
#include "recording/binarylog.h"
#include "recording/textlog.h"
#include "tests/recording/logtestsupport.h"
#include "tests/support/scriptedservices.h"
#include "tests/kit/unprivileged.h"

namespace {

qint64 Ms(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC).toMSecsSinceEpoch();
}

struct Written {
    bool bValid;
    double dValue;
    bool bPascals;
    int nSerial;
};

class LogReaderTest : public ::testing::Test {
protected:
    void SetUp() override { services.SetLocalTime(2024, 3, 5, 14, 7, 9); }

    // Writes each record one second after the one before.
    void WriteBinary(const std::vector<Written>& records)
    {
        CBinaryLog log;
        ASSERT_EQ(LogOpenResult::Created, log.Open(path, false));
        for (std::size_t i = 0; i < records.size(); ++i) {
            services.SetLocalTime(2024, 3, 5, 14, 7, 9 + int(i));
            ASSERT_EQ(0, log.WriteRecord(records[i].bValid, records[i].dValue, records[i].bPascals,
                                         records[i].nSerial));
        }
    }
    void WriteText(const std::vector<Written>& records, int separatorCode)
    {
        CTextLog log;
        ASSERT_EQ(LogOpenResult::Created, log.Open(path, false));
        ASSERT_EQ(0, log.WriteStartComment(false, QStringLiteral("Próba w hali ś\nmagazyn"), true, 4321));
        for (std::size_t i = 0; i < records.size(); ++i) {
            services.SetLocalTime(2024, 3, 5, 14, 7, 9 + int(i));
            ASSERT_EQ(0, log.WriteRecord(records[i].bValid, records[i].dValue, records[i].bPascals,
                                         separatorCode));
        }
    }

    CScriptedServices services;
    CScratchFolder folder;
    QString path = folder.Path(QStringLiteral("pomiary.log"));
};

// Edge values: negative, pascals (three decimals of hPa), whole units, a
// record without a value, and a unit change in the middle.
const std::vector<Written> kRecords = {
    {true, 1013.2, false, 77}, {true, -3.5, false, 77}, {true, 101325.0, true, 77},
    {false, 0.0, false, 77},   {true, 99987.0, true, 77}, {true, 1000.0, false, 77},
    {true, -50.5, true, 77},
};

void ExpectValues(const CPlotSeries& s)
{
    ASSERT_EQ(7, s.Size());
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(Ms(2024, 3, 5, 14, 7, 9 + i), s.m_times[std::size_t(i)]) << i;
    const std::vector<float> expected = {1013.2f, -3.5f, 1013.25f, NAN, 999.87f, 1000.0f, -0.505f};
    for (int i = 0; i < 7; ++i) {
        if (std::isnan(expected[std::size_t(i)]))
            EXPECT_TRUE(std::isnan(s.m_values[std::size_t(i)])) << i;
        else
            EXPECT_FLOAT_EQ(expected[std::size_t(i)], s.m_values[std::size_t(i)]) << i;
    }
    EXPECT_EQ(3, s.m_nDecimals);
}

TEST_F(LogReaderTest, ReadsWhatTheRecordingClassesWrite)
{
    WriteBinary(kRecords);
    LogReadResult vrd = CLogReader::Read(path);
    ASSERT_EQ(QString(), vrd.strError);
    ASSERT_EQ(1u, vrd.series.size());
    EXPECT_EQ(77, vrd.series[0].m_nSerialNumber);
    EXPECT_EQ(path, vrd.series[0].m_strFile);
    EXPECT_EQ(0, vrd.nDamaged);
    ExpectValues(vrd.series[0]);

    for (int separator = 0; separator < 3; ++separator) {
        QFile::remove(path);
        WriteText(kRecords, separator);
        LogReadResult text = CLogReader::Read(path);
        ASSERT_EQ(QString(), text.strError) << separator;
        ASSERT_EQ(1u, text.series.size()) << separator;
        EXPECT_EQ(4321, text.series[0].m_nSerialNumber);
        EXPECT_EQ(0, text.nDamaged) << separator;
        ExpectValues(text.series[0]);
    }

    // Line ends of LF only, as a file copied through another system has them.
    QByteArray lf = CScratchFolder::Read(path);
    lf.replace("\r\n", "\n");
    CScratchFolder::Write(path, lf);
    LogReadResult unix = CLogReader::Read(path);
    ASSERT_EQ(1u, unix.series.size());
    ExpectValues(unix.series[0]);
}

TEST_F(LogReaderTest, OneSeriesPerInstrumentInABinaryLog)
{
    // Gaps before any value join the first instrument; a gap after a value joins its instrument.
    WriteBinary({{false, 0, false, 0}, {true, 1000.0, false, 5}, {true, 990.0, false, 6},
                 {false, 0, false, 6}, {true, 1001.0, false, 5}});
    const LogReadResult result = CLogReader::Read(path);
    ASSERT_EQ(2u, result.series.size());
    EXPECT_EQ(5, result.series[0].m_nSerialNumber);
    EXPECT_EQ(6, result.series[1].m_nSerialNumber);
    ASSERT_EQ(3, result.series[0].Size());
    EXPECT_TRUE(std::isnan(result.series[0].m_values[0]));
    EXPECT_FLOAT_EQ(1001.0f, result.series[0].m_values[2]);
    ASSERT_EQ(2, result.series[1].Size());
    EXPECT_TRUE(std::isnan(result.series[1].m_values[1]));
    EXPECT_EQ(1, result.series[0].m_nDecimals);
}

TEST_F(LogReaderTest, AClockSetBackKeepsFileOrderWithTimesThatNeverDecrease)
{
    CScratchFolder::Write(path, "Data i Godzina;Ci\x9Cnienie hPa\r\n"
                                "2024.10.27 02:59:58;1000.1\r\n"
                                "2024.10.27 02:59:59;1000.2\r\n"
                                "2024.10.27 02:00:00;1000.3\r\n"   // the hour repeats
                                "2024.10.27 02:00:01;1000.4\r\n"
                                "2024.10.27 03:00:00;1000.5\r\n");
    const LogReadResult result = CLogReader::Read(path);
    ASSERT_EQ(1u, result.series.size());
    const CPlotSeries& s = result.series[0];
    const std::vector<qint64> times = {Ms(2024, 10, 27, 2, 59, 58), Ms(2024, 10, 27, 2, 59, 59),
                                       Ms(2024, 10, 27, 2, 59, 59), Ms(2024, 10, 27, 2, 59, 59),
                                       Ms(2024, 10, 27, 3, 0, 0)};
    EXPECT_EQ(times, s.m_times);
    EXPECT_EQ((std::vector<float>{1000.1f, 1000.2f, 1000.3f, 1000.4f, 1000.5f}), s.m_values);
}

TEST_F(LogReaderTest, DamagedRecordsAreSkippedAndCounted)
{
    WriteBinary({{true, 1000.0, false, 5}, {true, 1001.0, false, 5}, {true, 1002.0, false, 5},
                 {true, 1003.0, false, 5}});
    QByteArray bytes = CScratchFolder::Read(path);
    const qsizetype record = bytes.size() / 4;
    bytes[record + 3] = char(bytes[record + 3] ^ 0x01);          // a wrong digit in the second
    bytes.insert(2 * record, QByteArray("\x01\x02garbage\xC0\x10\x10", 12));
    bytes.chop(5);                                               // the last one torn
    CScratchFolder::Write(path, bytes);
    const LogReadResult result = CLogReader::Read(path);
    ASSERT_EQ(1u, result.series.size());
    EXPECT_EQ((std::vector<float>{1000.0f, 1002.0f}), result.series[0].m_values);
    EXPECT_EQ(3, result.nDamaged);

    CScratchFolder::Write(path, "Data i Godzina\tCi\x9Cnienie hPa\r\n"
                                "2024.03.05 14:07:09\t1000.0\r\n"
                                "2024.03.05 14:07:10\tabc\r\n"
                                "2024.13.05 14:07:11\t1000.0\r\n"
                                "2024.03.05 14:07:12\t1000.5");   // the last line without its end
    const LogReadResult text = CLogReader::Read(path);
    ASSERT_EQ(1u, text.series.size());
    EXPECT_EQ((std::vector<float>{1000.0f, 1000.5f}), text.series[0].m_values);
    EXPECT_EQ(2, text.nDamaged);
}

TEST_F(LogReaderTest, BadFilesGiveAPolishMessageAndNoSeries)
{
    const auto expectError = [](const QString& file, const char* words) {
        const LogReadResult result = CLogReader::Read(file);
        EXPECT_TRUE(result.series.empty()) << file.toStdString();
        EXPECT_TRUE(result.strError.contains(QString::fromUtf8(words))) << result.strError.toStdString();
    };
    expectError(folder.Path(QStringLiteral("brak.vrd")), "nie istnieje");
    expectError(folder.Path(QString()), "jest folderem");
    CScratchFolder::Write(path, QByteArray());
    expectError(path, "jest pusty");
    CScratchFolder::Write(path, QByteArray("\x7F" "ELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00", 16)
                                    + QByteArray(2000, '\0'));
    expectError(path, "zawiera dane binarne");
    CScratchFolder::Write(path, "tylko komentarz\r\nKM-302 nr 5\r\n");
    expectError(path, "nie zawiera żadnego zapisu");
    CScratchFolder::Write(path, QByteArray(300, char(0xCE)) + QByteArray("\xC0\x01\x02"));
    expectError(path, "nie zawiera żadnego poprawnego zapisu");

    // Root reads any file: the unreadable file is tried as an ordinary user.
    CScratchFolder::Write(path, "2024.03.05 14:07:09\t1000.0\r\n");
    ASSERT_EQ(0, ::chmod(QFile::encodeName(path).constData(), 0));
    ASSERT_EQ(0, ::chmod(QFile::encodeName(folder.Path(QString())).constData(), 0755));
    const int status = RunUnprivileged([&] {
        const LogReadResult result = CLogReader::Read(path);
        return result.series.empty() && result.strError.contains(QStringLiteral("Brak uprawnień")) ? 0 : 1;
    });
    EXPECT_EQ(0, status);
}

TEST_F(LogReaderTest, RecordsAcrossReadBlocksAndAVeryLongLineAreAllRead)
{
    // Files longer than a read block (16 MiB): records cut by the block's end
    // are completed from the next block.
    const LogTime time = services.GetLocalTime();
    const QByteArray pair = CBinaryLog::StoredRecord(time, true, 1000.0, false, 3)
        + CBinaryLog::StoredRecord(time, false, 0, false, 3);
    CScratchFolder::Write(path, pair.repeated(340'000));
    const LogReadResult vrd = CLogReader::Read(path);
    ASSERT_EQ(1u, vrd.series.size());
    EXPECT_EQ(680'000, vrd.series[0].Size());
    EXPECT_EQ(0, vrd.nDamaged);
    EXPECT_FLOAT_EQ(1000.0f, vrd.series[0].m_values[679'998]);

    // A comment line of 2 MiB across the end of the first block, starting
    // more than the room kept for an unparsed end (1 MiB) before it.
    const QByteArray line("2024.03.05 14:07:09\t1013.2\r\n");
    const QByteArray comment = QByteArray(2 << 20, 'x') + "\r\n";
    const int before = (16 << 20) / int(line.size()) - 50'000;
    CScratchFolder::Write(path, line.repeated(before) + comment + line.repeated(300'000));
    const LogReadResult text = CLogReader::Read(path);
    ASSERT_EQ(1u, text.series.size());
    EXPECT_EQ(before + 300'000, text.series[0].Size());
    EXPECT_EQ(1, text.nDamaged);   // the comment: longer than any line of a log
    EXPECT_FLOAT_EQ(1013.2f, text.series[0].m_values.back());
}

// Logs rotated by logrotate: "compress" gives .vrd.gz / .txt.gz (gzip, told by
// content), no "extension" gives cisnienie.vrd.1; each reads as the log it was.
TEST_F(LogReaderTest, RotatedAndCompressedLogsAreReadByContent)
{
    const auto gzip = [](const QString& to, const QByteArray& bytes) {
        gzFile gz = gzopen(QFile::encodeName(to).constData(), "wb");
        ASSERT_NE(nullptr, gz);
        ASSERT_EQ(int(bytes.size()), gzwrite(gz, bytes.constData(), unsigned(bytes.size())));
        ASSERT_EQ(Z_OK, gzclose(gz));
    };
    WriteBinary(kRecords);
    const QByteArray vrd = CScratchFolder::Read(path);
    CScratchFolder::Write(folder.Path(QStringLiteral("cisnienie.vrd.1")), vrd);
    gzip(folder.Path(QStringLiteral("cisnienie.vrd.2.gz")), vrd);
    QFile::remove(path);
    WriteText(kRecords, 0);
    gzip(folder.Path(QStringLiteral("cisnienie.txt.gz")), CScratchFolder::Read(path));
    for (const char* name : {"cisnienie.vrd.1", "cisnienie.vrd.2.gz", "cisnienie.txt.gz"}) {
        const LogReadResult r = CLogReader::Read(folder.Path(QString::fromUtf8(name)));
        ASSERT_EQ(1u, r.series.size()) << name << " " << r.strError.toStdString();
        ExpectValues(r.series[0]);
        EXPECT_EQ(0, r.nDamaged) << name;
    }
    EXPECT_TRUE(CLogReader::IsCompressed(folder.Path(QStringLiteral("cisnienie.txt.gz"))));

    // Cut short (a rotation interrupted): what was inflated is read, the rest damaged.
    const QByteArray gz = CScratchFolder::Read(folder.Path(QStringLiteral("cisnienie.vrd.2.gz")));
    CScratchFolder::Write(path, gz.left(gz.size() - 12));
    const LogReadResult cut = CLogReader::Read(path);
    ASSERT_EQ(1u, cut.series.size()) << cut.strError.toStdString();
    EXPECT_GE(cut.series[0].Size(), 4);
    EXPECT_GE(cut.nDamaged, 1);
}

// A named pipe or a folder is refused at once, by the reader and the follower
// alike: opening a pipe would wait for a writer forever.
TEST_F(LogReaderTest, OnlyRegularFilesAreOpenedAndNothingWaits)
{
    const QString fifo = folder.Path(QStringLiteral("f"));
    ASSERT_EQ(0, ::mkfifo(QFile::encodeName(fifo).constData(), 0600));
    const LogReadResult r = CLogReader::Read(fifo);
    EXPECT_TRUE(r.series.empty());
    EXPECT_TRUE(r.strError.contains(QString::fromUtf8("nie jest zwykłym plikiem"))) << r.strError.toStdString();
    for (const QString& special : {fifo, folder.Path(QString())}) {
        CLogFollower follower(special);
        std::vector<CPlotSeries> series;
        QString error;
        EXPECT_FALSE(follower.Poll(series, &error));
        EXPECT_FALSE(error.isEmpty()) << special.toStdString();
    }
}

// A checksummed record or a text line whose value no barometer gives (1e60,
// out of float range, or 1e17) is damaged; a run of bytes without a line end
// (NULs) is skipped as one damaged stretch, not held whole.
TEST_F(LogReaderTest, AbsurdValuesAndRunsWithoutALineEndAreDamaged)
{
    const LogTime time = services.GetLocalTime();
    CScratchFolder::Write(path, CBinaryLog::StoredRecord(time, true, 1000.0, false, 3)
                                    + CBinaryLog::StoredRecord(time, true, 1e60, false, 3)
                                    + CBinaryLog::StoredRecord(time, true, -2e7, false, 3)
                                    + CBinaryLog::StoredRecord(time, true, 1001.0, false, 3));
    const LogReadResult vrd = CLogReader::Read(path);
    ASSERT_EQ(1u, vrd.series.size());
    EXPECT_EQ((std::vector<float>{1000.0f, 1001.0f}), vrd.series[0].m_values);
    EXPECT_EQ(2, vrd.nDamaged);

    // Text for the first few kilobytes, where the kind of file is told.
    CScratchFolder::Write(path, QByteArray("komentarz\n").repeated(500)
                                    + QByteArray("2024.03.05 14:07:09\t1000.0\n"
                                           "2024.03.05 14:07:10\t99999999999999999\n")
                                    + QByteArray(5 << 20, '\0') + "\n"
                                    + QByteArray("2024.03.05 14:07:11\t1001.0\n")
                                    + QByteArray(10'000, 'x') + "\n"
                                    + QByteArray("2024.03.05 14:07:12\t1002.0\n")
                                    + QByteArray(100'000, '\0'));   // to the end
    const LogReadResult text = CLogReader::Read(path);
    ASSERT_EQ(1u, text.series.size());
    EXPECT_EQ((std::vector<float>{1000.0f, 1001.0f, 1002.0f}), text.series[0].m_values);
    EXPECT_EQ(4, text.nDamaged);
}

TEST_F(LogReaderTest, ProgressIsReportedAndCancels)
{
    WriteBinary({{true, 1000.0, false, 5}, {true, 1001.0, false, 5}});
    std::vector<double> fractions;
    const LogReadResult done = CLogReader::Read(path, [&](double f) {
        fractions.push_back(f);
        return true;
    });
    ASSERT_FALSE(fractions.empty());
    EXPECT_DOUBLE_EQ(1.0, fractions.back());
    EXPECT_EQ(1u, done.series.size());

    const LogReadResult cancelled = CLogReader::Read(path, [](double) { return false; });
    EXPECT_TRUE(cancelled.series.empty());
    EXPECT_TRUE(cancelled.strError.contains(QStringLiteral("przerwano")));
}

} // namespace
