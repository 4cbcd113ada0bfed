#include <QDir>
#include <QLocale>
#include <QFile>
#include <QTemporaryDir>

#include <clocale>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "settings/metersettings.h"
#include "settings/settingsfile.h"

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

TEST(MeterSettings, FirstRunUsesEveryDefaultAndWritesTheTableInOrder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KM302.ini"));
    MeterSettings s;
    {
        CSettingsFile store(4);
        store.Load(path);
        ReadSettings(store, s);
        EXPECT_EQ(0x00FFE4CAu, s.background);
        EXPECT_EQ(0x00804000u, s.text);
        EXPECT_EQ(60, s.font.lfHeight);
        EXPECT_EQ("Arial", s.font.FaceName());
        EXPECT_EQ(0, s.portNr);
        EXPECT_EQ((RECT{100, 100, 700, 500}), s.windowRect);
        EXPECT_EQ(0, s.recording.fileLog);
        EXPECT_EQ(60, s.recording.interval);
        EXPECT_EQ(1, s.showAdv);
    }
    const QByteArray expected =
        "[PRESSURE]\r\n"
        "BACKGROUND_PRESSURE=16770250\r\n"
        "TEXT_PRESSURE=8404992\r\n"
        "FONT_HEIGHT_PRESSURE=60\r\n"
        "FONT_NAME_PRESSURE=Arial\r\n"
        "FONT_ITALIC_PRESSURE=0\r\n"
        "FONT_WEIGHT_PRESSURE=0\r\n"
        "[GENERAL]\r\n"
        "PORT_NR=0\r\n"
        "WINDOW_TOP=100\r\n"
        "WINDOW_BOTTOM=500\r\n"
        "WINDOW_LEFT=100\r\n"
        "WINDOW_RIGHT=700\r\n"
        "TOPMOST=0\r\n"
        "LANGUAGE=\r\n"
        "SHOW_ADV=1\r\n"
        "[LOG]\r\n"
        "FILE_NAME=\r\n"
        "FILE_NAME_BIN=\r\n"
        "FILE_LOG=0\r\n"
        "FILE_LOG_BIN=0\r\n"
        "FILE_SEP_FORMAT=0\r\n"
        "FILE_INTERVAL=60\r\n"
        "FILE_CHECK_COMMENT=0\r\n"
        "FILE_CHECK_COMMENT_SN=0\r\n";
    // The store was written by its owner; here the test saves explicitly.
    CSettingsFile store(4);
    store.Load(path);
    MeterSettings again;
    ReadSettings(store, again);
    WriteSettings(store, again);
    ASSERT_FALSE(QFile::exists(path));
    store.Save(false);
    EXPECT_EQ(expected, ReadAll(path));
}

TEST(MeterSettings, AnUnchangedRunDoesNotModifyTheStore)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KM302.ini"));
    {
        CSettingsFile store(4);
        store.Load(path);
        MeterSettings s;
        ReadSettings(store, s);
        WriteSettings(store, s);
        store.Save(false);
    }
    CSettingsFile store(4);
    ASSERT_TRUE(store.Load(path));
    MeterSettings s;
    ReadSettings(store, s);
    WriteSettings(store, s);
    EXPECT_FALSE(store.m_modified);
}

TEST(MeterSettings, ARemarkIsReadWithoutItAndDroppedAtExit)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KM302.ini"));
    WriteFile(path, "[GENERAL]\r\nPORT_NR=3 ; adapter on the desk\r\n");
    CSettingsFile store(4);
    ASSERT_TRUE(store.Load(path));
    MeterSettings s;
    ReadSettings(store, s);
    EXPECT_EQ(3, s.portNr);
    WriteSettings(store, s);
    EXPECT_TRUE(store.m_modified);
    store.Save(false);
    EXPECT_TRUE(ReadAll(path).startsWith("[GENERAL]\r\nPORT_NR=3\r\n"));
}

TEST(MeterSettings, FaceNameIsCutTo31CharactersAndItalicToItsLowByte)
{
    const QString polish = QStringLiteral("ąćęłńóśźżĄĆĘŁŃÓŚŹŻąć");   // 20 letters, 40 bytes
    const QString key = QStringLiteral("FONT_NAME_PRESSURE");
    const std::vector<std::pair<QString, QString>> cases = {
        {QString(40, QLatin1Char('x')), QString(31, QLatin1Char('x'))},
        {polish, polish},
        {polish + polish, polish + polish.left(11)},
        {QString(30, QLatin1Char('x')) + QStringLiteral("😀"), QString(30, QLatin1Char('x'))},   // a pair is not split
    };
    for (const auto& [stored, taken] : cases) {
        CSettingsFile store(4);
        store.SetString(QStringLiteral("PRESSURE"), key, stored);
        store.SetInt(QStringLiteral("PRESSURE"), QStringLiteral("FONT_ITALIC_PRESSURE"), 0x1FF);
        MeterSettings s;
        ReadSettings(store, s);
        EXPECT_EQ(taken, s.font.FaceNameText());
        EXPECT_EQ(0xFF, s.font.lfItalic);
        WriteSettings(store, s);
        EXPECT_EQ(taken, store.GetString(QStringLiteral("PRESSURE"), key, QString()));
    }
}

TEST(MeterSettings, PortMapEntriesComeAfterTheTableAndReadBack)
{
    CSettingsFile store(4);
    MeterSettings s;
    s.ports = {{33, QStringLiteral("/dev/serial/by-id/usb-X")}, {2, QStringLiteral("/tmp/sim")}};
    WriteSettings(store, s);
    EXPECT_EQ(QStringLiteral("PORTS"), store.m_sectionNames.last());
    MeterSettings back;
    ReadSettings(store, back);
    EXPECT_EQ(s.ports, back.ports);
}

TEST(KeepOnScreen, RectanglesComeBackWithATenPixelTolerance)
{
    // A right edge of 1100 on a screen 1024 wide: moved left, width kept.
    EXPECT_EQ((RECT{24, 100, 1024, 500}), KeepOnScreen(RECT{100, 100, 1100, 500}, 1024, 768));
    // 1030 is within the tolerance.
    EXPECT_EQ((RECT{100, 100, 1030, 500}), KeepOnScreen(RECT{100, 100, 1030, 500}, 1024, 768));
    // A left edge of -20 becomes 0 (20 pixels narrower); -10 stays.
    EXPECT_EQ((RECT{0, 100, 700, 500}), KeepOnScreen(RECT{-20, 100, 700, 500}, 1024, 768));
    EXPECT_EQ((RECT{-10, 100, 700, 500}), KeepOnScreen(RECT{-10, 100, 700, 500}, 1024, 768));
    // The bottom and the top likewise.
    EXPECT_EQ((RECT{100, 268, 700, 768}), KeepOnScreen(RECT{100, 300, 700, 800}, 1024, 768));
    EXPECT_EQ((RECT{100, 0, 700, 500}), KeepOnScreen(RECT{100, -11, 700, 500}, 1024, 768));
    // Extreme values from a damaged file neither overflow nor stay off screen.
    const RECT wild = KeepOnScreen(RECT{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, 1024, 768);
    EXPECT_EQ(0, wild.left);
    EXPECT_EQ(0, wild.top);
    EXPECT_EQ(1024, wild.right);
    EXPECT_EQ(768, wild.bottom);
}

TEST(FitToScreen, ARestoredWindowIsNeverLargerThanItsScreenAndNothingOverflows)
{
    const QRect screen(0, 0, 1024, 740);   // a panel takes the rest
    EXPECT_EQ((RECT{100, 100, 700, 500}), FitToScreen(RECT{100, 100, 700, 500}, screen));
    EXPECT_EQ((RECT{100, 100, 1124, 101}), FitToScreen(RECT{100, 100, INT32_MAX, 100}, screen));
    EXPECT_EQ((RECT{100, 100, 1124, 840}), FitToScreen(RECT{100, 100, 1000000, 1000000}, screen));
    EXPECT_EQ((RECT{-kMaxWindowCoordinate, -kMaxWindowCoordinate, -kMaxWindowCoordinate + 1024,
                    -kMaxWindowCoordinate + 740}),
              FitToScreen(RECT{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, screen));
    EXPECT_EQ((RECT{kMaxWindowCoordinate, 5, kMaxWindowCoordinate + 1, 6}),
              FitToScreen(RECT{INT32_MAX, 5, INT32_MIN, 5}, screen));
    // A second screen to the right: its own size bounds the window.
    EXPECT_EQ((RECT{1100, 0, 1900, 600}), FitToScreen(RECT{1100, 0, 3000, 2000}, QRect(1024, 0, 800, 600)));
}

} // namespace

namespace {

// The publishing settings round-trip (a ";" in the password included), a file
// that holds a password is its owner's alone, and a broker switched off is
// written back rather than left as the file had it.
TEST(MeterSettings, MqttSectionRoundTripsAndAPasswordMakesTheFileOwnerOnly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KM302.ini"));
    WriteFile(path, "[GENERAL]\r\nPORT_NR=3\r\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    MeterSettings s;
    {
        CSettingsFile store(4);
        store.Load(path);
        ReadSettings(store, s);
        s.mqtt.strHost = QStringLiteral("broker.lan");
        s.mqtt.nPort = 8883;
        s.mqtt.bTls = 1;
        s.mqtt.strUser = QStringLiteral("hala");
        s.mqtt.strPassword = QStringLiteral("ta;jne");
        WriteSettings(store, s);
        store.Save(false);
    }
    const auto ownerOnly = [](const QString& file) {
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
                                          | QFile::WriteOther | QFile::ExeOther;
        return (QFile::permissions(file) & others) == 0 && (QFile::permissions(file) & QFile::ReadOwner);
    };
    EXPECT_TRUE(ownerOnly(path));
    MeterSettings back;
    {
        CSettingsFile store(4);
        store.Load(path);
        ReadSettings(store, back);
        EXPECT_EQ(s.mqtt, back.mqtt);
        back.mqtt = MqttSettings();
        WriteSettings(store, back);
        EXPECT_FALSE(store.Save(true).isEmpty());
    }
    // The backup of the file with the password is no easier to read.
    const QStringList backups = QDir(dir.path()).entryList({QStringLiteral("KM302.ini.*")});
    ASSERT_EQ(1, backups.size());
    EXPECT_TRUE(ownerOnly(dir.filePath(backups[0])));
    CSettingsFile store(4);
    store.Load(path);
    MeterSettings off;
    ReadSettings(store, off);
    EXPECT_FALSE(off.mqtt.Enabled());
}

// The weather station's section: a file that never had it gets none; one
// that has it keeps it, numbers with a decimal point under a Polish locale
// (decimal comma), and values out of range or unreadable are defaults.
TEST(MeterSettings, StationSectionOnlyWhenUsedWithDecimalPointsAndSaneValues)
{
    const std::string oldLocale = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "pl_PL.UTF-8"), nullptr) << "scripts/install-deps generates pl_PL.UTF-8";
    QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KM302.ini"));
    WriteFile(path, "[GENERAL]\r\nPORT_NR=3\r\n");
    const auto roundTrip = [&](const std::function<void(MeterSettings&)>& change) {
        CSettingsFile store(4);
        store.Load(path);
        MeterSettings s;
        ReadSettings(store, s);
        change(s);
        WriteSettings(store, s);
        store.Save(false);
        return s;
    };
    roundTrip([](MeterSettings&) {});
    EXPECT_FALSE(ReadAll(path).contains("STATION"));

    const MeterSettings set = roundTrip([](MeterSettings& s) {
        s.station.dElevation = 540.5;
        s.station.dCorrection = -0.35;
        s.station.nReduction = StationSettings::kQff;
        s.station.dTemperature = -7.5;
        s.station.bTendency = 1;
        s.station.dAlertFall = 3.0;
        s.station.dAlertLow = 985.5;
        s.station.dAlertHysteresis = 0.25;
        s.station.nAlertSilence = 15;
    });
    const QByteArray text = ReadAll(path);
    EXPECT_TRUE(text.contains("[STATION]\r\nELEVATION=540.5\r\nCORRECTION=-0.35\r\nREDUCTION=2\r\n"
                              "TEMPERATURE=-7.5\r\nTENDENCY=1\r\n")) << text.constData();
    EXPECT_EQ(set.station, roundTrip([](MeterSettings&) {}).station);
    // Switched back off, the section stays, with the defaults.
    roundTrip([](MeterSettings& s) { s.station = StationSettings(); });
    EXPECT_TRUE(ReadAll(path).contains("[STATION]\r\nELEVATION=0\r\n"));

    WriteFile(path, "[STATION]\r\nELEVATION=12000\r\nCORRECTION=1,5\r\nREDUCTION=7\r\nTEMPERATURE=20.5\r\n"
                    "ALERT_HYSTERESIS=-1\r\nALERT_SILENCE=-3\r\nALERT_HIGH=1030.25\r\n");
    StationSettings expected;
    expected.dTemperature = 20.5;
    expected.dAlertHigh = 1030.25;
    EXPECT_EQ(expected, roundTrip([](MeterSettings&) {}).station);
    std::setlocale(LC_ALL, oldLocale.c_str());
    QLocale::setDefault(QLocale::c());
}

} // namespace
