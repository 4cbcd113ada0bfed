#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "device/portenumeration.h"
#include "device/portmap.h"
#include "tests/kit/ptypair.h"

namespace {

// Restores the process-wide port map after each test.
class PortMapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = CPortMap::Instance().Entries();
        CPortMap::Instance().SetEntries({});
    }
    void TearDown() override { CPortMap::Instance().SetEntries(saved); }
    std::map<int, QString> saved;
};

TEST(PortListText, PortsInAscendingOrderWithAndWithoutDescriptions)
{
    PortTable table;
    table[4] = QString();
    table[0] = QStringLiteral("Port komunikacyjny (COM1)");
    int count = -1;
    EXPECT_EQ(QStringLiteral("COM1:Port komunikacyjny\nCOM5\n"), PortListText(table, count));
    EXPECT_EQ(2, count);
}

TEST(PortListText, OnlyATrailingOwnPortNameIsCut)
{
    PortTable table;
    table[0] = QStringLiteral("Adapter (COM7) USB");       // text after the parenthesis
    table[1] = QStringLiteral("A (COM1) B (COM2)");        // the first " (COM" decides
    table[2] = QStringLiteral("Modem (COMx)");             // not a number
    table[3] = QStringLiteral("Modem (COM)");              // no digits
    table[4] = QStringLiteral("FT232R USB UART (COM12)");
    table[255] = QString();
    int count = 0;
    EXPECT_EQ(QStringLiteral("COM1:Adapter (COM7) USB\n"
                             "COM2:A (COM1) B (COM2)\n"
                             "COM3:Modem (COMx)\n"
                             "COM4:Modem (COM)\n"
                             "COM5:FT232R USB UART\n"
                             "COM256\n"),
              PortListText(table, count));
    EXPECT_EQ(6, count);
}

TEST(PortListText, NoPortGivesAnEmptyText)
{
    PortTable table;
    int count = 7;
    EXPECT_TRUE(PortListText(table, count).isEmpty());
    EXPECT_EQ(0, count);
}

TEST(PortEntry, ColonBecomesParentheses)
{
    EXPECT_EQ(QStringLiteral("COM1 (Port komunikacyjny)"), PortEntryFromLine(QStringLiteral("COM1:Port komunikacyjny")));
    EXPECT_EQ(QStringLiteral("COM5"), PortEntryFromLine(QStringLiteral("COM5")));
    EXPECT_EQ(QStringLiteral("COM3 (a: b)"), PortEntryFromLine(QStringLiteral("COM3:a: b")));
}

TEST_F(PortMapTest, EntriesWinThenSerialPortsThenAllottedNumbers)
{
    CPortMap& map = CPortMap::Instance();
    EXPECT_EQ(QStringLiteral("/dev/ttyS0"), map.PathFor(1));
    EXPECT_EQ(QStringLiteral("/dev/ttyS11"), map.PathFor(12));
    EXPECT_TRUE(map.PathFor(0).isEmpty());
    EXPECT_TRUE(map.PathFor(257).isEmpty());

    map.SetEntry(3, QStringLiteral("/tmp/sim-link"));
    EXPECT_EQ(QStringLiteral("/tmp/sim-link"), map.PathFor(3));

    EXPECT_EQ(5, map.NumberForDevice(QStringLiteral("/dev/ttyS4"), {}));
    // COM3 is taken by an entry, so ttyS2 has no number of its own.
    EXPECT_EQ(0, map.NumberForDevice(QStringLiteral("/dev/ttyS2"), {}));

    const QString adapter = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0");
    EXPECT_EQ(33, map.NumberForDevice(QStringLiteral("/dev/ttyUSB0"), adapter));
    EXPECT_EQ(34, map.NumberForDevice(QStringLiteral("/dev/ttyACM0"), {}));
    // Replugged as another node, the adapter keeps its number.
    EXPECT_EQ(33, map.NumberForDevice(QStringLiteral("/dev/ttyUSB3"), adapter));
    EXPECT_EQ(adapter, map.PathFor(33));
    EXPECT_EQ(QStringLiteral("/dev/ttyACM0"), map.PathFor(34));
}

TEST_F(PortMapTest, AllottedNumbersRunOutAt256)
{
    CPortMap& map = CPortMap::Instance();
    for (int n = 33; n <= 256; ++n)
        map.SetEntry(n, QStringLiteral("/dev/x%1").arg(n));
    EXPECT_EQ(0, map.NumberForDevice(QStringLiteral("/dev/ttyUSB9"), {}));
}

TEST_F(PortMapTest, SettingsEntriesOutOfRangeOrEmptyAreIgnored)
{
    CPortMap& map = CPortMap::Instance();
    map.SetEntries({{0, QStringLiteral("/a")}, {300, QStringLiteral("/b")}, {7, QString()}, {8, QStringLiteral("/c")}});
    EXPECT_EQ((std::map<int, QString>{{8, QStringLiteral("/c")}}), map.Entries());
}

TEST_F(PortMapTest, ProbeFindsMappedTerminalsOnly)
{
    CPtyPair pty;
    ASSERT_TRUE(pty.Ok());
    QTemporaryDir dir;
    QFile plain(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    CPortMap& map = CPortMap::Instance();
    map.SetEntry(40, pty.SlavePath());
    map.SetEntry(41, plain.fileName());
    map.SetEntry(42, dir.filePath(QStringLiteral("missing")));

    PortTable table;
    table[40] = QStringLiteral("found before");
    ProbePorts(table, int(table.size()), 0);
    EXPECT_EQ(QString(), table[39]);
    EXPECT_EQ(QStringLiteral("found before"), table[40]);   // not probed again
    EXPECT_FALSE(table[41].has_value());

    int count = 0;
    QString text;
    ASSERT_EQ(1, ListPorts(count, text));
    EXPECT_TRUE(text.contains(QStringLiteral("COM40\n"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("COM41"))) << text.toStdString();
}

} // namespace
