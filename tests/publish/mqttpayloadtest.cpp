#include "publish/mqttpayload.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <clocale>

namespace {

// Numbers for machines must not take the decimal comma of a Polish desktop.
class MqttPayloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_oldLocale = std::setlocale(LC_ALL, nullptr);
        ASSERT_NE(std::setlocale(LC_ALL, "pl_PL.UTF-8"), nullptr) << "scripts/install-deps generates pl_PL.UTF-8";
        QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
    }
    void TearDown() override
    {
        std::setlocale(LC_ALL, m_oldLocale.c_str());
        QLocale::setDefault(QLocale::c());
    }
    static QJsonObject Parse(const QByteArray& json) { return QJsonDocument::fromJson(json).object(); }

    std::string m_oldLocale;
};

TEST_F(MqttPayloadTest, ReadingInHectopascalsHasEveryFieldInUtcAsTheInstrumentSentIt)
{
    // 11:15:03.120 an hour east of UTC; 10123 tenths decoded as 10123 * 0.1
    // (1012.3000000000001).
    const QDateTime local(QDate(2026, 12, 9), QTime(11, 15, 3, 120), QTimeZone(3600));
    const QByteArray json = CMqttPayload::Reading(local, EMqttStatus::Ok, 10123 * 0.1, false, 1234);
    EXPECT_EQ(json, R"({"pressure_hpa":1012.3,"serial":1234,"status":"ok","time":"2026-12-09T10:15:03.120Z",)"
                    R"("unit":"hPa","value":1012.3})");
}

TEST_F(MqttPayloadTest, PascalsAreHectopascalsToATenthOfAPascal)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(0, QTimeZone::utc());
    QJsonObject o = Parse(CMqttPayload::Reading(t, EMqttStatus::Ok, 101325, true, 7));
    EXPECT_EQ(o["pressure_hpa"].toDouble(), 1013.25);
    EXPECT_EQ(o["value"].toDouble(), 101325);
    EXPECT_EQ(o["unit"].toString(), "Pa");
    EXPECT_EQ(o["time"].toString(), "1970-01-01T00:00:00.000Z");
    const QByteArray tenths = CMqttPayload::Reading(t, EMqttStatus::ValueError, 1013213 * 0.1, true, 7);
    EXPECT_TRUE(tenths.contains(R"("pressure_hpa":1013.213,)")) << tenths.constData();
    EXPECT_TRUE(tenths.contains(R"("value":101321.3})")) << tenths.constData();
    EXPECT_EQ(Parse(tenths)["status"].toString(), "value_error");
}

TEST_F(MqttPayloadTest, NoCommunicationSendsNullNumbers)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(0, QTimeZone::utc());
    const QJsonObject o = Parse(CMqttPayload::Reading(t, EMqttStatus::NoCommunication, 1013.2, false, 1234));
    EXPECT_TRUE(o["pressure_hpa"].isNull());
    EXPECT_TRUE(o["value"].isNull());
    EXPECT_EQ(o["status"].toString(), "no_communication");
    EXPECT_EQ(o["unit"].toString(), "hPa");
    EXPECT_EQ(Parse(CMqttPayload::Reading(t, EMqttStatus::CalibrationError, 1.0, false, 1))["status"].toString(),
              "calibration_error");
}

TEST_F(MqttPayloadTest, DiscoveryConfigAndTopics)
{
    EXPECT_EQ(CMqttPayload::DiscoveryTopic("homeassistant", 1234), "homeassistant/sensor/km302_1234/pressure/config");
    EXPECT_EQ(CMqttPayload::StateTopic("hala/km302", 1234), "hala/km302/1234/state");
    EXPECT_EQ(CMqttPayload::RecordTopic("km302", 1234), "km302/1234/record");
    EXPECT_EQ(CMqttPayload::AvailabilityTopic("km302", 1234), "km302/1234/availability");
    EXPECT_EQ(CMqttPayload::AlertTopic("km302", 1234), "km302/1234/alert");

    const QJsonObject o = Parse(CMqttPayload::DiscoveryConfig("km302", 1234));
    EXPECT_EQ(o["name"].toString(), QStringLiteral("Ciśnienie"));
    EXPECT_EQ(o["unique_id"].toString(), "km302_1234_pressure");
    EXPECT_EQ(o["state_topic"].toString(), "km302/1234/state");
    EXPECT_EQ(o["value_template"].toString(), "{{ value_json.pressure_hpa }}");
    EXPECT_EQ(o["device_class"].toString(), "atmospheric_pressure");
    EXPECT_EQ(o["state_class"].toString(), "measurement");
    EXPECT_EQ(o["unit_of_measurement"].toString(), "hPa");
    EXPECT_EQ(o["availability_topic"].toString(), "km302/1234/availability");
    const QJsonObject device = o["device"].toObject();
    EXPECT_EQ(device["identifiers"].toArray(), QJsonArray{"km302_1234"});
    EXPECT_EQ(device["name"].toString(), "KM-302 nr 1234");
    EXPECT_EQ(device["model"].toString(), "KM-302");
}

// The station's fields come only when its settings switch them on; with
// everything off the reading is today's, byte for byte.
TEST_F(MqttPayloadTest, StationFieldsOnlyWhenSwitchedOnToATenthWithNullsForNone)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(0, QTimeZone::utc());
    const QByteArray today = R"({"pressure_hpa":1012.3,"serial":1234,"status":"ok","time":"1970-01-01T00:00:00.000Z",)"
                             R"("unit":"hPa","value":1012.3})";
    MqttStationValues off;
    off.reducedHpa = 1016.4;
    off.tendencyHpa = -2.3;
    off.tendencyCode = 7;
    EXPECT_EQ(CMqttPayload::Reading(t, EMqttStatus::Ok, 1012.3, false, 1234, off), today);

    MqttStationValues qnh = off;
    qnh.nReduction = 1;
    qnh.reducedHpa = 1016.4499;
    qnh.bTendency = true;
    qnh.tendencyHpa = -2.3456;
    EXPECT_EQ(CMqttPayload::Reading(t, EMqttStatus::Ok, 1012.3, false, 1234, qnh),
              R"({"pressure_hpa":1012.3,"qnh_hpa":1016.4,"serial":1234,"status":"ok",)"
              R"("tendency_3h_hpa":-2.3,"tendency_code":7,"time":"1970-01-01T00:00:00.000Z","unit":"hPa",)"
              R"("value":1012.3})");

    // QFF; no tendency yet.
    MqttStationValues qff;
    qff.nReduction = 2;
    qff.reducedHpa = 1020.06;
    qff.bTendency = true;
    QJsonObject o = Parse(CMqttPayload::Reading(t, EMqttStatus::Ok, 1012.3, false, 1234, qff));
    EXPECT_EQ(o["qff_hpa"].toDouble(), 1020.1);
    EXPECT_FALSE(o.contains("qnh_hpa"));
    EXPECT_TRUE(o["tendency_3h_hpa"].isNull());
    EXPECT_TRUE(o["tendency_code"].isNull());
    // Without communication the reduced value is null like the reading.
    o = Parse(CMqttPayload::Reading(t, EMqttStatus::NoCommunication, 1012.3, false, 1234, qff));
    EXPECT_TRUE(o.contains("qff_hpa") && o["qff_hpa"].isNull());
}

TEST_F(MqttPayloadTest, StationSensorsDiscoveryAndAlert)
{
    // The pressure sensor's config is today's, byte for byte.
    EXPECT_EQ(CMqttPayload::DiscoveryConfig("km302", 1234),
              QStringLiteral(R"({"availability_topic":"km302/1234/availability",)"
                             R"("device":{"identifiers":["km302_1234"],"model":"KM-302","name":"KM-302 nr 1234"},"device_class":"atmospheric_pressure",)"
                             R"("name":"Ciśnienie","state_class":"measurement","state_topic":"km302/1234/state",)"
                             R"("unique_id":"km302_1234_pressure","unit_of_measurement":"hPa",)"
                             R"("value_template":"{{ value_json.pressure_hpa }}"})")
                  .toUtf8());
    EXPECT_EQ(CMqttPayload::DiscoveryTopic("dp", 1234, "qnh"), "dp/sensor/km302_1234/qnh/config");

    for (const auto& [nReduction, id] : {std::pair{1, QString("qnh")}, std::pair{2, QString("qff")}}) {
        const QJsonObject o = Parse(CMqttPayload::ReducedConfig("km302", 1234, nReduction));
        EXPECT_EQ(o["unique_id"].toString(), "km302_1234_" + id);
        EXPECT_EQ(o["value_template"].toString(), "{{ value_json." + id + "_hpa }}");
        EXPECT_EQ(o["device_class"].toString(), "atmospheric_pressure");
        EXPECT_EQ(o["device"].toObject()["identifiers"].toArray(), QJsonArray{"km302_1234"});
    }
    const QJsonObject tendency = Parse(CMqttPayload::TendencyConfig("km302", 1234));
    EXPECT_EQ(tendency["unique_id"].toString(), "km302_1234_tendency");
    EXPECT_EQ(tendency["value_template"].toString(), "{{ value_json.tendency_3h_hpa }}");
    EXPECT_EQ(tendency["state_class"].toString(), "measurement");
    EXPECT_EQ(tendency["unit_of_measurement"].toString(), "hPa");

    const QDateTime local(QDate(2026, 12, 9), QTime(11, 15, 3, 120), QTimeZone(3600));
    EXPECT_EQ(CMqttPayload::Alert(local, "fall", true, QStringLiteral("Ciśnienie spada szybko"), 1234),
              QStringLiteral(R"({"active":true,"kind":"fall","serial":1234,"text":"Ciśnienie spada szybko",)"
                             R"("time":"2026-12-09T10:15:03.120Z"})")
                  .toUtf8());
}

} // namespace
