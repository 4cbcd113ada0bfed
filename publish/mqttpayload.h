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
//
// The weather station's values join the reading only when its settings
// switch them on (MqttStationValues): `qnh_hpa` or `qff_hpa`, the reading
// reduced to sea level, and `tendency_3h_hpa` with `tendency_code`, the
// 3-hour change and its WMO characteristic (0 … 8); each null when there is
// none. Both numbers are rounded to a tenth of a hectopascal, the step of
// the display's line and of the pressure a weather service reports: the
// reduction is no finer than the elevation it is given (0.12 hPa a metre).
// With everything off the reading is the same, byte for byte, as without
// a station.
//
// An alert ({"time", "kind", "active", "text", "serial"}) goes to
// <prefix>/<sn>/alert.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

enum class EMqttStatus { Ok, ValueError, CalibrationError, NoCommunication };

// What the weather station adds to a reading.
struct MqttStationValues {
    int nReduction = 0;                // 0 none, 1 QNH (qnh_hpa), 2 QFF (qff_hpa)
    std::optional<double> reducedHpa;
    bool bTendency = false;            // tendency_3h_hpa and tendency_code
    std::optional<double> tendencyHpa;
    std::optional<int> tendencyCode;
};

class CMqttPayload {
public:
    // The reading as JSON. bUnitPa: the value is in pascals (else hPa).
    static QByteArray Reading(const QDateTime& time, EMqttStatus status, double dValue, bool bUnitPa,
                              int nSerial, const MqttStationValues& station = {});
    static QByteArray Alert(const QDateTime& time, const QString& kind, bool bActive, const QString& text,
                            int nSerial);
    // Home Assistant's discovery message of the instrument's pressure sensor.
    static QByteArray DiscoveryConfig(const QString& prefix, int nSerial);
    // The sensor of the reduced pressure (nReduction 1 QNH, 2 QFF), object
    // id "qnh" or "qff", and the one of the 3-hour tendency, "tendency".
    static QByteArray ReducedConfig(const QString& prefix, int nSerial, int nReduction);
    static QByteArray TendencyConfig(const QString& prefix, int nSerial);
    static QString ReducedObjectId(int nReduction);
    static QString StatusName(EMqttStatus status);

    static QString StateTopic(const QString& prefix, int nSerial);
    static QString RecordTopic(const QString& prefix, int nSerial);
    static QString AvailabilityTopic(const QString& prefix, int nSerial);
    static QString AlertTopic(const QString& prefix, int nSerial);
    // <dp>/sensor/km302_<sn>/<objectId>/config
    static QString DiscoveryTopic(const QString& discoveryPrefix, int nSerial,
                                  const QString& objectId = QStringLiteral("pressure"));

    static constexpr const char* kOnline = "online";
    static constexpr const char* kOffline = "offline";
};
