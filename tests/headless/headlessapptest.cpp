#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "settings/commandline.h"
#include "tests/kit/busclient.h"
#include "headless/headlessapp.h"
#include "device/portmap.h"
#include "platform/timerids.h"
#include "tests/recording/logtestsupport.h"
#include "tests/support/scriptedservices.h"
#include "tools/frameencoder.h"

namespace {

TEST(CommandLine, ValuesTakeEitherFormAndOverrideOnlyWithHeadless)
{
    const CommandLine line = ParseCommandLine({"--headless", "--port", "com40", "--log=/tmp/a b.txt",
                                               "--vrd", "x.vrd", "--interval=86399", "--separator",
                                               "semicolon"});
    EXPECT_TRUE(line.error.isEmpty()) << qPrintable(line.error);
    EXPECT_EQ(40, line.portNr.value_or(0));
    EXPECT_FALSE(line.portPath);
    EXPECT_EQ(QStringLiteral("/tmp/a b.txt"), line.textLog.value_or(QString()));
    EXPECT_EQ(QStringLiteral("x.vrd"), line.binaryLog.value_or(QString()));
    EXPECT_EQ(86399, line.interval.value_or(0));
    EXPECT_EQ(2, line.sepFormat.value_or(-1));

    const CommandLine path = ParseCommandLine({"--port=/dev/serial/by-id/usb-x", "--headless"});
    EXPECT_TRUE(path.error.isEmpty());
    EXPECT_EQ(QStringLiteral("/dev/serial/by-id/usb-x"), path.portPath.value_or(QString()));

    // The broker: a name with a port, an IPv6 address in brackets, an address alone.
    const CommandLine mqtt = ParseCommandLine({"--headless", "--mqtt", "broker.hala:8883"});
    EXPECT_EQ(QStringLiteral("broker.hala"), mqtt.mqttHost.value_or(QString()));
    EXPECT_EQ(8883, mqtt.mqttPort.value_or(0));
    const CommandLine v6 = ParseCommandLine({"--headless", "--mqtt=[fd00::5]:1884"});
    EXPECT_EQ(QStringLiteral("fd00::5"), v6.mqttHost.value_or(QString()));
    EXPECT_EQ(1884, v6.mqttPort.value_or(0));
    const CommandLine plain = ParseCommandLine({"--headless", "--mqtt", "::1"});
    EXPECT_EQ(QStringLiteral("::1"), plain.mqttHost.value_or(QString()));
    EXPECT_FALSE(plain.mqttPort);

    EXPECT_TRUE(ParseCommandLine({}).error.isEmpty());
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
    EXPECT_TRUE(ParseCommandLine({"--version", "--headless"}).version);
}

TEST(CommandLine, EveryBadLineSaysWhatIsWrong)
{
    const std::vector<QStringList> bad{
        {"--bogus"},
        {"plik.txt"},
        {"--headless", "--port"},
        {"--headless", "--port="},
        {"--headless", "--port", "COM0"},
        {"--headless", "--port", "COM257"},
        {"--headless", "--port", "ttyUSB0"},
        {"--headless", "--interval", "0"},
        {"--headless", "--interval", "86400"},
        {"--headless", "--interval", "1.5"},
        {"--headless", "--separator", "x"},
        {"--headless", "--log"},
        {"--headless", "--mqtt", "broker:0"},
        {"--headless", "--mqtt", "broker:65536"},
        {"--headless", "--mqtt", "broker:"},
        {"--headless", "--mqtt", "[fd00::5"},
        {"--mqtt", "broker"},          // for a headless run only
        {"--port", "COM1"},           // a recording option without --headless
        {"-platform", "offscreen", "--headless"},
    };
    for (const QStringList& arguments : bad)
        EXPECT_FALSE(ParseCommandLine(arguments).error.isEmpty()) << qPrintable(arguments.join(' '));
}

// The headless program without its event loop: a folder with a settings file,
// a scripted clock, the lines it would write on the standard error kept in a
// list, and frames fed straight to its measurement.
class HeadlessAppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        savedPorts = CPortMap::Instance().Entries();
        services.SetLocalTime(2026, 12, 8, 10, 0, 0);
    }
    void TearDown() override
    {
        app.reset();
        CPortMap::Instance().SetEntries(savedPorts);
    }

    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QByteArray Settings(const QByteArray& moreLog = {}) const
    {
        return "[GENERAL]\r\nPORT_NR=40\r\n[LOG]\r\nFILE_LOG=1\r\nFILE_NAME=" + Path("logs/p.txt").toUtf8()
            + "\r\nFILE_LOG_BIN=1\r\nFILE_NAME_BIN=" + Path("logs/p.vrd").toUtf8()
            + "\r\nFILE_INTERVAL=60\r\n" + moreLog + "[PORTS]\r\nCOM40=" + Path("port").toUtf8() + "\r\n";
    }
    QByteArray Contents(const char* name) const
    {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }
    bool Make(const QByteArray& settings, QStringList arguments = {})
    {
        QFile file(Path("KM302.ini"));
        if (!file.open(QIODevice::WriteOnly) || file.write(settings) != settings.size())
            return false;
        file.close();
        arguments.prepend(QStringLiteral("--headless"));
        app = std::make_unique<CHeadlessApp>(ParseCommandLine(arguments));
        app->SetReporter([this](const QString& text, ReportPriority) { lines.push_back(text.simplified()); });
        return app->LoadSettings(Path("KM302.ini"));
    }
    void Frame(int serial, double value, bool valueError = false)
    {
        FrameContent c;
        c.serialNumber = serial;
        c.number = CFrameEncoder::NumberFor(value, false);
        c.valueError = valueError;
        for (unsigned char b : CFrameEncoder::Encode(c))
            app->Core().OnSerialByte(b);
    }
    std::vector<QString> TakeLines() { return std::exchange(lines, {}); }
    // An item of the program's service, asked on the test's own bus; the
    // D-Bus error's name when it is not served.
    static QString Item(CBusClient& client, int serial, const char* item)
    {
        const QDBusMessage reply = client.Call(QStringLiteral("Request"),
                                               {CBusClient::Topic(serial), QString::fromUtf8(item)});
        return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0).toString()
                                                          : reply.errorName();
    }

    QTemporaryDir dir;
    CScriptedServices services;
    std::unique_ptr<CHeadlessApp> app;
    std::vector<QString> lines;
    std::map<int, QString> savedPorts;
};

TEST_F(HeadlessAppTest, TheCommandLineWinsForThisRunAndTheSettingsAreNeverWritten)
{
    ASSERT_TRUE(Make(Settings(), {"--vrd", Path("b.vrd"), "--interval", "5", "--separator", "comma"}));
    const RecordingSettings& r = app->Recorder().Settings();
    EXPECT_EQ(Path("logs/p.txt"), r.fileName);
    EXPECT_EQ(Path("b.vrd"), r.fileNameBin);
    EXPECT_EQ(5, r.interval);
    EXPECT_EQ(1, r.sepFormat);
    app->Start();
    app.reset();
    QFile file(Path("KM302.ini"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(Settings(), file.readAll());

    TakeLines();
    EXPECT_FALSE(Make("[LOG]\r\nFILE_LOG=1\r\n"));
    EXPECT_EQ(1u, TakeLines().size()) << "no port: one line, and the program ends";
}

TEST_F(HeadlessAppTest, OneLinePerChangeOfTheCommunicationText)
{
    ASSERT_TRUE(Make(Settings(), {"--port", Path("port")}));
    app->Start();
    app->OnTimer(kOpenLogsTimerId);   // the logs' folder is missing: said here
    TakeLines();
    Frame(1234, 1013.2);
    Frame(1234, 1013.3);
    Frame(1234, 1013.3, true);
    Frame(1234, 1013.3, true);
    app->OnTimer(kNoCommTimerId);
    app->OnTimer(kNoCommTimerId);
    Frame(77, 990.0);
    const std::vector<QString> expected{
        QStringLiteral("KM-302 nr 1234. Pomiar prawidłowy."),
        QStringLiteral("KM-302 nr 1234. Błąd wartości ciśnienia."),
        QStringLiteral("Brak komunikacji z urządzeniem."),
        QStringLiteral("KM-302 nr 77. Pomiar prawidłowy."),
    };
    EXPECT_EQ(expected, TakeLines());
}

TEST_F(HeadlessAppTest, ALogThatCannotOpenIsSaidOnceWithItsReasonAndRecordingResumesByItself)
{
    ASSERT_TRUE(Make(Settings(), {"--port", Path("port")}));
    app->Start();
    EXPECT_EQ((std::vector<QString>{QStringLiteral("Brak komunikacji z urządzeniem."),
                                    QStringLiteral("Nie można otworzyć portu %1 Powód: nie ma takiego urządzenia.")
                                        .arg(Path("port"))}),
              TakeLines());
    app->OnTimer(kOpenLogsTimerId);
    EXPECT_TRUE(app->Recorder().IsRecording()) << "the timer runs though no log opened";
    for (int i = 0; i < 3; ++i)
        app->OnTimer(kRecordingTimerId);
    EXPECT_EQ((std::vector<QString>{
                  QStringLiteral("Wybrany plik rejestracji wyników pomiaru jest niedostępny. (%1) Powód: folder nie istnieje.")
                      .arg(Path("logs/p.txt")),
                  QStringLiteral("Wybrany plik binarny jest niedostępny. (%1) Powód: folder nie istnieje.")
                      .arg(Path("logs/p.vrd"))}),
              TakeLines());

    ASSERT_TRUE(QDir().mkpath(Path("logs")));
    Frame(1234, 1013.2);
    services.SetLocalTime(2026, 12, 8, 10, 1, 0);
    app->OnTimer(kRecordingTimerId);
    EXPECT_EQ((std::vector<QString>{QStringLiteral("KM-302 nr 1234. Pomiar prawidłowy."),
                                    QStringLiteral("Otwarto plik %1.").arg(Path("logs/p.txt")),
                                    QStringLiteral("Otwarto plik %1.").arg(Path("logs/p.vrd"))}),
              TakeLines());
    QFile text(Path("logs/p.txt"));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    EXPECT_EQ(QByteArray("Data i Godzina\tCi\x9Cnienie hPa\r\n2026.12.08 10:01:00\t1013.2\r\n"), text.readAll());
    EXPECT_TRUE(QFile::exists(Path("logs/p.vrd")));
}

// The logs open when the first valid frame comes, or after the start-up
// delay (timer 1036) when the port stays silent; not at the start, where no
// reading can be known yet.
TEST_F(HeadlessAppTest, TheLogsOpenAtTheFirstValidFrameOrAfterTheDelay)
{
    ASSERT_TRUE(QDir().mkpath(Path("logs")));
    const QByteArray serial = "FILE_CHECK_COMMENT=1\r\nFILE_CHECK_COMMENT_SN=1\r\n";
    const QByteArray header = "Data i Godzina\tCi\x9Cnienie hPa\r\n";
    ASSERT_TRUE(Make(Settings(serial), {"--port", Path("port")}));
    app->Start();
    EXPECT_FALSE(QFile::exists(Path("logs/p.txt")));
    EXPECT_FALSE(QFile::exists(Path("logs/p.vrd")));
    Frame(1234, 1013.2);
    app->OnTimer(kOpenLogsTimerId);   // already open: nothing more
    EXPECT_EQ("KM-302 nr 1234\r\n" + header + "2026.12.08 10:00:00\t1013.2\r\n", Contents("logs/p.txt"));
    EXPECT_TRUE(QFile::exists(Path("logs/p.vrd")));

    ASSERT_TRUE(Make(Settings(serial), {"--port", Path("port"), "--log", Path("q.txt")}));
    app->Start();
    EXPECT_FALSE(QFile::exists(Path("q.txt")));
    app->OnTimer(kOpenLogsTimerId);
    EXPECT_EQ("KM-302 nr ???\r\n" + header + "2026.12.08 10:00:00\t???\r\n", Contents("q.txt"));
}

// Another program (another KM302) writing the log: said with that reason,
// and the log is taken over once it lets go.
TEST_F(HeadlessAppTest, ALogAnotherProgramHoldsIsSaidBusyAndTakenOverWhenItLetsGo)
{
    ASSERT_TRUE(Make(Settings(), {"--port", Path("port"), "--log", Path("q.txt"), "--vrd", Path("q.vrd")}));
    auto other = std::make_unique<CForeignLock>(Path("q.txt"));
    ASSERT_TRUE(other->IsHeld());
    app->Start();
    app->OnTimer(kOpenLogsTimerId);
    const std::vector<QString> said = TakeLines();
    EXPECT_EQ(1, std::count(said.begin(), said.end(),
                            QStringLiteral("Wybrany plik rejestracji wyników pomiaru jest niedostępny. (%1) "
                                           "Powód: plik jest otwarty do zapisu przez inny program.")
                                .arg(Path("q.txt"))));
    other.reset();
    app->OnTimer(kRecordingTimerId);
    EXPECT_EQ(std::vector<QString>{QStringLiteral("Otwarto plik %1, zwolniony przez inny program.").arg(Path("q.txt"))},
              TakeLines());
}

// The weather station. With [STATION] absent the service has its three items
// alone. Switched on (1000 m, +0.44 hPa, QNH, tendency, a fall alert at
// 2 hPa): the corrected value in "Wynik" and in the log, the reduced value and
// the tendency as items, the fall alert said once when it starts and once when
// it ends, as a journal line and as the service's Alert signal; after a
// restart the tendency is there at once, read back from the binary log.
TEST_F(HeadlessAppTest, TheWeatherStationCorrectsReducesAndAlertsOncePerCrossing)
{
    ASSERT_TRUE(QDir().mkpath(Path("logs")));
    CBusClient client;
    ASSERT_TRUE(client.IsConnected());
    const QString notServed = QStringLiteral("pl.km302.KM302.Error.NotServed");

    ASSERT_TRUE(Make(Settings(), {"--port", Path("port")}));
    app->Start();
    Frame(1234, 898.3);
    EXPECT_EQ(QStringLiteral("898.3"), Item(client, 1234, "Wynik"));
    for (const char* item : {"QNH", "QFF", "Tendencja", "Charakterystyka"})
        EXPECT_EQ(notServed, Item(client, 1234, item)) << item;
    EXPECT_TRUE(app->Core().Station().Line().isEmpty());

    const QByteArray station = "[STATION]\r\nELEVATION=1000\r\nCORRECTION=0.44\r\nREDUCTION=1\r\nTENDENCY=1\r\n"
                               "ALERT_FALL=2\r\n";
    ASSERT_TRUE(Make(Settings() + station, {"--port", Path("port")}));
    app->Start();
    app->OnTimer(kOpenLogsTimerId);
    TakeLines();
    // Every 10 minutes for 3 hours, 0.2 hPa lower each time: 901.9 … 898.3.
    for (int i = 0; i <= 18; ++i) {
        services.SetLocalTime(2026, 12, 8, 10 + i / 6, i % 6 * 10, 0);
        Frame(1234, 901.9 - 0.2 * i);
        Frame(1234, 901.9 - 0.2 * i);
        app->OnTimer(kRecordingTimerId);
        if (i == 0) {
            EXPECT_EQ(QString(), Item(client, 1234, "Tendencja")) << "no 3 hours yet";
            EXPECT_EQ(QString(), Item(client, 1234, "Charakterystyka"));
            TakeLines();
        }
    }
    EXPECT_EQ(QStringLiteral("898.7"), Item(client, 1234, "Wynik"));   // 898.3 + 0.44
    EXPECT_EQ(QStringLiteral("1013.2"), Item(client, 1234, "qnh"));    // 898.74 hPa at 1000 m
    EXPECT_EQ(notServed, Item(client, 1234, "QFF"));
    EXPECT_EQ(QStringLiteral("-3.6"), Item(client, 1234, "Tendencja"));
    EXPECT_EQ(QStringLiteral("7"), Item(client, 1234, "Charakterystyka"));
    EXPECT_TRUE(Contents("logs/p.txt").endsWith("2026.12.08 13:00:00\t898.7\r\n")) << Contents("logs/p.txt").toStdString();

    // Back up at once: the change over 3 hours is -0.7, the alert ends.
    for (int i = 19; i <= 20; ++i) {
        services.SetLocalTime(2026, 12, 8, 10 + i / 6, i % 6 * 10, 0);
        Frame(1234, 901.0);
        app->OnTimer(kRecordingTimerId);
    }
    client.Sync();
    ASSERT_EQ(2u, client.m_alerts.size());
    EXPECT_EQ(QStringLiteral("fall"), client.m_alerts[0].kind);
    EXPECT_TRUE(client.m_alerts[0].active);
    EXPECT_EQ(QStringLiteral("fall"), client.m_alerts[1].kind);
    EXPECT_FALSE(client.m_alerts[1].active);
    EXPECT_EQ((std::vector<QString>{client.m_alerts[0].text, client.m_alerts[1].text}), TakeLines());

    // A restart: the last 3 hours come back from the binary log.
    app.reset();
    ASSERT_TRUE(Make(Settings() + station, {"--port", Path("port")}));
    app->Start();
    services.SetLocalTime(2026, 12, 8, 13, 25, 0);
    Frame(1234, 901.0);
    EXPECT_NE(QString(), Item(client, 1234, "Tendencja"));
    EXPECT_NE(QString(), Item(client, 1234, "Charakterystyka"));
}

} // namespace
