#include "settings/metersettings.h"

#include <QDir>
#include <QStandardPaths>

#include "settings/settingsfile.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

const QString kPressure = QStringLiteral("PRESSURE");
const QString kGeneral = QStringLiteral("GENERAL");
const QString kLog = QStringLiteral("LOG");
const QString kPorts = QStringLiteral("PORTS");
const QString kMqtt = QStringLiteral("MQTT");
const QString kStation = QStringLiteral("STATION");
constexpr int kMaxPort = 256;
constexpr int kTolerance = 10;

QString PortKey(int n)
{
    return QStringLiteral("COM%1").arg(n);
}

// A number for machines: a decimal point whatever the locale (QString's own
// conversions never follow it). One that does not read is not a number, which
// Sanitized replaces by the default.
double GetNumber(const CSettingsFile& store, const QString& key, double defaultValue)
{
    const QString text = store.GetString(kStation, key, QString()).trimmed();
    if (text.isEmpty())
        return defaultValue;
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? value : std::numeric_limits<double>::quiet_NaN();
}

void SetNumber(CSettingsFile& store, const QString& key, double value)
{
    store.SetString(kStation, key, QString::number(value, 'g', 12));
}

} // namespace

LOGFONT MeterSettings::DefaultFont()
{
    LOGFONT lf;
    lf.lfHeight = 60;
    lf.lfCharSet = EASTEUROPE_CHARSET;
    lf.SetFaceName("Arial");
    return lf;
}

void ReadSettings(const CSettingsFile& store, MeterSettings& s)
{
    try {
        s.background = store.GetUnsigned(kPressure, QStringLiteral("BACKGROUND_PRESSURE"), 16770250);
        s.text = store.GetUnsigned(kPressure, QStringLiteral("TEXT_PRESSURE"), 8404992);
        s.font.lfHeight = store.GetInt(kPressure, QStringLiteral("FONT_HEIGHT_PRESSURE"), 60);
        s.font.SetFaceName(store.GetString(kPressure, QStringLiteral("FONT_NAME_PRESSURE"), QStringLiteral("Arial")));
        s.font.lfItalic = static_cast<BYTE>(store.GetInt(kPressure, QStringLiteral("FONT_ITALIC_PRESSURE"), 0) & 0xFF);
        s.font.lfWeight = store.GetInt(kPressure, QStringLiteral("FONT_WEIGHT_PRESSURE"), 0);
        s.portNr = store.GetInt(kGeneral, QStringLiteral("PORT_NR"), 0);
        s.windowRect.top = store.GetInt(kGeneral, QStringLiteral("WINDOW_TOP"), 100);
        s.windowRect.bottom = store.GetInt(kGeneral, QStringLiteral("WINDOW_BOTTOM"), 500);
        s.windowRect.left = store.GetInt(kGeneral, QStringLiteral("WINDOW_LEFT"), 100);
        s.windowRect.right = store.GetInt(kGeneral, QStringLiteral("WINDOW_RIGHT"), 700);
        s.recording.fileName = store.GetString(kLog, QStringLiteral("FILE_NAME"), QString());
        s.recording.fileNameBin = store.GetString(kLog, QStringLiteral("FILE_NAME_BIN"), QString());
        s.recording.fileLog = store.GetInt(kLog, QStringLiteral("FILE_LOG"), 0);
        s.recording.fileLogBin = store.GetInt(kLog, QStringLiteral("FILE_LOG_BIN"), 0);
        s.recording.sepFormat = store.GetInt(kLog, QStringLiteral("FILE_SEP_FORMAT"), 0);
        s.recording.interval = store.GetInt(kLog, QStringLiteral("FILE_INTERVAL"), 60);
        s.topmost = store.GetInt(kGeneral, QStringLiteral("TOPMOST"), 0);
        s.recording.checkComment = store.GetInt(kLog, QStringLiteral("FILE_CHECK_COMMENT"), 0);
        s.recording.checkCommentSn = store.GetInt(kLog, QStringLiteral("FILE_CHECK_COMMENT_SN"), 0);
        s.showAdv = store.GetInt(kGeneral, QStringLiteral("SHOW_ADV"), 1);
        for (int n = 1; n <= kMaxPort; ++n) {
            const QString path = store.GetString(kPorts, PortKey(n), QString());
            if (!path.isEmpty())
                s.ports[n] = path;
        }
        MqttSettings& m = s.mqtt;
        const MqttSettings defaults;
        m.strHost = store.GetString(kMqtt, QStringLiteral("HOST"), defaults.strHost);
        m.nPort = store.GetInt(kMqtt, QStringLiteral("PORT"), defaults.nPort);
        m.strUser = store.GetString(kMqtt, QStringLiteral("USER"), defaults.strUser);
        m.strPassword = store.GetString(kMqtt, QStringLiteral("PASSWORD"), defaults.strPassword);
        m.bTls = store.GetInt(kMqtt, QStringLiteral("TLS"), defaults.bTls);
        m.strCaFile = store.GetString(kMqtt, QStringLiteral("CA_FILE"), defaults.strCaFile);
        m.strTopic = store.GetString(kMqtt, QStringLiteral("TOPIC"), defaults.strTopic);
        m.bDiscovery = store.GetInt(kMqtt, QStringLiteral("DISCOVERY"), defaults.bDiscovery);
        m.strDiscoveryPrefix = store.GetString(kMqtt, QStringLiteral("DISCOVERY_PREFIX"), defaults.strDiscoveryPrefix);
        m.nSpoolMb = store.GetInt(kMqtt, QStringLiteral("SPOOL_MB"), defaults.nSpoolMb);
        const StationSettings station;
        StationSettings& st = s.station;
        st.dElevation = GetNumber(store, QStringLiteral("ELEVATION"), station.dElevation);
        st.dCorrection = GetNumber(store, QStringLiteral("CORRECTION"), station.dCorrection);
        st.nReduction = store.GetInt(kStation, QStringLiteral("REDUCTION"), station.nReduction);
        st.dTemperature = GetNumber(store, QStringLiteral("TEMPERATURE"), station.dTemperature);
        st.bTendency = store.GetInt(kStation, QStringLiteral("TENDENCY"), station.bTendency);
        st.dAlertFall = GetNumber(store, QStringLiteral("ALERT_FALL"), station.dAlertFall);
        st.dAlertRise = GetNumber(store, QStringLiteral("ALERT_RISE"), station.dAlertRise);
        st.dAlertLow = GetNumber(store, QStringLiteral("ALERT_LOW"), station.dAlertLow);
        st.dAlertHigh = GetNumber(store, QStringLiteral("ALERT_HIGH"), station.dAlertHigh);
        st.dAlertHysteresis = GetNumber(store, QStringLiteral("ALERT_HYSTERESIS"), station.dAlertHysteresis);
        st.nAlertSilence = store.GetInt(kStation, QStringLiteral("ALERT_SILENCE"), station.nAlertSilence);
        st = st.Sanitized();
    } catch (...) {
        // The rest keep their defaults; start-up goes on.
    }
}

void WriteSettings(CSettingsFile& store, const MeterSettings& s)
{
    try {
        store.SetUnsigned(kPressure, QStringLiteral("BACKGROUND_PRESSURE"), s.background);
        store.SetUnsigned(kPressure, QStringLiteral("TEXT_PRESSURE"), s.text);
        store.SetInt(kPressure, QStringLiteral("FONT_HEIGHT_PRESSURE"), s.font.lfHeight);
        store.SetString(kPressure, QStringLiteral("FONT_NAME_PRESSURE"), s.font.FaceNameText());
        store.SetInt(kPressure, QStringLiteral("FONT_ITALIC_PRESSURE"), s.font.lfItalic);
        store.SetInt(kPressure, QStringLiteral("FONT_WEIGHT_PRESSURE"), s.font.lfWeight);
        store.SetInt(kGeneral, QStringLiteral("PORT_NR"), s.portNr);
        store.SetInt(kGeneral, QStringLiteral("WINDOW_TOP"), s.windowRect.top);
        store.SetInt(kGeneral, QStringLiteral("WINDOW_BOTTOM"), s.windowRect.bottom);
        store.SetInt(kGeneral, QStringLiteral("WINDOW_LEFT"), s.windowRect.left);
        store.SetInt(kGeneral, QStringLiteral("WINDOW_RIGHT"), s.windowRect.right);
        store.SetString(kLog, QStringLiteral("FILE_NAME"), s.recording.fileName);
        store.SetString(kLog, QStringLiteral("FILE_NAME_BIN"), s.recording.fileNameBin);
        store.SetInt(kLog, QStringLiteral("FILE_LOG"), s.recording.fileLog);
        store.SetInt(kLog, QStringLiteral("FILE_LOG_BIN"), s.recording.fileLogBin);
        store.SetInt(kLog, QStringLiteral("FILE_SEP_FORMAT"), s.recording.sepFormat);
        store.SetInt(kLog, QStringLiteral("FILE_INTERVAL"), s.recording.interval);
        store.SetInt(kGeneral, QStringLiteral("TOPMOST"), s.topmost);
        store.SetInt(kLog, QStringLiteral("FILE_CHECK_COMMENT"), s.recording.checkComment);
        store.SetInt(kLog, QStringLiteral("FILE_CHECK_COMMENT_SN"), s.recording.checkCommentSn);
        store.SetString(kGeneral, QStringLiteral("LANGUAGE"), s.language);
        store.SetInt(kGeneral, QStringLiteral("SHOW_ADV"), s.showAdv);
        for (const auto& [n, path] : s.ports)
            store.SetString(kPorts, PortKey(n), path);
        // Users who never publish get no new section.
        const MqttSettings& m = s.mqtt;
        if (m != MqttSettings() || store.HasSection(kMqtt)) {
            store.SetString(kMqtt, QStringLiteral("HOST"), m.strHost);
            store.SetInt(kMqtt, QStringLiteral("PORT"), m.nPort);
            store.SetString(kMqtt, QStringLiteral("USER"), m.strUser);
            // A ";" would start a remark: one more at the end keeps the
            // password whole when it holds one.
            store.SetString(kMqtt, QStringLiteral("PASSWORD"),
                            m.strPassword.contains(QLatin1Char(';')) ? m.strPassword + QLatin1Char(';') : m.strPassword);
            store.SetInt(kMqtt, QStringLiteral("TLS"), m.bTls);
            store.SetString(kMqtt, QStringLiteral("CA_FILE"), m.strCaFile);
            store.SetString(kMqtt, QStringLiteral("TOPIC"), m.strTopic);
            store.SetInt(kMqtt, QStringLiteral("DISCOVERY"), m.bDiscovery);
            store.SetString(kMqtt, QStringLiteral("DISCOVERY_PREFIX"), m.strDiscoveryPrefix);
            store.SetInt(kMqtt, QStringLiteral("SPOOL_MB"), m.nSpoolMb);
        }
        if (!m.strPassword.isEmpty())
            store.SetOwnerOnly(true);
        // Nor users who never switch the weather station on.
        const StationSettings& st = s.station;
        if (st != StationSettings() || store.HasSection(kStation)) {
            SetNumber(store, QStringLiteral("ELEVATION"), st.dElevation);
            SetNumber(store, QStringLiteral("CORRECTION"), st.dCorrection);
            store.SetInt(kStation, QStringLiteral("REDUCTION"), st.nReduction);
            SetNumber(store, QStringLiteral("TEMPERATURE"), st.dTemperature);
            store.SetInt(kStation, QStringLiteral("TENDENCY"), st.bTendency);
            SetNumber(store, QStringLiteral("ALERT_FALL"), st.dAlertFall);
            SetNumber(store, QStringLiteral("ALERT_RISE"), st.dAlertRise);
            SetNumber(store, QStringLiteral("ALERT_LOW"), st.dAlertLow);
            SetNumber(store, QStringLiteral("ALERT_HIGH"), st.dAlertHigh);
            SetNumber(store, QStringLiteral("ALERT_HYSTERESIS"), st.dAlertHysteresis);
            store.SetInt(kStation, QStringLiteral("ALERT_SILENCE"), st.nAlertSilence);
        }
    } catch (...) {
        // Ends the block without a message.
    }
}

RECT KeepOnScreen(RECT r, int cx, int cy)
{
    // 64-bit arithmetic: a damaged settings file may hold any int.
    auto shifted = [](std::int32_t edge, int screen, std::int32_t far) {
        const long long v = (long long)edge + screen - far;
        return std::int32_t(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
    };
    if ((long long)r.right > (long long)cx + kTolerance) {
        r.left = shifted(r.left, cx, r.right);
        r.right = cx;
    }
    if ((long long)r.bottom > (long long)cy + kTolerance) {
        r.top = shifted(r.top, cy, r.bottom);
        r.bottom = cy;
    }
    if (r.top < -kTolerance)
        r.top = 0;
    if (r.left < -kTolerance)
        r.left = 0;
    return r;
}

RECT FitToScreen(RECT r, const QRect& available)
{
    const auto extent = [](std::int32_t from, std::int32_t to, int room) {
        const long long wanted = (long long)to - from;
        return std::int32_t(std::clamp<long long>(wanted, 1, std::clamp<long long>(room, 1, kMaxWindowCoordinate)));
    };
    const std::int32_t width = extent(r.left, r.right, available.width());
    const std::int32_t height = extent(r.top, r.bottom, available.height());
    const std::int32_t left = std::clamp<std::int32_t>(r.left, -kMaxWindowCoordinate, kMaxWindowCoordinate);
    const std::int32_t top = std::clamp<std::int32_t>(r.top, -kMaxWindowCoordinate, kMaxWindowCoordinate);
    return RECT{left, top, left + width, top + height};
}

QString SettingsFilePath(const QString& instanceName)
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(instanceName + QStringLiteral(".ini"));
}
