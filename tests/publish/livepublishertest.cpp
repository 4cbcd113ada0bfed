#include "publish/livepublisher.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <gtest/gtest.h>


#include <string>
#include <utility>
#include <vector>

#include "tests/kit/childprocess.h"
#include "tests/kit/mosquittobroker.h"
#include "tests/kit/mqttsubscriber.h"
#include "tests/kit/scratchfolder.h"

namespace {

constexpr int kWaitMs = 15000;
const QString kConfigs = QStringLiteral("homeassistant/sensor/km302_1234/");

MqttSettings Local(int nPort)
{
    MqttSettings s;
    s.strHost = QStringLiteral("127.0.0.1");
    s.nPort = nPort;
    return s;
}

QJsonObject Json(const QByteArray& payload)
{
    return QJsonDocument::fromJson(payload).object();
}

// The publisher of one instrument (serial 1234, 1013.2 hPa) with its spool in
// a scratch folder, as in a user's state folder.
struct Rig {
    CScratchFolder folder;
    CMosquittoBroker broker;
    LiveReading reading{true, 1234, 1013.2, false, false, false};
    std::unique_ptr<CLivePublisher> publisher;

    bool Start(const QStringList& brokerLines = {})
    {
        qputenv("XDG_STATE_HOME", folder.Path(QStringLiteral("state")).toLocal8Bit());
        if (!broker.Start(brokerLines))
            return false;
        publisher = std::make_unique<CLivePublisher>(
            Local(broker.Port()), QStringLiteral("KM302"), [this] { return reading; }, nullptr);
        return true;
    }
    bool WaitConnected(bool bConnected) const
    {
        return QTest::qWaitFor([&] { return publisher->IsConnected() == bConnected; }, kWaitMs);
    }
};

// mosquitto_sub writing "topic payload" lines into a file, in the order the
// messages arrive; with an id, its session is kept by a broker with
// persistence across the broker's restart.
struct Subscriber : CMqttSubscriber {
    // Subscribes as `id` to `topics`; true once the broker has the subscription.
    bool Start(CMosquittoBroker& broker, const QString& file, const std::string& id, std::vector<std::string> options)
    {
        options.insert(options.begin(), {"-i", id, "-q", "1"});
        return CMqttSubscriber::Start(file, broker.Port(), options) && QTest::qWaitFor([&] {
                   return broker.Log().contains(QStringLiteral("Received SUBSCRIBE from %1").arg(id.c_str()));
               }, kWaitMs);
    }
    bool WaitCount(size_t n, const QString& topic = {})
    {
        return QTest::qWaitFor([&] { return (topic.isEmpty() ? Messages().size() : On(topic).size()) >= n; },
                               kWaitMs);
    }
};

// With the station's settings all off the broker gets today's messages; the
// reduction and the tendency switched on while running bring their fields
// and their sensors, switched off they take the sensors away again.
TEST(LivePublisherTest, StationFieldsAndSensorsFollowItsSettingsAndAreAbsentWhenOff)
{
    Rig rig;
    ASSERT_TRUE(rig.Start()) << rig.broker.Log().toStdString();
    Subscriber sub;
    ASSERT_TRUE(sub.Start(rig.broker, rig.folder.Path(QStringLiteral("sub.txt")), "sub", {"-t", "#"}));
    const QString state = QStringLiteral("km302/1234/state");
    const QString record = QStringLiteral("km302/1234/record");

    CStation station;
    rig.publisher->SetStation(&station);
    rig.publisher->Start();
    rig.publisher->OnRefresh();
    rig.publisher->RecordTick();
    ASSERT_TRUE(sub.WaitCount(1, record));
    ASSERT_TRUE(sub.WaitCount(1, state));
    for (const QByteArray& payload : {sub.On(state).back(), sub.On(record).back()}) {
        QJsonObject o = Json(payload);
        o.remove("time");
        EXPECT_EQ(QJsonDocument(o).toJson(QJsonDocument::Compact),
                  R"({"pressure_hpa":1013.2,"serial":1234,"status":"ok","unit":"hPa","value":1013.2})");
    }

    // QNH and the tendency on: 898.76 hPa at 1000 m gives 1013.27 hPa.
    StationSettings on;
    on.dElevation = 1000;
    on.nReduction = StationSettings::kQnh;
    on.bTendency = 1;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    station.SetSettings(on, now);
    station.Update(now, 898.76);
    rig.publisher->OnRefresh();
    rig.publisher->RecordTick();
    // The state goes out on the event loop's next pass, the record at once.
    ASSERT_TRUE(sub.WaitCount(2, record));
    ASSERT_TRUE(sub.WaitCount(2, state));
    for (const QByteArray& payload : {sub.On(state).back(), sub.On(record).back()}) {
        const QJsonObject o = Json(payload);
        EXPECT_EQ(o["qnh_hpa"].toDouble(), 1013.3);
        EXPECT_TRUE(o.contains("tendency_3h_hpa") && o["tendency_3h_hpa"].isNull());
        EXPECT_TRUE(o.contains("tendency_code") && o["tendency_code"].isNull());
    }
    EXPECT_EQ(Json(sub.On(kConfigs + "qnh/config").at(0))["unique_id"].toString(), "km302_1234_qnh");
    EXPECT_EQ(Json(sub.On(kConfigs + "tendency/config").at(0))["unique_id"].toString(), "km302_1234_tendency");

    // QFF instead, no tendency: the QNH and tendency sensors are removed;
    // none of them was there while everything was off.
    on.nReduction = StationSettings::kQff;
    on.bTendency = 0;
    station.SetSettings(on, now);
    station.Update(now, 898.76);
    rig.publisher->OnRefresh();
    rig.publisher->RecordTick();
    ASSERT_TRUE(sub.WaitCount(3, record));
    using Payloads = std::vector<QByteArray>;
    EXPECT_EQ(sub.On(kConfigs + "qnh/config"), Payloads({CMqttPayload::ReducedConfig("km302", 1234, 1), ""}));
    EXPECT_EQ(sub.On(kConfigs + "tendency/config"), Payloads({CMqttPayload::TendencyConfig("km302", 1234), ""}));
    EXPECT_EQ(sub.On(kConfigs + "qff/config").size(), 1u);
    EXPECT_EQ(sub.On(kConfigs + "pressure/config"), Payloads{CMqttPayload::DiscoveryConfig("km302", 1234)});
    const QJsonObject qff = Json(sub.On(record).back());
    EXPECT_TRUE(qff.contains("qff_hpa"));
    EXPECT_FALSE(qff.contains("qnh_hpa") || qff.contains("tendency_code"));
}

// An alert before the instrument is known waits for its serial number; one
// during a broker outage waits in the spool with the records and arrives
// after the outage in its place among them.
TEST(LivePublisherTest, AlertsGoThroughTheSpoolAndArriveAfterABrokerOutageInOrder)
{
    Rig rig;
    const QString store = rig.folder.Path(QStringLiteral("broker-db/"));
    ASSERT_TRUE(QDir().mkpath(store));
    ASSERT_TRUE(rig.Start({"persistence true", "persistence_location " + store})) << rig.broker.Log().toStdString();
    Subscriber sub;
    ASSERT_TRUE(sub.Start(rig.broker, rig.folder.Path(QStringLiteral("sub.txt")), "alerts",
                          {"-c", "-t", "km302/+/record", "-t", "km302/+/alert"}));

    // Connected before the instrument is known, as when the first frame
    // comes late: the alert is sent once, with the connection that names it.
    rig.publisher->Start();
    ASSERT_TRUE(rig.WaitConnected(true));
    rig.publisher->PublishAlert({QStringLiteral("silence"), true, QStringLiteral("Brak odczytu")});
    rig.publisher->OnRefresh();
    rig.publisher->RecordTick();
    ASSERT_TRUE(sub.WaitCount(2));

    rig.broker.Stop();
    ASSERT_TRUE(rig.WaitConnected(false));
    rig.publisher->RecordTick();
    rig.publisher->PublishAlert({QStringLiteral("fall"), true, QStringLiteral("Ciśnienie spada szybko")});
    rig.publisher->RecordTick();
    ASSERT_TRUE(rig.broker.Restart()) << rig.broker.Log().toStdString();
    ASSERT_TRUE(rig.WaitConnected(true));
    ASSERT_TRUE(sub.WaitCount(5));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.publisher->Spool().IsEmpty(); }, kWaitMs));

    const auto messages = sub.Messages();
    std::vector<std::string> topics;
    for (const auto& [topic, payload] : messages)
        topics.push_back(topic.toStdString());
    EXPECT_EQ(topics, std::vector<std::string>({"km302/1234/alert", "km302/1234/record", "km302/1234/record",
                                                "km302/1234/alert", "km302/1234/record"}));
    const QJsonObject fall = Json(messages.at(3).second);
    EXPECT_EQ(fall["kind"].toString(), "fall");
    EXPECT_TRUE(fall["active"].toBool());
    EXPECT_EQ(fall["text"].toString(), QStringLiteral("Ciśnienie spada szybko"));
    EXPECT_EQ(fall["serial"].toInt(), 1234);
    EXPECT_EQ(Json(messages.at(0).second)["kind"].toString(), "silence");
}

} // namespace
