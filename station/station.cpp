#include "station/station.h"

#include <QStringList>

#include "station/pressurereduction.h"

std::vector<StationAlert> CStation::SetSettings(const StationSettings& settings, qint64 nowMsec)
{
    m_settings = settings.Sanitized();
    m_reduced = m_pressure ? Reduce(m_settings, *m_pressure) : std::nullopt;
    if (!m_settings.bTendency)
        m_tendency.reset();
    return m_alerts.SetSettings(m_settings, nowMsec);
}

double CStation::Corrected(double value, bool pascals) const
{
    if (m_settings.dCorrection == 0.0)
        return value;
    return value + m_settings.dCorrection * (pascals ? 100.0 : 1.0);
}

std::vector<StationAlert> CStation::Update(qint64 nowMsec, std::optional<double> pressureHpa)
{
    // The history is kept whatever the settings, so that switching the
    // tendency on shows it at once when the readings cover 3 hours.
    if (pressureHpa)
        m_history.Add(nowMsec, *pressureHpa);
    m_pressure = pressureHpa;
    m_reduced = pressureHpa ? Reduce(m_settings, *pressureHpa) : std::nullopt;
    std::optional<PressureTendency> tendency;
    if (m_settings.NeedsTendency())
        tendency = m_history.Tendency(nowMsec);
    m_tendency = m_settings.bTendency ? tendency : std::nullopt;
    return m_alerts.Update(nowMsec, pressureHpa, tendency);
}

QString CStation::Line() const
{
    QStringList parts;
    if (m_settings.nReduction != StationSettings::kNoReduction) {
        const QString name = QString::fromLatin1(ReductionName(m_settings.nReduction));
        parts << (m_reduced ? QStringLiteral("%1 %2 hPa").arg(name, QString::number(*m_reduced, 'f', 1))
                            : QStringLiteral("%1: brak odczytu").arg(name));
    }
    if (m_settings.bTendency) {
        if (m_tendency) {
            // The typographic minus for people; ChangeText keeps the ASCII one.
            QString change = m_tendency->ChangeText();
            if (change.startsWith(QLatin1Char('-')))
                change = QStringLiteral("−") + change.mid(1);
            parts << QStringLiteral("%1 %2 hPa / 3 h, %3").arg(m_tendency->Arrow(), change, m_tendency->Words());
        } else {
            parts << QStringLiteral("tendencja: brak 3 h pomiarów");
        }
    }
    return parts.join(QStringLiteral("  "));
}
