// The real `km302 --headless` publishing to a real mosquitto on a free port,
// with the real simulator on its line and mosquitto_sub as the subscriber
// (its -v output in a file): the topics and every field, what is retained,
// the last will after kill -9, discovery sent again when Home Assistant says
// it is back, and no record lost through a broker outage during which km302
// itself is killed and started again; over TLS with an authority of the
// test's own (and refused with another); two instances on one broker.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "publish/livepublisher.h"
#include "publish/mqttclient.h"
#include "publish/recordspool.h"
#include "tests/e2e/liverig.h"
#include "tests/kit/busclient.h"
#include "tests/kit/mosquittobroker.h"
#include "tests/kit/mqttsubscriber.h"

namespace {

const std::vector<std::string> kNoDisplay {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "JOURNAL_STREAM"};
const QString kState = QStringLiteral("km302/1234/state");
const QString kRecord = QStringLiteral("km302/1234/record");
const QString kAvailability = QStringLiteral("km302/1234/availability");
const QString kDiscovery = QStringLiteral("homeassistant/sensor/km302_1234/pressure/config");

QJsonObject Json(const QByteArray& payload)
{
    return QJsonDocument::fromJson(payload).object();
}

bool IsUtcWithMs(const QJsonValue& time)
{
    static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"));
    return form.match(time.toString()).hasMatch();
}

class MqttTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(rig.IsValid());
        rig.Program().SetRemovedVariables(kNoDisplay);
        // The spool goes into the test's folder, as into a user's state
        // folder; the numbers for machines must not follow the Polish locale.
        rig.Program().SetEnvironment({"XDG_STATE_HOME=" + rig.FilePath(QStringLiteral("state")).toStdString(),
                                      "LANG=pl_PL.UTF-8", "LC_ALL=pl_PL.UTF-8"});
    }

    bool StartProgram(std::vector<std::string> options)
    {
        options.insert(options.begin(), {"--headless", "--interval", "1"});
        rig.Program().SetArguments(options);
        return rig.StartProgram();
    }

    QString SpoolPath() const { return rig.FilePath(QStringLiteral("state/km302/KM302.spool")); }

    // The times of the records waiting in the spool file (km302 not running).
    std::vector<QString> SpoolTimes() const
    {
        CRecordSpool spool(SpoolPath(), qint64(1) << 30);
        std::vector<QString> times;
        spool.Open();
        for (auto record = spool.Peek(); record; spool.Pop(), record = spool.Peek())
            times.push_back(Json(record->payload).value("time").toString());
        return times;
    }

    // Whole records of the text log, whatever the locale made of their numbers.
    int LoggedRecords() const
    {
        static const QRegularExpression record(QStringLiteral("^\\d{4}\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d\\t[^\\r]+\\r$"),
                                               QRegularExpression::MultilineOption);
        int n = 0;
        for (auto it = record.globalMatch(QString::fromLatin1(CLiveRig::ReadFile(rig.TextLogPath()))); it.hasNext(); it.next())
            ++n;
        return n;
    }

    int ErrorLines(const QString& text) { return CLiveRig::LinesWith(rig.Program().ErrorOutput(), text); }

    // The rig's settings with both logs, and `mqtt` as the section [MQTT].
    bool WriteSettings(const QString& mqtt)
    {
        QFile settings(rig.SettingsPath());
        return rig.WriteSettings(true) && settings.open(QIODevice::Append)
               && settings.write("[MQTT]\r\n" + mqtt.toUtf8()) > 0;
    }

    CLiveRig rig;
    CMosquittoBroker broker;
    CMqttSubscriber sub;
};

TEST_F(MqttTest, PublishesEveryTopicRetainsStateAndDiscoveryAndLeavesItsWillWhenKilled)
{
    ASSERT_TRUE(broker.Start()) << broker.Log().toStdString();
    ASSERT_TRUE(sub.Start(rig.FilePath(QStringLiteral("sub.txt")), broker.Port(),
                          {"-t", "km302/#", "-t", "homeassistant/#"}));
    ASSERT_TRUE(rig.WriteSettings(false));
    ASSERT_TRUE(rig.StartSim({"--value", "1013.2"}));
    ASSERT_TRUE(StartProgram({"--mqtt", "127.0.0.1:" + std::to_string(broker.Port())}));

    ASSERT_TRUE(CLiveRig::WaitUntil([&] {
        return sub.On(kRecord).size() >= 3 && sub.On(kDiscovery).size() >= 1 && !sub.On(kAvailability).empty()
               && sub.On(kAvailability).back() == "online";
    }, 15000)) << CLiveRig::ReadFile(rig.FilePath(QStringLiteral("sub.txt"))).toStdString();
    // Nothing before the first valid frame named the instrument.
    for (const auto& [topic, payload] : sub.Messages())
        EXPECT_TRUE(topic.startsWith(QStringLiteral("km302/1234/")) || topic == kDiscovery) << topic.toStdString();
    EXPECT_EQ(1, ErrorLines(QStringLiteral("Połączono z serwerem MQTT 127.0.0.1:%1").arg(broker.Port())));

    for (const QByteArray& payload : {sub.On(kState).back(), sub.On(kRecord).back()}) {
        const QJsonObject o = Json(payload);
        EXPECT_TRUE(IsUtcWithMs(o.value("time"))) << payload.toStdString();
        EXPECT_EQ(1013.2, o.value("pressure_hpa").toDouble()) << payload.toStdString();
        EXPECT_EQ(1013.2, o.value("value").toDouble());
        EXPECT_EQ("hPa", o.value("unit").toString());
        EXPECT_EQ("ok", o.value("status").toString());
        EXPECT_EQ(1234, o.value("serial").toInt());
    }
    const QJsonObject discovery = Json(sub.On(kDiscovery).back());
    EXPECT_EQ("km302_1234_pressure", discovery.value("unique_id").toString());
    EXPECT_EQ(kState, discovery.value("state_topic").toString());
    EXPECT_EQ(kAvailability, discovery.value("availability_topic").toString());
    EXPECT_EQ("atmospheric_pressure", discovery.value("device_class").toString());
    EXPECT_EQ("km302_1234", discovery.value("device").toObject().value("identifiers").toArray().at(0).toString());

    // A subscriber that comes later gets the state and the discovery at once:
    // retained (the record is not).
    CMqttSubscriber late;
    ASSERT_TRUE(late.Start(rig.FilePath(QStringLiteral("late.txt")), broker.Port(),
                           {"--retained-only", "-W", "3", "-t", "km302/#", "-t", "homeassistant/#"}));
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return late.On(kState).size() == 1 && late.On(kDiscovery).size() == 1; },
                                    10000));
    EXPECT_TRUE(late.On(kRecord).empty());
    EXPECT_EQ(std::vector<QByteArray>{"online"}, late.On(kAvailability));

    // Home Assistant comes back: the discovery again, once per "online".
    const size_t discoveries = sub.On(kDiscovery).size();
    CChildProcess pub;
    ASSERT_TRUE(pub.Start("/usr/bin/mosquitto_pub", {"-h", "127.0.0.1", "-p", std::to_string(broker.Port()), "-t",
                                                      "homeassistant/status", "-m", "online"}));
    ASSERT_EQ(0, pub.WaitExit(10000));
    EXPECT_TRUE(CLiveRig::WaitUntil([&] { return sub.On(kDiscovery).size() == discoveries + 1; }, 10000));

    // The instrument unplugged: no_communication with nulls, then offline.
    ASSERT_EQ(0, rig.StopSim(SIGTERM));
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return sub.On(kAvailability).back() == "offline"; }, 10000));
    const QJsonObject lost = Json(sub.On(kState).back());
    EXPECT_EQ("no_communication", lost.value("status").toString());
    EXPECT_TRUE(lost.value("pressure_hpa").isNull());
    EXPECT_TRUE(lost.value("value").isNull());
    EXPECT_EQ(1234, lost.value("serial").toInt());

    // Back, and then killed: the broker says offline for it.
    ASSERT_TRUE(rig.StartSim({"--value", "1013.2"}));
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return sub.On(kAvailability).back() == "online"; }, 10000));
    rig.Program().Signal(SIGKILL);
    rig.Program().WaitExit(10000);
    EXPECT_TRUE(CLiveRig::WaitUntil([&] { return sub.On(kAvailability).back() == "offline"; }, 10000));
}

// QoS 1 may bring a record twice (sent again after a connection broke before
// its acknowledgement): the receiver counts records by their time, which
// each keeps from the tick that took it. Every record the text log got (the
// same ticks) arrives, in order, except those still in the spool at the
// end and at most the one a kill -9 cut.
TEST_F(MqttTest, RecordsOfABrokerOutageArriveOnceInOrderAlsoAcrossAKilledProgram)
{
    const QString store = rig.FilePath(QStringLiteral("broker-db/"));
    ASSERT_TRUE(QDir().mkpath(store));
    // A persistent session: the subscriber's queue survives the broker's restart.
    ASSERT_TRUE(broker.Start({"persistence true", "persistence_location " + store})) << broker.Log().toStdString();
    ASSERT_TRUE(sub.Start(rig.FilePath(QStringLiteral("sub.txt")), broker.Port(),
                          {"-c", "-i", "e2e-records", "-q", "1", "-t", "km302/+/record"}));
    ASSERT_TRUE(rig.WriteSettings(true));
    QFile settings(rig.SettingsPath());
    ASSERT_TRUE(settings.open(QIODevice::Append));
    settings.write(QStringLiteral("[MQTT]\r\nHOST=127.0.0.1\r\nPORT=%1\r\n").arg(broker.Port()).toUtf8());
    settings.close();
    ASSERT_TRUE(rig.StartSim({"--value", "1013.2"}));
    ASSERT_TRUE(StartProgram({}));
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return sub.On(kRecord).size() >= 3; }, 15000));

    // The broker's database holds the subscriber's session.
    broker.Signal(SIGUSR1);
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return QFileInfo::exists(store + "mosquitto.db"); }, 10000));

    // The broker hangs (records go out unacknowledged), then dies: what was
    // on its way is lost on the network and must come again from the spool.
    // km302 is killed and started again during the outage.
    const auto ticks = [&](int n) {
        const int from = LoggedRecords();
        return CLiveRig::WaitUntil([&] { return LoggedRecords() >= from + n; }, 10000);
    };
    broker.Signal(SIGSTOP);
    ASSERT_TRUE(ticks(CLivePublisher::kMaxInFlight + 4));
    broker.Signal(SIGKILL);
    ASSERT_TRUE(ticks(5));
    rig.Program().Signal(SIGKILL);
    rig.Program().WaitExit(10000);
    ASSERT_TRUE(StartProgram({}));
    ASSERT_TRUE(ticks(10));

    // Back: the spool drains, then km302 ends.
    ASSERT_TRUE(broker.Restart()) << broker.Log().toStdString();
    ASSERT_TRUE(CLiveRig::WaitUntil([&] { return QFileInfo(SpoolPath()).size() == CRecordSpool::kHeaderSize; }, 15000));
    ASSERT_EQ(0, rig.StopProgram());
    const std::vector<QString> spooled = SpoolTimes();

    const int logged = LoggedRecords();
    // Counted by time: what arrived, and what is still spooled (a record
    // whose acknowledgement came too late for km302 is both).
    std::vector<QString> times;
    const auto distinct = [&] {
        std::set<QString> seen;
        times.clear();
        for (const QByteArray& payload : sub.On(kRecord)) {
            const QString time = Json(payload).value("time").toString();
            if (seen.insert(time).second)
                times.push_back(time);
        }
        int n = int(times.size());
        for (const QString& time : spooled)
            n += seen.count(time) ? 0 : 1;
        return n;
    };
    EXPECT_TRUE(CLiveRig::WaitUntil([&] { return distinct() >= logged - 1; }, 10000));
    EXPECT_LE(distinct(), logged);
    EXPECT_GE(distinct(), logged - 1) << "records lost";
    EXPECT_GE(logged, 3 + CLivePublisher::kMaxInFlight + 4 + 5 + 10);
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_LT(times[i - 1], times[i]) << "out of order at " << i;
}

// A broker that refuses the password, a host that does not resolve and a
// broker that accepts the connection and then says nothing: the files keep
// their record a second all along, the first two are said in one line each,
// and the password is never said.
TEST_F(MqttTest, ABrokerThatRefusesIsUnknownOrSilentNeverHoldsUpTheLogs)
{
    // The silent broker: a socket that listens and never accepts, so the
    // connection completes in the kernel and nothing ever answers.
    const int silent = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(silent, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(0, ::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address));
    ASSERT_EQ(0, ::listen(silent, 8));
    ASSERT_EQ(0, ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length));
    const int silentPort = ntohs(address.sin_port);

    const QString passwords = broker.MakePasswordFile(QStringLiteral("hala"), QStringLiteral("dobre"));
    ASSERT_TRUE(broker.Start({QStringLiteral("allow_anonymous false"), QStringLiteral("password_file ") + passwords}))
        << broker.Log().toStdString();
    ASSERT_TRUE(rig.WriteSettings(true));
    QFile settings(rig.SettingsPath());
    ASSERT_TRUE(settings.open(QIODevice::Append));
    settings.write("[MQTT]\r\nUSER=hala\r\nPASSWORD=zle-haslo-42\r\n");
    settings.close();
    ASSERT_TRUE(rig.StartSim({"--value", "1013.2"}));
    rig.Program().SetEnvironment({"XDG_STATE_HOME=" + rig.FilePath(QStringLiteral("state")).toStdString(),
                                  "LANG=pl_PL.UTF-8", "LC_ALL=pl_PL.UTF-8", "RES_OPTIONS=timeout:1 attempts:1"});

    const struct {
        std::string broker;
        QString line;   // empty: nothing to say within the run
    } cases[] = {
        {"127.0.0.1:" + std::to_string(broker.Port()), CMqttClient::RefusedUserText()},
        {"no-such-host.invalid", CMqttClient::NotFoundText(QStringLiteral("no-such-host.invalid"))},
        {"127.0.0.1:" + std::to_string(silentPort), QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.broker);
        const int before = LoggedRecords();
        ASSERT_TRUE(StartProgram({"--mqtt", c.broker}));
        EXPECT_TRUE(CLiveRig::WaitUntil([&] { return LoggedRecords() >= before + 4; }, 15000))
            << rig.Program().ErrorOutput().toStdString();
        if (!c.line.isEmpty()) {
            EXPECT_TRUE(CLiveRig::WaitUntil([&] { return ErrorLines(c.line) >= 1; }, 10000))
                << rig.Program().ErrorOutput().toStdString();
            EXPECT_EQ(1, ErrorLines(c.line)) << "one line per change, not one per try";
        }
        EXPECT_EQ(0, ErrorLines(QStringLiteral("zle-haslo-42")));
        ASSERT_EQ(0, rig.StopProgram());
    }
    ::close(silent);
}

// TLS through the whole program, the broker's certificate signed by an
// authority of the test's own: with another authority in CA_FILE, one line
// says so, nothing is published and the logs go on; with the right one,
// everything goes over TLS, the records of the refused run first.
TEST_F(MqttTest, TlsPublishesOnlyWithTheAuthorityOfTheBrokersCertificateAndTheLogsGoOnMeanwhile)
{
    ASSERT_TRUE(broker.MakeAuthority(QStringLiteral("broker"), QStringLiteral("DNS:localhost,IP:127.0.0.1")));
    ASSERT_TRUE(broker.MakeAuthority(QStringLiteral("other"), QStringLiteral("DNS:localhost,IP:127.0.0.1")));
    ASSERT_TRUE(broker.Start(broker.TlsLines(QStringLiteral("broker")))) << broker.Log().toStdString();
    ASSERT_TRUE(sub.Start(rig.FilePath(QStringLiteral("sub.txt")), broker.Port(),
                          {"--cafile", broker.AuthorityPath(QStringLiteral("broker")).toStdString(), "-t", "km302/#"}));
    ASSERT_TRUE(rig.StartSim({"--value", "1013.2"}));
    const auto settings = [&](const QString& authority) {
        return WriteSettings(QStringLiteral("HOST=127.0.0.1\r\nPORT=%1\r\nTLS=1\r\nCA_FILE=%2\r\n")
                                 .arg(broker.Port())
                                 .arg(broker.AuthorityPath(authority)));
    };
    const QString untrusted = CMqttClient::CertificateText();

    ASSERT_TRUE(settings(QStringLiteral("other")));
    ASSERT_TRUE(StartProgram({}));
    EXPECT_TRUE(CLiveRig::WaitUntil([&] { return LoggedRecords() >= 5 && ErrorLines(untrusted) >= 1; }, 15000))
        << rig.Program().ErrorOutput().toStdString();
    EXPECT_EQ(1, ErrorLines(untrusted)) << "one line, not one per try";
    ASSERT_EQ(0, rig.StopProgram());
    EXPECT_TRUE(sub.Messages().empty());
    const size_t refusedRecords = size_t(LoggedRecords());

    ASSERT_TRUE(settings(QStringLiteral("broker")));
    ASSERT_TRUE(StartProgram({}));
    // Caught up with the logs: the refused run's records were kept for it.
    EXPECT_TRUE(CLiveRig::WaitUntil([&] {
        const size_t records = sub.On(kRecord).size();
        return records >= refusedRecords + 3 && records + 1 >= size_t(LoggedRecords()) && !sub.On(kState).empty();
    }, 15000))
        << rig.Program().ErrorOutput().toStdString() << broker.Log().toStdString();
    EXPECT_EQ(1, ErrorLines(CMqttClient::ConnectedText(QStringLiteral("127.0.0.1"), broker.Port())));
    EXPECT_EQ(0, ErrorLines(untrusted));
    EXPECT_EQ(1013.2, Json(sub.On(kRecord).back()).value("pressure_hpa").toDouble());
}

// Two barometers on one machine and one broker: km302 --headless --config a
// and --config b, one state folder. Each publishes under its own serial
// number, holds its own name on the bus and its own spool, and connects as a
// client of its own: the broker would drop one of two clients of one id
// whenever the other connects, so neither may ever lose its connection.
TEST_F(MqttTest, TwoInstancesPublishTheirOwnInstrumentsAsTwoClientsWithTwoSpools)
{
    ASSERT_TRUE(broker.Start()) << broker.Log().toStdString();
    ASSERT_TRUE(sub.Start(rig.FilePath(QStringLiteral("sub.txt")), broker.Port(), {"-t", "km302/#"}));
    struct Instance {
        QString name;
        int serial;
        CSimProcess sim;
        std::unique_ptr<CKm302Process> program;
        QString Topic(const char* leaf) const { return QStringLiteral("km302/%1/%2").arg(serial).arg(leaf); }
    };
    Instance instances[] = {{QStringLiteral("a"), 1111, {}, {}}, {QStringLiteral("b"), 2222, {}, {}}};
    for (Instance& i : instances) {
        const QString link = rig.FilePath(QStringLiteral("port-") + i.name);
        const QByteArray settings = "[GENERAL]\r\nPORT_NR=" + QByteArray::number(i.serial % 100) + "\r\n[PORTS]\r\nCOM"
                                    + QByteArray::number(i.serial % 100) + "=" + QFile::encodeName(link) + "\r\n";
        ASSERT_TRUE(QDir().mkpath(rig.FilePath(QStringLiteral("KM302"))));
        QFile file(rig.FilePath(QStringLiteral("KM302/") + i.name + QStringLiteral(".ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size());
        file.close();
        ASSERT_TRUE(i.sim.Start({"--link", link.toStdString(), "--serial", std::to_string(i.serial), "--interval",
                                 CLiveRig::kFrameInterval}));
        ASSERT_TRUE(i.sim.ReadLine(CLiveRig::Slack(CSimProcess::kWaitMs)));
        i.program = std::make_unique<CKm302Process>(rig.FilePath(QString()), CLiveRig::kTimeScale);
        i.program->SetRemovedVariables(kNoDisplay);
        i.program->SetEnvironment({"XDG_STATE_HOME=" + rig.FilePath(QStringLiteral("state")).toStdString()});
        i.program->SetArguments({"--headless", "--config", i.name.toStdString(), "--interval", "1", "--mqtt",
                                 "127.0.0.1:" + std::to_string(broker.Port())});
        ASSERT_TRUE(i.program->Start());
    }

    // A few seconds of records from both, long enough for a dropped client
    // to have come back and dropped the other.
    ASSERT_TRUE(CLiveRig::WaitUntil([&] {
        return sub.On(instances[0].Topic("record")).size() >= 30 && sub.On(instances[1].Topic("record")).size() >= 30;
    }, 20000)) << instances[0].program->ErrorOutput().toStdString() << instances[1].program->ErrorOutput().toStdString();
    const QString connected = CMqttClient::ConnectedText(QStringLiteral("127.0.0.1"), broker.Port());
    for (const Instance& i : instances) {
        SCOPED_TRACE(i.name.toStdString());
        for (const char* leaf : {"state", "record"}) {
            ASSERT_FALSE(sub.On(i.Topic(leaf)).empty()) << leaf;
            EXPECT_EQ(i.serial, Json(sub.On(i.Topic(leaf)).back()).value("serial").toInt()) << leaf;
        }
        EXPECT_EQ(std::vector<QByteArray> {"online"}, sub.On(i.Topic("availability")));
        EXPECT_EQ(1, CLiveRig::LinesWith(i.program->ErrorOutput(), connected));
        EXPECT_EQ(0, CLiveRig::LinesWith(i.program->ErrorOutput(), CMqttClient::LostText(QStringLiteral("127.0.0.1"), broker.Port())));
        EXPECT_TRUE(QFileInfo::exists(rig.FilePath(QStringLiteral("state/km302/%1.spool").arg(i.name))));
    }

    CBusClient client;
    const auto owner = [&](int serial) { return client.NameOwner(QStringLiteral("pl.km302.KM302.SN%1").arg(serial)); };
    EXPECT_FALSE(owner(1111).isEmpty());
    EXPECT_FALSE(owner(2222).isEmpty());
    EXPECT_NE(owner(1111), owner(2222));
    const QString plain = client.NameOwner(CBusClient::kService);
    EXPECT_TRUE(plain == owner(1111) || plain == owner(2222)) << plain.toStdString();
}

} // namespace
