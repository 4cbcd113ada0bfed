#include <QFile>

#include <gtest/gtest.h>

#include <cmath>

#include "plot/core/logfollower.h"
#include "recording/binarylog.h"
#include "tests/recording/logtestsupport.h"

namespace {

LogTime At(int second)
{
    return LogTime(2024, 3, 5, 14, 7, second);
}

void Append(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    ASSERT_EQ(bytes.size(), file.write(bytes));
}

TEST(LogFollower, PicksUpAppendedRecordsAndCompletesATornOne)
{
    CScratchFolder folder;
    const QString path = folder.Path(QStringLiteral("pomiary.vrd"));
    CScratchFolder::Write(path, CBinaryLog::StoredRecord(At(1), true, 1000.0, false, 8));
    CLogFollower follower(path);
    std::vector<CPlotSeries> series;
    ASSERT_TRUE(follower.Poll(series));
    ASSERT_EQ(1u, series.size());
    EXPECT_EQ(1, series[0].Size());
    EXPECT_FALSE(follower.Poll(series));   // nothing new

    // A record written in two parts: the first part waits for the rest.
    const QByteArray second = CBinaryLog::StoredRecord(At(2), false, 0, false, 8);
    Append(path, second.first(10));
    EXPECT_FALSE(follower.Poll(series));
    Append(path, second.sliced(10) + CBinaryLog::StoredRecord(At(3), true, 1001.5, false, 8));
    ASSERT_TRUE(follower.Poll(series));
    ASSERT_EQ(3, series[0].Size());
    EXPECT_TRUE(std::isnan(series[0].m_values[1]));
    EXPECT_FLOAT_EQ(1001.5f, series[0].m_values[2]);

    // Another instrument adds a series; the first one keeps its records.
    Append(path, CBinaryLog::StoredRecord(At(4), true, 990.0, false, 9));
    ASSERT_TRUE(follower.Poll(series));
    ASSERT_EQ(2u, series.size());
    EXPECT_EQ(9, series[1].m_nSerialNumber);
    EXPECT_EQ(8, series[0].m_nSerialNumber);
    EXPECT_EQ(3, series[0].Size());
    EXPECT_EQ(0, follower.Damaged());
}

TEST(LogFollower, AFileEmptiedOrRewrittenIsReadAgain)
{
    CScratchFolder folder;
    const QString path = folder.Path(QStringLiteral("pomiary.csv"));
    CScratchFolder::Write(path, "Data i Godzina,Ci\x9Cnienie hPa\r\n2024.03.05 14:07:09,1000.0\r\n"
                                "2024.03.05 14:07:10,10");
    CLogFollower follower(path);
    std::vector<CPlotSeries> series;
    ASSERT_TRUE(follower.Poll(series));
    ASSERT_EQ(1, series[0].Size());       // the unfinished line waits
    Append(path, "01.5\r\n");
    ASSERT_TRUE(follower.Poll(series));
    EXPECT_EQ((std::vector<float>{1000.0f, 1001.5f}), series[0].m_values);

    CScratchFolder::Write(path, QByteArray());
    EXPECT_TRUE(follower.Poll(series));
    EXPECT_TRUE(series.empty());
    // Rewritten in pascals, longer than before: read from the start, not from the old offset.
    CScratchFolder::Write(path, "Data i Godzina;Ci\x9Cnienie Pa\r\n2024.03.06 08:00:00;100000.0\r\n"
                                "2024.03.06 08:00:01;100010.0\r\n2024.03.06 08:00:02;100020.0\r\n");
    ASSERT_TRUE(follower.Poll(series));
    ASSERT_EQ(1u, series.size());
    EXPECT_EQ((std::vector<float>{1000.0f, 1000.1f, 1000.2f}), series[0].m_values);

    QString error;
    QFile::remove(path);
    EXPECT_FALSE(follower.Poll(series, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("nie istnieje")));
    EXPECT_EQ(3, series[0].Size());       // what was read stays
}

} // namespace
