// One working session of the real km302 with the real simulator: the logs
// open at start-up, the instrument talks, falls silent, comes back reporting
// in pascals, and the user logs out. What the user then has is checked: the
// text log, the binary log, the D-Bus service on the way, the saved settings,
// all under a Polish locale.

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>

#include "recording/vrdreader.h"
#include "tests/kit/busclient.h"
#include "tests/e2e/liverig.h"
#include "tests/e2e/textlogscan.h"

namespace {

constexpr double kHpaValue = 1013.2;
constexpr double kPaValue = 101325.0;
// The service shows the tenth the value has reached, not the nearest one.
constexpr double kDdeTolerance = 0.15;

class RecordingRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(rig.IsValid());
        ASSERT_TRUE(rig.WriteSettings(true));
        ASSERT_TRUE(probe.IsConnected());
    }

    CTextLogScan TextLog() const
    {
        CTextLogScan scan;
        scan.ReadFile(rig.TextLogPath());
        return scan;
    }

    // The "Pomiar" item's number, when the service answers with `unit`.
    std::optional<double> Measurement(const QString& unit)
    {
        const std::optional<QString> text = probe.Request(CBusClient::Topic(CLiveRig::kSerialNumber), QStringLiteral("Pomiar"));
        if (!text || !text->endsWith(QLatin1Char(' ') + unit))
            return std::nullopt;
        bool ok = false;
        const double value = text->chopped(unit.size() + 1).toDouble(&ok);
        return ok ? std::optional<double>(value) : std::nullopt;
    }

    // Values recorded since the text log's last header, when that header
    // names `unit`; 0 otherwise.
    int ValuesUnder(CTextLogScan::Kind unit) const
    {
        int n = 0;
        CTextLogScan::Kind header = CTextLogScan::Kind::Malformed;
        const CTextLogScan scan = TextLog();
        for (const CTextLogScan::Line& line : scan.Lines()) {
            if (line.kind == CTextLogScan::Kind::HeaderHpa || line.kind == CTextLogScan::Kind::HeaderPa) {
                header = line.kind;
                n = 0;
            } else if (line.kind == CTextLogScan::Kind::Value) {
                ++n;
            }
        }
        return header == unit ? n : 0;
    }

    CLiveRig rig;
    CBusClient probe;
};

TEST_F(RecordingRunTest, ASessionWithAnOutageAndAUnitChangeIsLoggedAndPublished)
{
    ASSERT_TRUE(rig.StartSim({"--value", "1013.2"}));
    // A Polish desktop writes decimal commas for people, never in the logs
    // or the service's texts, which programs read.
    rig.Program().SetEnvironment({"LANG=pl_PL.UTF-8", "LC_ALL=pl_PL.UTF-8"});
    ASSERT_TRUE(rig.StartProgram());

    // The instrument talks: the service is there and answers its value.
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return probe.ServicePresent(); }, 10000));
    std::optional<double> hpa;
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return (hpa = Measurement(QStringLiteral("hPa"))).has_value(); }, 5000));
    EXPECT_NEAR(kHpaValue, *hpa, kDdeTolerance);
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return ValuesUnder(CTextLogScan::Kind::HeaderHpa) >= 3; }, 10000))
        << TextLog().Story().toStdString();

    // It falls silent: the service goes, the records become "???".
    ASSERT_EQ(0, rig.StopSim(SIGTERM));
    EXPECT_TRUE(CLiveRig::WaitUntil([&] { return !probe.ServicePresent(); }, 5000));
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return TextLog().Story().endsWith(QStringLiteral("NNN")); }, 5000))
        << TextLog().Story().toStdString();

    // It comes back reporting in pascals: a new header, the value in pascals.
    ASSERT_TRUE(rig.StartSim({"--pa", "--whole", "--value", "101325"}));
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return Measurement(QStringLiteral("Pa")).has_value(); }, 10000));
    EXPECT_NEAR(kPaValue, *Measurement(QStringLiteral("Pa")), kDdeTolerance);
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return ValuesUnder(CTextLogScan::Kind::HeaderPa) >= 3; }, 10000))
        << TextLog().Story().toStdString();

    // The user logs out.
    ASSERT_EQ(0, rig.StopProgram());
    EXPECT_FALSE(probe.ServicePresent());

    // The text log, as a spreadsheet reads it.
    const QByteArray text = CLiveRig::ReadFile(rig.TextLogPath());
    EXPECT_TRUE(text.startsWith("Data i Godzina\tCi\x9Cnienie hPa\r\n")) << text.left(40).toStdString();
    const CTextLogScan scan = TextLog();
    const QString story = scan.Story();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^HN*V+N+PN*V+$")).match(story).hasMatch())
        << story.toStdString() << " first odd line: " << scan.FirstMalformed().toStdString();
    bool pascals = false;
    for (const CTextLogScan::Line& line : scan.Lines()) {
        if (line.kind == CTextLogScan::Kind::HeaderPa)
            pascals = true;
        if (line.kind == CTextLogScan::Kind::Value) {
            EXPECT_DOUBLE_EQ(pascals ? kPaValue : kHpaValue, line.dValue) << line.bytes.toStdString();
        }
    }

    // The binary log: every record verifies, one per text record, valid
    // exactly where the text record has a value, always in hectopascals.
    CVrdReader vrd;
    ASSERT_TRUE(vrd.ReadFile(rig.BinaryLogPath()));
    EXPECT_EQ(0, vrd.DamagedStretches());
    ASSERT_EQ(size_t(scan.Records()), vrd.Records().size());
    size_t next = 0;
    pascals = false;
    for (const CTextLogScan::Line& line : scan.Lines()) {
        if (line.kind == CTextLogScan::Kind::HeaderPa)
            pascals = true;
        if (line.kind != CTextLogScan::Kind::Value && line.kind != CTextLogScan::Kind::NoValue)
            continue;
        const VrdRecord& record = vrd.Records()[next++];
        ASSERT_EQ(line.kind == CTextLogScan::Kind::Value, record.bValid) << line.bytes.toStdString();
        const QDateTime stamp(QDate(record.time.year, record.time.month, record.time.day),
                              QTime(record.time.hour, record.time.minute, record.time.second));
        // Each record reads the clock itself: a second boundary may fall between.
        EXPECT_LE(std::abs(line.time.secsTo(stamp)), 1) << line.bytes.toStdString();
        if (record.bValid) {
            EXPECT_EQ(CLiveRig::kSerialNumber, record.nSerialNumber);
            EXPECT_DOUBLE_EQ(pascals ? kPaValue / 100 : kHpaValue, record.dPressureHpa);
        }
    }

    // The settings were saved at the logout: the sections that were missing
    // are written out, what the user had is kept.
    const QByteArray settings = CLiveRig::ReadFile(rig.SettingsPath());
    EXPECT_TRUE(settings.contains("[PRESSURE]\r\nBACKGROUND_PRESSURE=16770250\r\n")) << settings.toStdString();
    EXPECT_TRUE(settings.contains("FILE_INTERVAL=1\r\n"));
    EXPECT_TRUE(settings.contains("COM40=" + rig.LinkPath().toLocal8Bit() + "\r\n"));
    EXPECT_TRUE(settings.contains("[GENERAL]\r\nPORT_NR=40\r\n"));
}

} // namespace
