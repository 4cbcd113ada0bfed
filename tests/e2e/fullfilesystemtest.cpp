// The real km302 recording into a folder on a small filesystem of its own (a
// 256 KiB tmpfs the test mounts, so the test runs as root) that a filler file
// fills up and later frees: once when the logs are opened at start-up and once
// while records are flowing. What the user must see: one message about the
// full disk, no torn line or record in either log, and both logs growing
// again by themselves once there is room, with the message still open.

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>

#include "recording/vrdreader.h"
#include "recording/writefailuretext.h"
#include "tests/e2e/liverig.h"
#include "tests/kit/smalltmpfs.h"
#include "tests/e2e/textlogscan.h"

namespace {

class FullFilesystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(rig.IsValid());
        ASSERT_TRUE(disk.IsMounted()) << "mounting a tmpfs (needs root): " << disk.Error();
        ASSERT_TRUE(QDir().mkpath(rig.FilePath(QStringLiteral("KM302"))));
        const QByteArray settings = "[GENERAL]\r\nPORT_NR=40\r\nSHOW_ADV=0\r\n[LOG]\r\nFILE_LOG=1\r\nFILE_LOG_BIN=1\r\n"
                                    "FILE_NAME=" + QFile::encodeName(TextLog()) + "\r\nFILE_NAME_BIN="
            + QFile::encodeName(BinaryLog()) + "\r\nFILE_INTERVAL=1\r\n[PORTS]\r\nCOM40="
            + QFile::encodeName(rig.LinkPath()) + "\r\n";
        QFile f(rig.SettingsPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(settings) == settings.size());
        f.close();
        ASSERT_TRUE(rig.StartSim({"--value", "1013.2"}));
    }

    QString Folder() const { return rig.FilePath(QStringLiteral("disk")); }
    QString TextLog() const { return Folder() + QStringLiteral("/pomiary.txt"); }
    QString BinaryLog() const { return Folder() + QStringLiteral("/pomiary.vrd"); }
    QString Filler() const { return Folder() + QStringLiteral("/filler"); }

    bool Fill() const { return CSmallTmpfs::Fill(Filler()); }

    bool Free() const { return QFile::remove(Filler()); }

    int TextRecords() const
    {
        CTextLogScan scan;
        scan.ReadFile(TextLog());
        return scan.Records();
    }

    int BinaryRecords() const
    {
        CVrdReader vrd;
        vrd.ReadFile(BinaryLog());
        return int(vrd.Records().size());
    }

    int Messages() { return CLiveRig::LinesWith(rig.Program().ErrorOutput(), QStringLiteral("km302: ")); }

    // Room again: both logs grow by whole records while the message stays
    // open; then, after a logout, one message, about a full disk, and
    // nothing torn in either log.
    void ExpectRecordingResumesWholeAfterOneMessage()
    {
        const int text = TextRecords();
        const int binary = BinaryRecords();
        ASSERT_TRUE(Free());
        EXPECT_TRUE(CLiveRig::WaitUntil([&] { return TextRecords() >= text + 5 && BinaryRecords() >= binary + 5; }, 10000))
            << TextRecords() - text << " text and " << BinaryRecords() - binary << " binary records since space returned";
        ASSERT_EQ(0, rig.StopProgram());

        const QByteArray errors = rig.Program().ErrorOutput();
        EXPECT_EQ(1, CLiveRig::LinesWith(errors, QStringLiteral("km302: "))) << errors.toStdString();
        EXPECT_EQ(1, CLiveRig::LinesWith(errors, QStringLiteral("km302: ") + WriteFailureText(TextLog(), ENOSPC).simplified())
                         + CLiveRig::LinesWith(errors, QStringLiteral("km302: ") + WriteFailureText(BinaryLog(), ENOSPC).simplified()))
            << errors.toStdString();
        CTextLogScan scan;
        ASSERT_TRUE(scan.ReadFile(TextLog()));
        EXPECT_EQ(0, scan.Count(CTextLogScan::Kind::Malformed))
            << scan.Story().toStdString() << " first odd line: " << scan.FirstMalformed().toStdString();
        CVrdReader vrd;
        ASSERT_TRUE(vrd.ReadFile(BinaryLog()));
        EXPECT_EQ(0, vrd.DamagedStretches()) << vrd.DamagedBytes() << " damaged bytes";
    }

    CLiveRig rig;
    CSmallTmpfs disk {rig.FilePath(QStringLiteral("disk"))};
};

TEST_F(FullFilesystemTest, FullWhenTheLogsOpenAtStartUp)
{
    ASSERT_TRUE(Fill());
    ASSERT_TRUE(rig.StartProgram());
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return Messages() >= 1; }, 10000)) << "no message about the full disk";
    ExpectRecordingResumesWholeAfterOneMessage();
}

TEST_F(FullFilesystemTest, FullWhileRecording)
{
    // A log fails once the last page of the filesystem it holds is used up.
    // An earlier session leaves the text log some 15 records short of a
    // page, so that it fails soon after the disk fills.
    QByteArray earlier = "Data i Godzina\tCi\x9Cnienie hPa\r\n";
    while (earlier.size() < 4096 - 15 * 28)
        earlier += "2020.01.01 00:00:00\t1000.0\r\n";
    QFile text(TextLog());
    ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write(earlier) == earlier.size());
    text.close();
    const int earlierRecords = TextRecords();

    ASSERT_TRUE(rig.StartProgram());
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return TextRecords() >= earlierRecords + 5 && BinaryRecords() >= 5; }, 15000))
        << TextRecords() - earlierRecords << " text records, " << BinaryRecords() << " binary records";
    ASSERT_TRUE(Fill());
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return Messages() >= 1; }, 20000)) << "no message about the full disk";
    ExpectRecordingResumesWholeAfterOneMessage();
}

} // namespace
