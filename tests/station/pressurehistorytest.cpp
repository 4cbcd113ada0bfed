#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include "recording/binarylog.h"
#include "station/pressurehistory.h"

namespace {

constexpr qint64 kSecond = 1000;
constexpr qint64 kHour = 3600 * kSecond;
// A whole second, as the log's time stamps are.
constexpr qint64 kNow = 1'700'000'000'000;

// The stored record of a reading at `msecUtc`, stamped in local time as the
// program writes it.
QByteArray Record(qint64 msecUtc, bool valid, double hpa)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(msecUtc).toLocalTime();
    const LogTime time(local.date().year(), local.date().month(), local.date().day(), local.time().hour(),
                       local.time().minute(), local.time().second());
    return CBinaryLog::StoredRecord(time, valid, hpa, false, 4711);
}

// Five hours of readings every `step`, falling 2.3 hPa over the last three,
// with a record without a reading every minute.
QByteArray FiveHours(qint64 step)
{
    QByteArray bytes;
    for (qint64 t = kNow - 5 * kHour; t <= kNow; t += step) {
        const double hours = double(t - (kNow - 3 * kHour)) / double(kHour);
        bytes += Record(t, true, 1012.0 - 2.3 * std::max(0.0, hours) / 3.0);
        if (t % (60 * kSecond) == 0)
            bytes += Record(t, false, 0.0);
    }
    return bytes;
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(bytes.size(), file.write(bytes));
}

TEST(PressureHistory, ReadsTheLastThreeHoursBackFromTheBinaryLog)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.vrd"));
    Write(path, FiveHours(10 * kSecond));

    CPressureHistory history;
    // 3 h 10 min of readings every 10 s; the records without one are skipped.
    EXPECT_EQ(1141, history.LoadFromVrd(path, kNow));
    EXPECT_GE(history.Samples().front().msecUtc, kNow - CPressureHistory::kSpanMs - CPressureHistory::kEdgeMs);
    EXPECT_EQ(kNow, history.Samples().back().msecUtc);
    const auto tendency = history.Tendency(kNow);
    ASSERT_TRUE(tendency.has_value());
    EXPECT_EQ(QStringLiteral("-2.3"), tendency->ChangeText());
    EXPECT_EQ(7, tendency->nCode);

    CPressureHistory none;
    EXPECT_EQ(0, none.LoadFromVrd(dir.filePath(QStringLiteral("missing.vrd")), kNow));
    EXPECT_TRUE(none.Samples().empty());
}

TEST(PressureHistory, ADamagedLogGivesOnlyItsValidRecords)
{
    // A record a second, a megabyte of damage an hour ago (more than the tail
    // read first), and a torn record at the end.
    QByteArray bytes = FiveHours(kSecond);
    const QByteArray anHourAgo = Record(kNow - kHour, true, 0.0).left(14);
    const qsizetype cut = bytes.indexOf(anHourAgo.left(10));
    ASSERT_GT(cut, 0);
    bytes.insert(cut, QByteArray(1 << 20, '\x5a'));
    bytes += Record(kNow + kSecond, true, 1009.7).chopped(5);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.vrd"));
    Write(path, bytes);

    CPressureHistory history;
    EXPECT_GT(history.LoadFromVrd(path, kNow), 0);
    EXPECT_EQ(kNow, history.Samples().back().msecUtc);
    const auto tendency = history.Tendency(kNow);
    ASSERT_TRUE(tendency.has_value());
    EXPECT_EQ(QStringLiteral("-2.3"), tendency->ChangeText());
}

} // namespace
