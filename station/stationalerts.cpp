#include "station/stationalerts.h"

namespace {

const QString kFall = QStringLiteral("fall");
const QString kRise = QStringLiteral("rise");
const QString kLow = QStringLiteral("low");
const QString kHigh = QStringLiteral("high");
const QString kSilence = QStringLiteral("silence");

// Pressures and changes for people: one decimal, a decimal point (as the
// display shows them) and the typographic minus.
QString Hpa(double value)
{
    QString text = QString::number(value, 'f', 1);
    if (text.startsWith(QLatin1Char('-')))
        text = QStringLiteral("−") + text.mid(1);
    if (text == QStringLiteral("−0.0"))
        text = QStringLiteral("0.0");
    return text + QStringLiteral(" hPa");
}

QString SignedHpa(double value)
{
    const QString text = Hpa(value);
    return value >= 0.05 ? QLatin1Char('+') + text : text;
}

QString SwitchedOff(const QString& kind)
{
    if (kind == kFall)
        return QStringLiteral("Koniec alarmu spadku ciśnienia: alarm wyłączono w ustawieniach.");
    if (kind == kRise)
        return QStringLiteral("Koniec alarmu wzrostu ciśnienia: alarm wyłączono w ustawieniach.");
    if (kind == kLow)
        return QStringLiteral("Koniec alarmu niskiego ciśnienia: alarm wyłączono w ustawieniach.");
    if (kind == kHigh)
        return QStringLiteral("Koniec alarmu wysokiego ciśnienia: alarm wyłączono w ustawieniach.");
    return QStringLiteral("Koniec alarmu braku odczytu: alarm wyłączono w ustawieniach.");
}

} // namespace

std::vector<StationAlert> CStationAlerts::SetSettings(const StationSettings& settings, qint64 nowMsec)
{
    std::vector<StationAlert> told;
    const auto end = [&](bool& active, bool stillOn, const QString& kind) {
        if (active && !stillOn) {
            active = false;
            told.push_back({kind, false, SwitchedOff(kind)});
        }
    };
    end(m_bFall, settings.dAlertFall > 0, kFall);
    end(m_bRise, settings.dAlertRise > 0, kRise);
    end(m_bLow, settings.dAlertLow > 0, kLow);
    end(m_bHigh, settings.dAlertHigh > 0, kHigh);
    end(m_bSilence, settings.nAlertSilence > 0, kSilence);
    // Silence switched on now is counted from now.
    if (settings.nAlertSilence > 0 && m_settings.nAlertSilence <= 0 && m_lastValidMsec < 0)
        m_lastValidMsec = nowMsec;
    m_settings = settings;
    return told;
}

std::vector<StationAlert> CStationAlerts::Update(qint64 nowMsec, std::optional<double> pressureHpa,
                                                 std::optional<PressureTendency> tendency)
{
    std::vector<StationAlert> told;
    const StationSettings& s = m_settings;
    const double hysteresis = s.dAlertHysteresis;

    if (tendency && s.dAlertFall > 0) {
        const double change = tendency->dChangeHpa;
        if (!m_bFall && change <= -s.dAlertFall) {
            m_bFall = true;
            told.push_back({kFall, true, QStringLiteral("Ciśnienie spadło o %1 w ciągu 3 godzin (próg alarmu: spadek o %2).")
                                             .arg(Hpa(-change), Hpa(s.dAlertFall))});
        } else if (m_bFall && change > -s.dAlertFall + hysteresis) {
            m_bFall = false;
            told.push_back({kFall, false, QStringLiteral("Koniec alarmu spadku ciśnienia: zmiana w ciągu 3 godzin %1 (próg: spadek o %2).")
                                              .arg(SignedHpa(change), Hpa(s.dAlertFall))});
        }
    }
    if (tendency && s.dAlertRise > 0) {
        const double change = tendency->dChangeHpa;
        if (!m_bRise && change >= s.dAlertRise) {
            m_bRise = true;
            told.push_back({kRise, true, QStringLiteral("Ciśnienie wzrosło o %1 w ciągu 3 godzin (próg alarmu: wzrost o %2).")
                                             .arg(Hpa(change), Hpa(s.dAlertRise))});
        } else if (m_bRise && change < s.dAlertRise - hysteresis) {
            m_bRise = false;
            told.push_back({kRise, false, QStringLiteral("Koniec alarmu wzrostu ciśnienia: zmiana w ciągu 3 godzin %1 (próg: wzrost o %2).")
                                              .arg(SignedHpa(change), Hpa(s.dAlertRise))});
        }
    }
    if (pressureHpa && s.dAlertLow > 0) {
        const double p = *pressureHpa;
        if (!m_bLow && p <= s.dAlertLow) {
            m_bLow = true;
            told.push_back({kLow, true, QStringLiteral("Niskie ciśnienie: %1 (próg alarmu %2).").arg(Hpa(p), Hpa(s.dAlertLow))});
        } else if (m_bLow && p >= s.dAlertLow + hysteresis) {
            m_bLow = false;
            told.push_back({kLow, false, QStringLiteral("Koniec alarmu niskiego ciśnienia: %1 (próg alarmu %2).")
                                             .arg(Hpa(p), Hpa(s.dAlertLow))});
        }
    }
    if (pressureHpa && s.dAlertHigh > 0) {
        const double p = *pressureHpa;
        if (!m_bHigh && p >= s.dAlertHigh) {
            m_bHigh = true;
            told.push_back({kHigh, true, QStringLiteral("Wysokie ciśnienie: %1 (próg alarmu %2).").arg(Hpa(p), Hpa(s.dAlertHigh))});
        } else if (m_bHigh && p <= s.dAlertHigh - hysteresis) {
            m_bHigh = false;
            told.push_back({kHigh, false, QStringLiteral("Koniec alarmu wysokiego ciśnienia: %1 (próg alarmu %2).")
                                              .arg(Hpa(p), Hpa(s.dAlertHigh))});
        }
    }

    // Silence counts from the first refresh, too.
    if (m_lastValidMsec < 0)
        m_lastValidMsec = nowMsec;
    const qint64 silentMsec = nowMsec - m_lastValidMsec;
    if (pressureHpa) {
        if (m_bSilence) {
            m_bSilence = false;
            told.push_back({kSilence, false, QStringLiteral("Koniec alarmu braku odczytu: poprawny odczyt po %1 min przerwy (próg %2 min).")
                                                 .arg(silentMsec / 60000).arg(s.nAlertSilence)});
        }
        m_lastValidMsec = nowMsec;
    } else if (s.nAlertSilence > 0 && !m_bSilence && silentMsec >= qint64(s.nAlertSilence) * 60000) {
        m_bSilence = true;
        told.push_back({kSilence, true, QStringLiteral("Brak poprawnego odczytu od %1 min (próg alarmu %2 min).")
                                            .arg(silentMsec / 60000).arg(s.nAlertSilence)});
    }
    return told;
}

bool CStationAlerts::IsActive(const QString& kind) const
{
    if (kind == kFall)
        return m_bFall;
    if (kind == kRise)
        return m_bRise;
    if (kind == kLow)
        return m_bLow;
    if (kind == kHigh)
        return m_bHigh;
    if (kind == kSilence)
        return m_bSilence;
    return false;
}
