// The real km302 recording while its disk fills up and frees again. The full
// disk is a file-size limit set on the running program (prlimit): a write
// that would take a file past it fails, part-way through the record when
// the file stands a few bytes below it. What the user must see: one message
// for the file that failed, no torn line or record in either log, and the
// records flowing again as soon as there is room, while that message is
// still open.

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>

#include "recording/vrdreader.h"
#include "recording/writefailuretext.h"
#include "tests/e2e/liverig.h"
#include "tests/e2e/textlogscan.h"

namespace {

// Room left above a file: less than the shortest record of either log.
constexpr rlim_t kRoom = 5;
// Records of an earlier session in the text log, so that it stays the larger
// file: a limit just above the binary log then fails both.
constexpr int kEarlierRecords = 2000;

qint64 SizeOf(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? qint64(info.st_size) : -1;
}

// Nanoseconds; a failed record that was cut back still changes it.
long long ModifiedAt(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
}

// The soft limit on the sizes of the files process `pid` writes; the hard
// limit stays, so that the soft one can be raised again.
bool SetFileSizeLimit(pid_t pid, rlim_t bytes)
{
    rlimit limit {};
    if (::prlimit(pid, RLIMIT_FSIZE, nullptr, &limit) != 0)
        return false;
    limit.rlim_cur = std::min(bytes, limit.rlim_max);
    return ::prlimit(pid, RLIMIT_FSIZE, &limit, nullptr) == 0;
}

bool LiftFileSizeLimit(pid_t pid)
{
    return SetFileSizeLimit(pid, RLIM_INFINITY);
}

class FullDiskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(rig.IsValid());
        ASSERT_TRUE(rig.WriteSettings(true));
        QByteArray earlier = "Data i Godzina\tCi\x9Cnienie hPa\r\n";
        for (int i = 0; i < kEarlierRecords; ++i)
            earlier += "2020.01.01 00:00:00\t1000.0\r\n";
        QFile text(rig.TextLogPath());
        ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write(earlier) == earlier.size());
    }

    // Sets the limit `kRoom` bytes above the size of `path`; a record that
    // lands meanwhile moves it along. The limit, or 0 when it cannot be set.
    rlim_t LimitJustAbove(const QString& path)
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            const qint64 size = SizeOf(path);
            if (size < 0 || !SetFileSizeLimit(rig.Program().Pid(), rlim_t(size) + kRoom))
                return 0;
            if (SizeOf(path) == size)
                return rlim_t(size) + kRoom;
        }
        return 0;
    }

    int TextRecords() const
    {
        CTextLogScan scan;
        scan.ReadFile(rig.TextLogPath());
        return scan.Records();
    }

    int BinaryRecords() const
    {
        CVrdReader vrd;
        vrd.ReadFile(rig.BinaryLogPath());
        return int(vrd.Records().size());
    }

    void Figure(const char* name, long long value)
    {
        std::printf("[ figures  ] %s: %lld\n", name, value);
        std::fflush(stdout);
        RecordProperty(name, std::to_string(value));
    }

    CLiveRig rig;
};

TEST_F(FullDiskTest, OneMessageNothingTornAndRecordingResumesWhenSpaceReturns)
{
    ASSERT_TRUE(rig.StartSim({"--value", "1013.2"}));
    ASSERT_TRUE(rig.StartProgram());
    const pid_t pid = rig.Program().Pid();
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return TextRecords() >= kEarlierRecords + 5 && BinaryRecords() >= 5; }, 15000))
        << TextRecords() << " text records, " << BinaryRecords() << " binary records";
    Figure("records before", TextRecords() - kEarlierRecords);

    // The text log's disk fills: each tick its record fails part-way and is
    // cut back, while the binary log, far below the limit, goes on. The
    // binary records written meanwhile count the failed ticks.
    const rlim_t textLimit = LimitJustAbove(rig.TextLogPath());
    ASSERT_NE(0u, textLimit);
    const int textAtLimit = TextRecords();
    const int binaryAtLimit = BinaryRecords();
    qint64 largestText = 0;
    ASSERT_TRUE(CLiveRig::WaitUntil([&] {
        largestText = std::max(largestText, SizeOf(rig.TextLogPath()));
        return BinaryRecords() >= binaryAtLimit + 10
            && CLiveRig::LinesWith(rig.Program().ErrorOutput(), QStringLiteral("km302: ")) >= 1;
    }, 10000)) << BinaryRecords() - binaryAtLimit << " binary records since the limit; "
                << rig.Program().ErrorOutput().toStdString();
    const int textFailedTicks = BinaryRecords() - binaryAtLimit;
    const int textUnderLimit = TextRecords() - textAtLimit;
    ASSERT_TRUE(LiftFileSizeLimit(pid));
    Figure("text records failed", textFailedTicks);
    EXPECT_LE(largestText, qint64(textLimit));
    EXPECT_EQ(0, textUnderLimit);

    // Room again: the text records come back while the message stays open.
    const int textAtLift = TextRecords();
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return TextRecords() >= textAtLift + 5; }, 10000));

    // Now the binary log's disk fills, and with it the text log's, which is
    // larger: both fail every tick. The message about the text log is still
    // open, so nothing more is shown. A record cut back still touches the
    // file's modification time: that counts the failed ticks.
    const rlim_t binaryLimit = LimitJustAbove(rig.BinaryLogPath());
    ASSERT_NE(0u, binaryLimit);
    const qint64 textAtSecondLimit = SizeOf(rig.TextLogPath());
    ASSERT_GT(textAtSecondLimit, qint64(binaryLimit));
    qint64 largestBinary = 0;
    qint64 textSizeSeen = textAtSecondLimit;
    // The write and the cutting back of one record touch the file within a
    // moment; ticks come 100 ms apart.
    constexpr long long kSameTickNs = 30'000'000;
    long long lastTick = ModifiedAt(rig.BinaryLogPath());
    int binaryFailedTicks = 0;
    ASSERT_TRUE(CLiveRig::WaitUntil([&] {
        largestBinary = std::max(largestBinary, SizeOf(rig.BinaryLogPath()));
        textSizeSeen = std::max(textSizeSeen, SizeOf(rig.TextLogPath()));
        const long long touch = ModifiedAt(rig.BinaryLogPath());
        if (touch - lastTick >= kSameTickNs) {
            ++binaryFailedTicks;
            lastTick = touch;
        }
        return binaryFailedTicks >= 5;
    }, 10000)) << binaryFailedTicks << " failed binary records seen";
    const int textAtSecondLift = TextRecords();
    const int binaryAtSecondLift = BinaryRecords();
    ASSERT_TRUE(LiftFileSizeLimit(pid));
    Figure("binary records failed (seen)", binaryFailedTicks);
    EXPECT_LE(largestBinary, qint64(binaryLimit));
    EXPECT_EQ(textAtSecondLimit, textSizeSeen);

    ASSERT_TRUE(CLiveRig::WaitUntil([&] {
        return TextRecords() >= textAtSecondLift + 5 && BinaryRecords() >= binaryAtSecondLift + 5;
    }, 10000));
    ASSERT_EQ(0, rig.StopProgram());
    Figure("text records after", TextRecords() - textAtSecondLift);
    Figure("binary records after", BinaryRecords() - binaryAtSecondLift);

    // One message, about the text log and why; none about the binary log,
    // whose failures all came while that message was open: so it was still
    // open when the text records came back.
    const QByteArray errors = rig.Program().ErrorOutput();
    EXPECT_EQ(1, CLiveRig::LinesWith(errors, QStringLiteral("km302: "))) << errors.toStdString();
    EXPECT_EQ(1, CLiveRig::LinesWith(errors, QStringLiteral("km302: ") + WriteFailureText(rig.TextLogPath(), EFBIG).simplified()))
        << errors.toStdString();
    EXPECT_EQ(0, CLiveRig::LinesWith(errors, rig.BinaryLogPath()));

    // Nothing torn: every line whole, every binary record verified.
    CTextLogScan text;
    ASSERT_TRUE(text.ReadFile(rig.TextLogPath()));
    EXPECT_EQ(0, text.Count(CTextLogScan::Kind::Malformed))
        << text.Story().toStdString() << " first odd line: " << text.FirstMalformed().toStdString();
    CVrdReader vrd;
    ASSERT_TRUE(vrd.ReadFile(rig.BinaryLogPath()));
    EXPECT_EQ(0, vrd.DamagedStretches()) << vrd.DamagedBytes() << " damaged bytes";
    EXPECT_GT(int(vrd.Records().size()), binaryAtSecondLift);

    const QByteArray settings = CLiveRig::ReadFile(rig.SettingsPath());
    EXPECT_TRUE(settings.contains("[LOG]\r\nFILE_LOG=1\r\nFILE_LOG_BIN=1\r\n")) << settings.toStdString();
    EXPECT_TRUE(settings.contains("FILE_INTERVAL=1\r\n"));
    EXPECT_TRUE(settings.contains("[PRESSURE]\r\nBACKGROUND_PRESSURE=16770250\r\n"));
}

} // namespace
