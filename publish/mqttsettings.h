#pragma once
// MqttSettings: where and how the live values are published, the [MQTT]
// section of the settings. A plain value; the settings table reads and
// writes it.

#include <QString>

struct MqttSettings {
    static constexpr int kDefaultPort = 1883;
    static constexpr int kDefaultSpoolMb = 100;

    QString strHost;                     // HOST; empty: publishing is off
    int nPort = kDefaultPort;            // PORT; 8883 is usual with TLS
    QString strUser;                     // USER; empty: no user name is sent
    QString strPassword;                 // PASSWORD; never shown or logged
    int bTls = 0;                        // TLS: 1 verifies the broker's certificate
    QString strCaFile;                   // CA_FILE; empty: the system's authorities
    QString strTopic = QStringLiteral("km302");                     // TOPIC, the prefix
    int bDiscovery = 1;                  // DISCOVERY: Home Assistant discovery
    QString strDiscoveryPrefix = QStringLiteral("homeassistant");   // DISCOVERY_PREFIX
    int nSpoolMb = kDefaultSpoolMb;      // SPOOL_MB, the bound of the spool file

    bool Enabled() const { return !strHost.isEmpty(); }
    bool operator==(const MqttSettings&) const = default;
    qint64 SpoolBytes() const { return qint64(nSpoolMb > 0 ? nSpoolMb : kDefaultSpoolMb) * 1024 * 1024; }
};
