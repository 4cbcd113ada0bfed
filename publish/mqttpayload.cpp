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
                                 int nSerial)
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
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray CMqttPayload::DiscoveryConfig(const QString& prefix, int nSerial)
{
    const QString sn = QString::number(nSerial);
    const QString id = QStringLiteral("km302_") + sn;
    QJsonObject device;
    device.insert(QStringLiteral("identifiers"), QJsonArray{id});
    device.insert(QStringLiteral("name"), QStringLiteral("KM-302 nr ") + sn);
    device.insert(QStringLiteral("model"), QStringLiteral("KM-302"));

    QJsonObject o;
    o.insert(QStringLiteral("name"), QStringLiteral("Ciśnienie"));
    o.insert(QStringLiteral("unique_id"), id + QStringLiteral("_pressure"));
    o.insert(QStringLiteral("state_topic"), StateTopic(prefix, nSerial));
    o.insert(QStringLiteral("value_template"), QStringLiteral("{{ value_json.pressure_hpa }}"));
    o.insert(QStringLiteral("device_class"), QStringLiteral("atmospheric_pressure"));
    o.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
    o.insert(QStringLiteral("unit_of_measurement"), QStringLiteral("hPa"));
    o.insert(QStringLiteral("availability_topic"), AvailabilityTopic(prefix, nSerial));
    o.insert(QStringLiteral("device"), device);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
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

QString CMqttPayload::DiscoveryTopic(const QString& discoveryPrefix, int nSerial)
{
    return discoveryPrefix + QStringLiteral("/sensor/km302_") + QString::number(nSerial) +
           QStringLiteral("/pressure/config");
}
