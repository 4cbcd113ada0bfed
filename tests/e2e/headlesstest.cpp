// The real km302 run as `km302 --headless` with no display variables at all,
// as a service on a small computer without a screen runs it, against the real
// simulator: what it records, serves on the bus and writes on its standard
// error through an unplugged instrument, a full disk and a log rotation, and
// how its command line overrides the settings without saving them, and two of
// it side by side, each with its own settings and instrument.

#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "recording/vrdreader.h"
#include "tests/kit/busclient.h"
#include "tests/e2e/liverig.h"
#include "tests/kit/smalltmpfs.h"
#include "tests/e2e/textlogscan.h"

namespace {

const std::vector<std::string> kNoDisplay {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "JOURNAL_STREAM"};
const QByteArray kHeader = "Data i Godzina\tCi\x9Cnienie hPa\r\n";
const QString kNoCommunication = QStringLiteral("km302: Brak komunikacji z urządzeniem.");
const QString kValid = QStringLiteral("km302: KM-302 nr 1234. Pomiar prawidłowy.");

struct Outcome {
    int status = -1;   // -1: still running after 10 s (then killed)
    QByteArray out;
    QByteArray err;
};

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(rig.IsValid());
        rig.Program().SetRemovedVariables(kNoDisplay);
    }

    bool Start(std::vector<std::string> options = {})
    {
        options.insert(options.begin(), "--headless");
        rig.Program().SetArguments(options);
        return rig.StartProgram();
    }

    // km302 with `args` and no display (but `display` as DISPLAY when given), run to its end.
    Outcome Run(const QStringList& args, const QString& display = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const std::string& name : kNoDisplay)
            env.remove(QString::fromStdString(name));
        if (!display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), rig.FilePath(QString()));
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(KM302_PATH), args);
        if (!process.waitForFinished(CLiveRig::Slack(10000))) {
            process.kill();
            process.waitForFinished();
            return {};
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), process.readAllStandardError()};
    }

    int Lines(const QString& text) { return CLiveRig::LinesWith(rig.Program().ErrorOutput(), text); }

    // The communication-state lines so far, in order.
    QStringList States()
    {
        QStringList states;
        for (const QString& line : QString::fromUtf8(rig.Program().ErrorOutput()).split(QLatin1Char('\n'))) {
            if (line == kNoCommunication || line.startsWith(QStringLiteral("km302: KM-302 nr ")))
                states << line;
        }
        return states;
    }

    // The answer of `gdbus call` for the service's Request of `item`.
    static QString Gdbus(const QString& item)
    {
        QProcess gdbus;
        gdbus.start(QStandardPaths::findExecutable(QStringLiteral("gdbus")),
                    {"call", "--session", "--dest", "pl.km302.KM302", "--object-path", "/pl/km302/KM302", "--method",
                     "pl.km302.KM302.Dde.Request", CBusClient::Topic(CLiveRig::kSerialNumber), item});
        gdbus.waitForFinished(CLiveRig::Slack(10000));
        return QString::fromUtf8(gdbus.readAllStandardOutput() + gdbus.readAllStandardError());
    }

    static CTextLogScan Text(const QString& path)
    {
        CTextLogScan scan;
        scan.ReadFile(path);
        return scan;
    }

    static int BinaryRecords(const QString& path)
    {
        CVrdReader vrd;
        vrd.ReadFile(path);
        return int(vrd.Records().size());
    }

    // Both logs hold only whole lines and records, as many in one as in the
    // other (`earlier` text records came before the program).
    static void ExpectWhole(const QString& text, const QString& binary, int earlier = 0)
    {
        const CTextLogScan scan = Text(text);
        EXPECT_EQ(0, scan.Count(CTextLogScan::Kind::Malformed))
            << text.toStdString() << ": " << scan.Story().toStdString() << " " << scan.FirstMalformed().toStdString();
        CVrdReader vrd;
        ASSERT_TRUE(vrd.ReadFile(binary)) << binary.toStdString();
        EXPECT_EQ(0, vrd.DamagedStretches()) << binary.toStdString();
        EXPECT_EQ(size_t(scan.Records() - earlier), vrd.Records().size()) << text.toStdString();
    }

    CLiveRig rig;
};

TEST_F(HeadlessTest, RecordsAndServesWithoutADisplayThroughAnUnplugAndEndsCleanly)
{
    // With the serial number asked for at the start of the text log.
    ASSERT_TRUE(rig.WriteSettings(true));
    QByteArray settings = CLiveRig::ReadFile(rig.SettingsPath());
    settings.replace("FILE_INTERVAL=1\r\n", "FILE_INTERVAL=1\r\nFILE_CHECK_COMMENT=1\r\nFILE_CHECK_COMMENT_SN=1\r\n");
    QFile file(rig.SettingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size());
    file.close();
    const QByteArray earlier = kHeader + "2020.01.01 00:00:00\t1000.0\r\n2020.01.01 00:00:01\t1000.1\r\n";
    QFile old(rig.TextLogPath());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write(earlier) == earlier.size());
    old.close();
    ASSERT_TRUE(rig.StartSim({"--value", "1013.2"}));
    ASSERT_TRUE(Start());

    CBusClient probe;
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return probe.ServicePresent(); }, 10000)) << States().join('|').toStdString();
    EXPECT_EQ(QStringLiteral("('1013.2',)\n"), Gdbus(QStringLiteral("Wynik")));
    EXPECT_EQ(QStringLiteral("('1013.2 hPa',)\n"), Gdbus(QStringLiteral("Pomiar")));
    EXPECT_EQ(QStringLiteral("('Pomiar OK',)\n"), Gdbus(QStringLiteral("Status")));

    // The same process, now the headless program, holds no widget or GUI code.
    const QByteArray maps = CLiveRig::ReadFile(QStringLiteral("/proc/%1/maps").arg(rig.Program().Pid()));
    EXPECT_TRUE(maps.contains("libQt6Core")) << "the program's map could not be read";
    EXPECT_FALSE(maps.contains("libQt6Gui"));
    EXPECT_FALSE(maps.contains("libQt6Widgets"));
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return Text(rig.TextLogPath()).Count(CTextLogScan::Kind::Value) >= 3; }, 10000));

    // The instrument is unplugged and plugged in again on the same link.
    ASSERT_EQ(0, rig.StopSim(SIGTERM));
    EXPECT_TRUE(CLiveRig::WaitUntil([&] {
        return States().size() >= 3 && !probe.ServicePresent() && Text(rig.TextLogPath()).Story().endsWith(QLatin1Char('N'));
    }, 10000));
    const int values = Text(rig.TextLogPath()).Count(CTextLogScan::Kind::Value);
    ASSERT_TRUE(rig.StartSim({"--value", "1013.2"}));
    EXPECT_TRUE(CLiveRig::WaitUntil([&] { return Text(rig.TextLogPath()).Count(CTextLogScan::Kind::Value) >= values + 3; }, 15000));
    EXPECT_TRUE(probe.ServicePresent());

    ASSERT_EQ(0, rig.StopProgram());
    EXPECT_EQ((QStringList {kNoCommunication, kValid, kNoCommunication, kValid}), States());
    const QByteArray text = CLiveRig::ReadFile(rig.TextLogPath());
    EXPECT_TRUE(text.startsWith(earlier)) << text.left(120).toStdString();
    // The logs opened at the first frame: the serial number and the first
    // record carry its reading, no "???" at the start.
    EXPECT_TRUE(text.contains("\r\nKM-302 nr 1234\r\n")) << text.left(200).toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^HVVSHV+N+V+$")).match(Text(rig.TextLogPath()).Story()).hasMatch())
        << Text(rig.TextLogPath()).Story().toStdString();
    ExpectWhole(rig.TextLogPath(), rig.BinaryLogPath(), 2);
    EXPECT_EQ(settings, CLiveRig::ReadFile(rig.SettingsPath()));
}

TEST_F(HeadlessTest, SighupReopensMovedLogsByTheirPaths)
{
    ASSERT_TRUE(rig.WriteSettings(true));
    ASSERT_TRUE(rig.StartSim({"--value", "1013.2"}));
    ASSERT_TRUE(Start());
    const auto recorded = [](const QString& text, const QString& binary) {
        return Text(text).Records() >= 3 && BinaryRecords(binary) >= 3;
    };
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return recorded(rig.TextLogPath(), rig.BinaryLogPath()); }, 15000));

    const QString movedText = rig.TextLogPath() + QStringLiteral(".1");
    const QString movedBinary = rig.BinaryLogPath() + QStringLiteral(".1");
    ASSERT_TRUE(QFile::rename(rig.TextLogPath(), movedText));
    ASSERT_TRUE(QFile::rename(rig.BinaryLogPath(), movedBinary));
    const int moved = Text(movedText).Records();
    rig.Program().Signal(SIGHUP);
    EXPECT_TRUE(CLiveRig::WaitUntil([&] { return recorded(rig.TextLogPath(), rig.BinaryLogPath()); }, 15000));
    ASSERT_EQ(0, rig.StopProgram());

    EXPECT_EQ(1, Lines(QStringLiteral("km302: Dzienniki otwarte ponownie.")));
    EXPECT_GE(Text(movedText).Records(), moved);
    for (const QString& path : {movedText, rig.TextLogPath()})
        EXPECT_TRUE(CLiveRig::ReadFile(path).startsWith(kHeader)) << path.toStdString();
    ExpectWhole(movedText, movedBinary);
    ExpectWhole(rig.TextLogPath(), rig.BinaryLogPath());
}

TEST_F(HeadlessTest, AFullDiskGivesOneLinePerFileAndRecordingResumes)
{
    CSmallTmpfs disk(rig.FilePath(QStringLiteral("disk")));
    ASSERT_TRUE(disk.IsMounted()) << "mounting a tmpfs (needs root): " << disk.Error();
    const QString text = rig.FilePath(QStringLiteral("disk/pomiary.txt"));
    const QString binary = rig.FilePath(QStringLiteral("disk/pomiary.vrd"));
    const QString filler = rig.FilePath(QStringLiteral("disk/filler"));
    ASSERT_TRUE(rig.WriteSettings(false));
    ASSERT_TRUE(CSmallTmpfs::Fill(filler));
    ASSERT_TRUE(rig.StartSim({"--value", "1013.2"}));
    ASSERT_TRUE(Start({"--log", text.toStdString(), "--vrd", binary.toStdString(), "--interval", "1"}));

    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return Lines(text) >= 1 && Lines(binary) >= 1 && States().contains(kValid); }, 10000))
        << rig.Program().ErrorOutput().toStdString();
    // Ten more ticks on the full disk, each of them retrying both files.
    std::this_thread::sleep_for(std::chrono::milliseconds(CLiveRig::Slack(1000)));
    ASSERT_TRUE(QFile::remove(filler));
    EXPECT_TRUE(CLiveRig::WaitUntil([&] { return Text(text).Records() >= 5 && BinaryRecords(binary) >= 5; }, 10000))
        << Text(text).Records() << " text and " << BinaryRecords(binary) << " binary records since space returned";
    ASSERT_EQ(0, rig.StopProgram());

    for (const QString& path : {text, binary}) {
        EXPECT_EQ(1, Lines(QStringLiteral("km302: Błąd zapisu do pliku ") + path)) << rig.Program().ErrorOutput().toStdString();
        EXPECT_EQ(1, Lines(QStringLiteral("km302: Zapis do pliku %1 wznowiony.").arg(path)))
            << rig.Program().ErrorOutput().toStdString();
    }
    EXPECT_TRUE(CLiveRig::ReadFile(text).startsWith(kHeader));
    ExpectWhole(text, binary);
}

TEST_F(HeadlessTest, HelpVersionAndBadOptionsAnswerWithoutADisplay)
{
    for (const QStringList& args : {QStringList {"--help"}, QStringList {"--headless", "--help"}}) {
        const Outcome outcome = Run(args);
        EXPECT_EQ(0, outcome.status) << args.join(' ').toStdString();
        EXPECT_TRUE(outcome.out.startsWith("Użycie: km302")) << outcome.out.toStdString();
    }
    for (const QStringList& args : {QStringList {"--version"}, QStringList {"--headless", "--version"}}) {
        const Outcome outcome = Run(args);
        EXPECT_EQ(0, outcome.status) << args.join(' ').toStdString();
        EXPECT_EQ("km302 3.04\n", outcome.out);
    }
    for (const QStringList& args : {QStringList {"--headless", "--bogus"}, QStringList {"--headless", "--port"},
                                    QStringList {"--headless", "--interval", "0"},
                                    QStringList {"--headless", "--separator", "x"}, QStringList {"--headless", "--port="}}) {
        const Outcome outcome = Run(args);
        const QList<QByteArray> lines = outcome.err.split('\n');
        EXPECT_EQ(2, outcome.status) << args.join(' ').toStdString();
        EXPECT_TRUE(lines.size() > 1 && lines[0].startsWith("km302: ") && lines[1].startsWith("Użycie: km302"))
            << args.join(' ').toStdString() << ": " << outcome.err.toStdString();
    }
}

// The window without a display says so and ends with status 1 (no abort, no
// core); a bad command line is found first, as with a display: status 2 and
// the usage. QApplication's own options are no usage error.
TEST_F(HeadlessTest, TheWindowWithoutADisplaySaysSoAndABadLineIsAUsageErrorFirst)
{
    const QByteArray hint = ": uruchom okno na pulpicie albo użyj --headless\n";
    const Outcome none = Run({});
    EXPECT_EQ(1, none.status);
    EXPECT_EQ("km302: brak ekranu" + hint, none.err);
    // Nothing answers on :4093 (an X server gone, e.g. a stopped Xvfb).
    const Outcome gone = Run({"-name", "km302"}, QStringLiteral(":4093"));
    EXPECT_EQ(1, gone.status);
    EXPECT_EQ("km302: brak połączenia z ekranem :4093" + hint, gone.err);

    for (const QStringList& args : {QStringList {"--bogus"}, QStringList {"--port", "COM5"},
                                    QStringList {"-platform", "xcb", "-reverse", "--bogus"}}) {
        const Outcome outcome = Run(args);
        const QList<QByteArray> lines = outcome.err.split('\n');
        EXPECT_EQ(2, outcome.status) << args.join(' ').toStdString();
        EXPECT_TRUE(lines.size() > 1 && lines[0].startsWith("km302: ") && lines[1].startsWith("Użycie: km302"))
            << args.join(' ').toStdString() << ": " << outcome.err.toStdString();
    }
    EXPECT_TRUE(Run({"-platform", "xcb", "--bogus"}).err.startsWith("km302: nieznana opcja „--bogus”"));
}

TEST_F(HeadlessTest, OptionsOverrideTheSettingsForOneRunAndAMissingPortIsWaitedFor)
{
    ASSERT_TRUE(rig.WriteSettings(true));
    const QByteArray settings = CLiveRig::ReadFile(rig.SettingsPath());
    const QString text = rig.FilePath(QStringLiteral("inne.csv"));
    const QString binary = rig.FilePath(QStringLiteral("inne.vrd"));
    const std::string port = rig.LinkPath().toStdString();
    // An interval of an hour: one record at once, no other in this run.
    ASSERT_TRUE(Start({"--port", port, "--log=" + text.toStdString(), "--vrd", binary.toStdString(), "--interval",
                       "3600", "--separator=semicolon"}));
    const QString missing = QStringLiteral("km302: Nie można otworzyć portu ") + rig.LinkPath();
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return Lines(missing) >= 1; }, 10000)) << rig.Program().ErrorOutput().toStdString();

    ASSERT_TRUE(rig.StartSim({"--value", "1013.2"}));
    EXPECT_TRUE(CLiveRig::WaitUntil([&] { return States().contains(kValid); }, 15000));
    // Ten of the settings' intervals with frames coming in.
    std::this_thread::sleep_for(std::chrono::milliseconds(CLiveRig::Slack(1000)));
    ASSERT_EQ(0, rig.StopProgram());

    EXPECT_EQ(1, Lines(missing));
    EXPECT_EQ(1, Lines(QStringLiteral("km302: Otwarto port ") + rig.LinkPath()));
    const QList<QByteArray> lines = CLiveRig::ReadFile(text).split('\n');
    ASSERT_EQ(3, lines.size()) << CLiveRig::ReadFile(text).toStdString();
    EXPECT_TRUE(lines[0].startsWith("Data i Godzina;Ci\x9Cnienie"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d;\\S+\r$"))
                    .match(QString::fromLatin1(lines[1])).hasMatch())
        << lines[1].toStdString();
    EXPECT_EQ(1, BinaryRecords(binary));
    EXPECT_FALSE(QFile::exists(rig.TextLogPath()));
    EXPECT_FALSE(QFile::exists(rig.BinaryLogPath()));
    EXPECT_EQ(settings, CLiveRig::ReadFile(rig.SettingsPath()));
}

} // namespace

namespace {

// Two barometers on one machine: km302 --headless --config a and --config b,
// each with its settings file (its own port), on one bus.
TEST_F(HeadlessTest, TwoInstancesReadTheirOwnSettingsAndEachHoldsItsInstrumentsName)
{
    struct Instance {
        QString name;
        int serial;
        CSimProcess sim;
        std::unique_ptr<CKm302Process> program;
    };
    Instance instances[] = {{QStringLiteral("a"), 1111, {}, {}}, {QStringLiteral("b"), 2222, {}, {}}};
    ASSERT_TRUE(QDir().mkpath(rig.FilePath(QStringLiteral("KM302"))));
    for (Instance& i : instances) {
        const QString link = rig.FilePath(QStringLiteral("port-") + i.name);
        const QByteArray settings = "[GENERAL]\r\nPORT_NR=" + QByteArray::number(i.serial % 100) + "\r\n[PORTS]\r\nCOM"
                                    + QByteArray::number(i.serial % 100) + "=" + QFile::encodeName(link) + "\r\n";
        QFile file(rig.FilePath(QStringLiteral("KM302/") + i.name + QStringLiteral(".ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size());
        file.close();
        ASSERT_TRUE(i.sim.Start({"--link", link.toStdString(), "--serial", std::to_string(i.serial), "--interval",
                                 CLiveRig::kFrameInterval}));
        ASSERT_TRUE(i.sim.ReadLine(CLiveRig::Slack(CSimProcess::kWaitMs)));
        i.program = std::make_unique<CKm302Process>(rig.FilePath(QString()), CLiveRig::kTimeScale);
        i.program->SetRemovedVariables(kNoDisplay);
        i.program->SetArguments({"--headless", "--config", i.name.toStdString()});
        ASSERT_TRUE(i.program->Start());
    }

    CBusClient client;
    const auto owner = [&](int serial) { return client.NameOwner(QStringLiteral("pl.km302.KM302.SN%1").arg(serial)); };
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return !owner(1111).isEmpty() && !owner(2222).isEmpty(); }, 10000))
        << instances[0].program->ErrorOutput().toStdString() << instances[1].program->ErrorOutput().toStdString();
    EXPECT_NE(owner(1111), owner(2222));
    for (const Instance& i : instances) {
        QDBusMessage topics = QDBusMessage::createMethodCall(QStringLiteral("pl.km302.KM302.SN%1").arg(i.serial),
                                                             CBusClient::kPath, CBusClient::kInterface,
                                                             QStringLiteral("Topics"));
        EXPECT_EQ(QStringList {CBusClient::Topic(i.serial)},
                  client.Connection().call(topics, QDBus::Block, 5000).arguments().value(0).toStringList());
    }
    // The plain name: whichever came first, the other waiting in line, without a message.
    const QString first = client.NameOwner(CBusClient::kService);
    const int firstIndex = first == owner(1111) ? 0 : 1;
    ASSERT_EQ(first, owner(instances[firstIndex].serial));
    instances[firstIndex].program->Signal(SIGTERM);
    EXPECT_EQ(0, instances[firstIndex].program->WaitExit(CLiveRig::Slack(20000)));
    const int second = instances[1 - firstIndex].serial;
    EXPECT_TRUE(CLiveRig::WaitUntil([&] { return client.NameOwner(CBusClient::kService) == owner(second); }, 10000));
    for (const Instance& i : instances)
        EXPECT_EQ(0, CLiveRig::LinesWith(i.program->ErrorOutput(), QStringLiteral("Błąd inicjalizacji DDE!")));
    EXPECT_FALSE(QFile::exists(rig.SettingsPath()));
}

} // namespace
