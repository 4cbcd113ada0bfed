#include "publish/recordspool.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "tests/kit/scratchfolder.h"
#include "tests/kit/smalltmpfs.h"

namespace {

class RecordSpoolTest : public ::testing::Test {
protected:
    QString Path() const { return m_folder.Path("state/km302/KM302.spool"); }

    static QByteArray Payload(int n) { return QByteArray("{\"n\":") + QByteArray::number(n) + "}"; }

    // Everything waiting, oldest first, emptying the spool.
    static QList<QByteArray> Drain(CRecordSpool& spool)
    {
        QList<QByteArray> out;
        while (auto r = spool.Peek()) {
            out << r->topic.toUtf8() + ' ' + r->payload;
            spool.Pop();
        }
        return out;
    }

    CScratchFolder m_folder;
};

TEST_F(RecordSpoolTest, KeepsOrderAndDeliveredPositionAcrossReopen)
{
    {
        CRecordSpool spool(Path(), 1 << 20);
        ASSERT_TRUE(spool.Open());
        for (int i = 1; i <= 3; ++i)
            ASSERT_TRUE(spool.Append("km302/1234/record", Payload(i)).bStored);
        ASSERT_EQ(spool.Peek()->payload, Payload(1));
        spool.Pop();
    }
    CRecordSpool spool(Path(), 1 << 20);
    ASSERT_TRUE(spool.Open());
    EXPECT_EQ(Drain(spool), (QList<QByteArray>{"km302/1234/record {\"n\":2}", "km302/1234/record {\"n\":3}"}));
    EXPECT_TRUE(spool.DamagedPath().isEmpty());
    // Drained: the file is back to its header.
    EXPECT_EQ(QFile(Path()).size(), CRecordSpool::kHeaderSize);
}

TEST_F(RecordSpoolTest, TornTailOfAKilledWriterIsCutAndLaterRecordsFollowTheGoodOnes)
{
    {
        CRecordSpool spool(Path(), 1 << 20);
        ASSERT_TRUE(spool.Open());
        spool.Append("t", Payload(1));
        spool.Append("t", Payload(2));
    }
    const QByteArray good = CScratchFolder::Read(Path());
    // A record whose write stopped after 10 of its 100 body bytes.
    QByteArray torn("\x64\0\0\0\x12\x34\x56\x78", 8);
    torn += QByteArray(10, 'x');
    CScratchFolder::Write(Path(), good + torn);
    {
        CRecordSpool spool(Path(), 1 << 20);
        ASSERT_TRUE(spool.Open());
        EXPECT_TRUE(spool.DamagedPath().isEmpty());
        spool.Append("t", Payload(3));
    }
    // A whole last record with a bad checksum (a torn page) is cut too.
    QByteArray bytes = CScratchFolder::Read(Path());
    bytes[bytes.size() - 1] = '!';
    CScratchFolder::Write(Path(), bytes);
    CRecordSpool spool(Path(), 1 << 20);
    ASSERT_TRUE(spool.Open());
    EXPECT_EQ(Drain(spool), (QList<QByteArray>{"t {\"n\":1}", "t {\"n\":2}"}));
    EXPECT_FALSE(QFile::exists(Path() + ".damaged"));
}

TEST_F(RecordSpoolTest, DamageInTheMiddleKeepsTheFileAsideAndTheGoodRecordsBeforeIt)
{
    {
        CRecordSpool spool(Path(), 1 << 20);
        ASSERT_TRUE(spool.Open());
        for (int i = 1; i <= 3; ++i)
            spool.Append("t", Payload(i));
    }
    QByteArray bytes = CScratchFolder::Read(Path());
    bytes[bytes.indexOf("\"n\":2") + 4] = '9';
    CScratchFolder::Write(Path(), bytes);
    CRecordSpool spool(Path(), 1 << 20);
    ASSERT_TRUE(spool.Open());
    EXPECT_EQ(spool.DamagedPath(), Path() + ".damaged");
    EXPECT_EQ(CScratchFolder::Read(Path() + ".damaged"), bytes);
    ASSERT_TRUE(spool.Append("t", Payload(4)).bStored);
    EXPECT_EQ(Drain(spool), (QList<QByteArray>{"t {\"n\":1}", "t {\"n\":4}"}));

    // Not a spool at all: started over, kept aside.
    CScratchFolder::Write(Path(), "garbage that is not a spool file");
    CRecordSpool other(Path(), 1 << 20);
    ASSERT_TRUE(other.Open());
    EXPECT_TRUE(other.IsEmpty());
    EXPECT_EQ(CScratchFolder::Read(Path() + ".damaged"), "garbage that is not a spool file");
}

TEST_F(RecordSpoolTest, FullSpoolDropsTheOldestSaysSoOnceAndStaysBounded)
{
    const qint64 nRecord = CRecordSpool::kRecordHeaderSize + 2 + 1 + Payload(10).size();
    CRecordSpool spool(Path(), 5 * nRecord);
    ASSERT_TRUE(spool.Open());
    int nFirstDrops = 0;
    int nDropped = 0;
    for (int i = 10; i < 18; ++i) {
        const CRecordSpool::AppendResult r = spool.Append("t", Payload(i));
        ASSERT_TRUE(r.bStored);
        nFirstDrops += r.bFirstDrop;
        nDropped += r.nDropped;
    }
    EXPECT_EQ(nFirstDrops, 1);
    EXPECT_EQ(nDropped, 3);
    EXPECT_EQ(spool.Bytes(), 5 * nRecord);
    EXPECT_EQ(spool.Peek()->payload, Payload(13));

    // A long outage: the file stays near the bound, the newest are kept.
    for (int i = 18; i < 90; ++i)
        spool.Append("t", Payload(i));
    EXPECT_LE(QFile(Path()).size(), CRecordSpool::kHeaderSize + 5 * nRecord * 3 / 2 + nRecord);
    CRecordSpool reopened(Path(), 5 * nRecord);
    ASSERT_TRUE(reopened.Open());
    EXPECT_EQ(Drain(reopened),
              (QList<QByteArray>{"t {\"n\":85}", "t {\"n\":86}", "t {\"n\":87}", "t {\"n\":88}", "t {\"n\":89}"}));
    // Drained, a new overflow is said again.
    bool bSaid = false;
    for (int i = 0; i < 6; ++i)
        bSaid |= reopened.Append("t", Payload(10 + i)).bFirstDrop;
    EXPECT_TRUE(bSaid);
}

TEST_F(RecordSpoolTest, FullDiskRefusesTheRecordWithoutLeavingAPieceOfIt)
{
    CSmallTmpfs disk(m_folder.Path("disk"));
    ASSERT_TRUE(disk.IsMounted()) << disk.Error();
    const QString path = m_folder.Path("disk/KM302.spool");
    CRecordSpool spool(path, 1 << 20);
    ASSERT_TRUE(spool.Open());
    spool.Append("t", Payload(1));
    ASSERT_TRUE(CSmallTmpfs::Fill(m_folder.Path("disk/filler")));
    // Larger than a page: part of it may fit before the disk is full.
    EXPECT_FALSE(spool.Append("t", QByteArray(3 * 4096, '\0')).bStored);
    QFile::remove(m_folder.Path("disk/filler"));
    ASSERT_TRUE(spool.Append("t", Payload(2)).bStored);

    CRecordSpool reopened(path, 1 << 20);
    ASSERT_TRUE(reopened.Open());
    EXPECT_TRUE(reopened.DamagedPath().isEmpty());
    EXPECT_EQ(Drain(reopened), (QList<QByteArray>{"t {\"n\":1}", "t {\"n\":2}"}));
}

TEST(RecordSpoolFolder, StateHomeOrItsDefault)
{
    qputenv("XDG_STATE_HOME", "/var/tmp/st");
    EXPECT_EQ(CRecordSpool::DefaultPath("hala2"), "/var/tmp/st/km302/hala2.spool");
    qunsetenv("XDG_STATE_HOME");
    EXPECT_EQ(CRecordSpool::DefaultFolder(), QDir::homePath() + "/.local/state/km302");
}

} // namespace
