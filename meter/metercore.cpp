#include "meter/metercore.h"

#include <QDateTime>

#include <utility>

#include "dde/ddeitemtext.h"
#include "platform/messageids.h"
#include "platform/services.h"
#include "platform/stringtable.h"
#include "station/pressurereduction.h"

namespace {

constexpr int kUnitHpa = 5;
constexpr int kUnitPa = 9;

const QString kItemTendency = QStringLiteral("Tendencja");
const QString kItemCharacteristic = QStringLiteral("Charakterystyka");

void Call(const std::function<void()>& hook)
{
    if (hook)
        hook();
}

// The platform clock's local time as UTC milliseconds.
qint64 NowMsec()
{
    const SYSTEMTIME t = Services().GetLocalTime();
    const QDateTime local(QDate(t.wYear, t.wMonth, t.wDay),
                          QTime(t.wHour, t.wMinute, t.wSecond, t.wMilliseconds));
    return local.toMSecsSinceEpoch();
}

} // namespace

CMeterCore::CMeterCore(ITimerHost& timers, std::unique_ptr<IDdeTransport> transport, MeterHooks hooks)
    : m_onCommStateChange(std::move(hooks.onCommStateChange)),
      m_onServiceFailure(std::move(hooks.onServiceFailure)),
      m_updateStatus(std::move(hooks.updateStatus)),
      m_afterRefresh(std::move(hooks.afterRefresh)),
      m_onStationAlert(std::move(hooks.onStationAlert)),
      m_assembler(m_decoder, timers, [this](int commOk) { Refresh(commOk); }),
      m_dde(std::move(transport))
{
    m_dde.m_pExtraItems = this;
}

void CMeterCore::SetStationSettings(const StationSettings& settings)
{
    TellAlerts(m_station.SetSettings(settings, NowMsec()));
}

int CMeterCore::LoadStationHistory(const QString& vrdPath)
{
    return m_station.History().LoadFromVrd(vrdPath, NowMsec());
}

void CMeterCore::TellAlerts(const std::vector<StationAlert>& alerts)
{
    for (const StationAlert& alert : alerts) {
        if (m_onStationAlert)
            m_onStationAlert(alert);
        m_dde.Alert(alert.strKind, alert.bActive, alert.strText);
    }
}

QStringList CMeterCore::DdeExtraItemNames() const
{
    QStringList names;
    const StationSettings& settings = m_station.Settings();
    if (settings.nReduction != StationSettings::kNoReduction)
        names << QString::fromLatin1(ReductionName(settings.nReduction));
    if (settings.bTendency)
        names << kItemTendency << kItemCharacteristic;
    return names;
}

QString CMeterCore::DdeExtraItemText(const QString& name) const
{
    const std::optional<PressureTendency> tendency = m_station.Tendency();
    if (name == kItemTendency)
        return tendency ? tendency->ChangeText() : QString();
    if (name == kItemCharacteristic)
        return tendency ? QString::number(tendency->nCode) : QString();
    const std::optional<double> reduced = m_station.Reduced();
    if (!reduced)
        return {};
    // The rules of "Wynik", in the unit the instrument sends.
    DdeItemSource source = m_display.GetDdeItemSource();
    source.rawValue = m_decoder.m_bUnitPa ? *reduced * 100.0 : *reduced;
    return DdeItemText(kDdeItemResult, source);
}

void CMeterCore::OnSerialByte(unsigned wParam)
{
    m_assembler.OnSerialByte(wParam);
}

void CMeterCore::OnNoCommTimeout()
{
    m_assembler.OnNoCommTimeout();
}

void CMeterCore::Refresh(int commOk)
{
    // 1. A change of the communication state. The service exists only while
    //    the instrument communicates, under the serial number of the reading
    //    that made the state good.
    if (commOk != m_bCommOk) {
        m_bCommOk = commOk;
        Call(m_onCommStateChange);
        m_dde.Unregister();
        // Waiting in line for the plain name behind another program is no
        // failure; the instrument's own name held elsewhere is.
        if (commOk == 1 && m_decoder.m_nSerialNumber > 0
            && m_dde.Register(m_decoder.m_nSerialNumber) != CDdeServer::kRegistered)
            Call(m_onServiceFailure);
    }

    // 2.
    Call(m_updateStatus);

    // 3. The unit follows the reading.
    const int unit = m_decoder.m_bUnitPa ? kUnitPa : kUnitHpa;
    m_display.SetUnits(unit, unit, true);

    // 4. The corrected value, or "???" blinking; then the station.
    std::optional<double> validHpa;
    if (commOk == 1) {
        const bool faulty = m_decoder.m_bValueError || m_decoder.m_bCalibrationError;
        const double value = m_station.Corrected(m_decoder.m_dValue, m_decoder.m_bUnitPa != 0);
        m_display.SetBlinking(faulty);
        m_display.SetValue(value);
        if (!faulty)
            validHpa = m_decoder.m_bUnitPa ? value / 100.0 : value;
    } else {
        m_display.SetNoValue();
        m_display.SetBlinking(true);
    }
    const std::vector<StationAlert> alerts = m_station.Update(NowMsec(), validHpa);

    // 5. Every hot link gets the current text.
    m_dde.AdviseAll();

    // 6.
    TellAlerts(alerts);

    // 7.
    Call(m_afterRefresh);
}

QString CMeterCore::CommunicationText() const
{
    if (m_bCommOk == 0)
        return LoadString(IDS_NO_COMMUNICATION);
    QString text = QStringLiteral("KM-302 nr %1. ").arg(m_decoder.m_nSerialNumber);
    if (!m_decoder.m_bValueError && !m_decoder.m_bCalibrationError)
        text += LoadString(IDS_MEASUREMENT_OK);
    if (m_decoder.m_bValueError)
        text += LoadString(IDS_VALUE_ERROR);
    if (m_decoder.m_bCalibrationError)
        text += LoadString(IDS_CALIBRATION_ERROR);
    return text;
}
