#pragma once
// CMqttPayload: the topics the program publishes under and the JSON objects
// it sends there. Compact JSON whose numbers never follow the locale.
//
// A reading ({"time", "pressure_hpa", "value", "unit", "status", "serial"})
// is sent to <prefix>/<sn>/state (retained, each refresh) and to
// <prefix>/<sn>/record (QoS 1, each recording tick). `time` is UTC, ISO 8601
// with milliseconds and Z. `value` and `unit` are as the instrument sent
// them, rounded to its finest step (a tenth of the unit); `pressure_hpa` is
// the same reading in hectopascals: a tenth of a hectopascal when it came in
// hPa, a thousandth (a tenth of a pascal) when it came in Pa, so that no
// digit the instrument sent is lost and none is invented. Without
// communication both numbers are null.

#include <QByteArray>
#include <QDateTime>
#include <QString>

enum class EMqttStatus { Ok, ValueError, CalibrationError, NoCommunication };

class CMqttPayload {
public:
    // The reading as JSON. bUnitPa: the value is in pascals (else hPa).
    static QByteArray Reading(const QDateTime& time, EMqttStatus status, double dValue, bool bUnitPa,
                              int nSerial);
    // Home Assistant's discovery message of the instrument's pressure sensor.
    static QByteArray DiscoveryConfig(const QString& prefix, int nSerial);
    static QString StatusName(EMqttStatus status);

    static QString StateTopic(const QString& prefix, int nSerial);
    static QString RecordTopic(const QString& prefix, int nSerial);
    static QString AvailabilityTopic(const QString& prefix, int nSerial);
    static QString AlertTopic(const QString& prefix, int nSerial);
    static QString DiscoveryTopic(const QString& discoveryPrefix, int nSerial);

    static constexpr const char* kOnline = "online";
    static constexpr const char* kOffline = "offline";
};
