#include "meter/metercore.h"

#include <utility>

#include "platform/messageids.h"
#include "platform/stringtable.h"

namespace {

constexpr int kUnitHpa = 5;
constexpr int kUnitPa = 9;

void Call(const std::function<void()>& hook)
{
    if (hook)
        hook();
}

} // namespace

CMeterCore::CMeterCore(ITimerHost& timers, std::unique_ptr<IDdeTransport> transport, MeterHooks hooks)
    : m_onCommStateChange(std::move(hooks.onCommStateChange)),
      m_onServiceFailure(std::move(hooks.onServiceFailure)),
      m_updateStatus(std::move(hooks.updateStatus)),
      m_afterRefresh(std::move(hooks.afterRefresh)),
      m_assembler(m_decoder, timers, [this](int commOk) { Refresh(commOk); }),
      m_dde(std::move(transport))
{
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

    // 4. The value, or "???" blinking.
    if (commOk == 1) {
        m_display.SetBlinking(m_decoder.m_bValueError || m_decoder.m_bCalibrationError);
        m_display.SetValue(m_decoder.m_dValue);
    } else {
        m_display.SetNoValue();
        m_display.SetBlinking(true);
    }

    // 5. Every hot link gets the current text.
    m_dde.AdviseAll();

    // 6.
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
