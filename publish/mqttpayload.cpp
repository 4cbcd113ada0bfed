#include "publish/mqttpayload.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

// The double nearest to `d` counted in steps of 1/nPerUnit. Qt writes JSON
// numbers as the shortest text that reads back to the same double, so the
// rounded value prints as the instrument sent it (1013.2, not
// 1013.2000000000001) and never with a decimal comma.
double RoundTo(double d, double nPerUnit)
{
    return std::round(d * nPerUnit) / nPerUnit;
}

QString Base(const QString& prefix, int nSerial)
{
    return prefix + QLatin1Char('/') + QString::number(nSerial);
}

// A tenth of a hectopascal, or null.
QJsonValue Tenths(std::optional<double> d)
{
    if (!d || !std::isfinite(*d))
        return QJsonValue::Null;
    return RoundTo(*d, 10);
}

// The fields every sensor of the instrument shares.
QJsonObject Sensor(const QString& prefix, int nSerial, const QString& name, const QString& objectId,
                   const QString& field)
{
    const QString sn = QString::number(nSerial);
    const QString id = QStringLiteral("km302_") + sn;
    QJsonObject device;
    device.insert(QStringLiteral("identifiers"), QJsonArray{id});
    device.insert(QStringLiteral("name"), QStringLiteral("KM-302 nr ") + sn);
    device.insert(QStringLiteral("model"), QStringLiteral("KM-302"));

    QJsonObject o;
    o.insert(QStringLiteral("name"), name);
    o.insert(QStringLiteral("unique_id"), id + QLatin1Char('_') + objectId);
    o.insert(QStringLiteral("state_topic"), CMqttPayload::StateTopic(prefix, nSerial));
    o.insert(QStringLiteral("value_template"), QStringLiteral("{{ value_json.%1 }}").arg(field));
    o.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
    o.insert(QStringLiteral("unit_of_measurement"), QStringLiteral("hPa"));
    o.insert(QStringLiteral("availability_topic"), CMqttPayload::AvailabilityTopic(prefix, nSerial));
    o.insert(QStringLiteral("device"), device);
    return o;
}

} // namespace

QString CMqttPayload::StatusName(EMqttStatus status)
{
    switch (status) {
    case EMqttStatus::Ok: return QStringLiteral("ok");
    case EMqttStatus::ValueError: return QStringLiteral("value_error");
    case EMqttStatus::CalibrationError: return QStringLiteral("calibration_error");
    case EMqttStatus::NoCommunication: return QStringLiteral("no_communication");
    }
    return QString();
}

QByteArray CMqttPayload::Reading(const QDateTime& time, EMqttStatus status, double dValue, bool bUnitPa,
                                 int nSerial, const MqttStationValues& station)
{
    QJsonObject o;
    o.insert(QStringLiteral("time"), time.toUTC().toString(Qt::ISODateWithMs));
    if (status == EMqttStatus::NoCommunication || !std::isfinite(dValue)) {
        o.insert(QStringLiteral("pressure_hpa"), QJsonValue::Null);
        o.insert(QStringLiteral("value"), QJsonValue::Null);
    } else {
        const double dSent = RoundTo(dValue, 10);
        o.insert(QStringLiteral("pressure_hpa"), bUnitPa ? RoundTo(dSent / 100, 1000) : dSent);
        o.insert(QStringLiteral("value"), dSent);
    }
    o.insert(QStringLiteral("unit"), bUnitPa ? QStringLiteral("Pa") : QStringLiteral("hPa"));
    o.insert(QStringLiteral("status"), StatusName(status));
    o.insert(QStringLiteral("serial"), nSerial);
    const bool bNone = status == EMqttStatus::NoCommunication;
    if (station.nReduction != 0)
        o.insert(ReducedObjectId(station.nReduction) + QStringLiteral("_hpa"),
                 bNone ? QJsonValue(QJsonValue::Null) : Tenths(station.reducedHpa));
    if (station.bTendency) {
        o.insert(QStringLiteral("tendency_3h_hpa"), Tenths(station.tendencyHpa));
        o.insert(QStringLiteral("tendency_code"),
                 station.tendencyCode ? QJsonValue(*station.tendencyCode) : QJsonValue(QJsonValue::Null));
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray CMqttPayload::Alert(const QDateTime& time, const QString& kind, bool bActive, const QString& text,
                               int nSerial)
{
    QJsonObject o;
    o.insert(QStringLiteral("time"), time.toUTC().toString(Qt::ISODateWithMs));
    o.insert(QStringLiteral("kind"), kind);
    o.insert(QStringLiteral("active"), bActive);
    o.insert(QStringLiteral("text"), text);
    o.insert(QStringLiteral("serial"), nSerial);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray CMqttPayload::DiscoveryConfig(const QString& prefix, int nSerial)
{
    QJsonObject o = Sensor(prefix, nSerial, QStringLiteral("Ciśnienie"), QStringLiteral("pressure"),
                           QStringLiteral("pressure_hpa"));
    o.insert(QStringLiteral("device_class"), QStringLiteral("atmospheric_pressure"));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray CMqttPayload::ReducedConfig(const QString& prefix, int nSerial, int nReduction)
{
    const QString id = ReducedObjectId(nReduction);
    QJsonObject o = Sensor(prefix, nSerial, QStringLiteral("Ciśnienie ") + id.toUpper(), id,
                           id + QStringLiteral("_hpa"));
    o.insert(QStringLiteral("device_class"), QStringLiteral("atmospheric_pressure"));
    o.insert(QStringLiteral("suggested_display_precision"), 1);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray CMqttPayload::TendencyConfig(const QString& prefix, int nSerial)
{
    QJsonObject o = Sensor(prefix, nSerial, QStringLiteral("Tendencja ciśnienia (3 h)"), QStringLiteral("tendency"),
                           QStringLiteral("tendency_3h_hpa"));
    o.insert(QStringLiteral("suggested_display_precision"), 1);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QString CMqttPayload::ReducedObjectId(int nReduction)
{
    return nReduction == 2 ? QStringLiteral("qff") : QStringLiteral("qnh");
}

QString CMqttPayload::StateTopic(const QString& prefix, int nSerial)
{
    return Base(prefix, nSerial) + QStringLiteral("/state");
}

QString CMqttPayload::RecordTopic(const QString& prefix, int nSerial)
{
    return Base(prefix, nSerial) + QStringLiteral("/record");
}

QString CMqttPayload::AvailabilityTopic(const QString& prefix, int nSerial)
{
    return Base(prefix, nSerial) + QStringLiteral("/availability");
}

QString CMqttPayload::AlertTopic(const QString& prefix, int nSerial)
{
    return Base(prefix, nSerial) + QStringLiteral("/alert");
}

QString CMqttPayload::DiscoveryTopic(const QString& discoveryPrefix, int nSerial, const QString& objectId)
{
    return discoveryPrefix + QStringLiteral("/sensor/km302_") + QString::number(nSerial) + QLatin1Char('/') +
           objectId + QStringLiteral("/config");
}
