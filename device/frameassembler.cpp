#include "device/frameassembler.h"

#include <utility>

#include "device/framedecoder.h"
#include "platform/timerids.h"

namespace {
constexpr unsigned char kCarriageReturn = 0x0D;
}

CFrameAssembler::CFrameAssembler(CFrameDecoder& decoder, ITimerHost& timers, RefreshFn refresh)
    : m_decoder(decoder), m_timers(timers), m_refresh(std::move(refresh))
{
}

void CFrameAssembler::OnSerialByte(unsigned wParam)
{
    const auto b = static_cast<unsigned char>(wParam & 0xFF);

    // 1. Garbage without a carriage return must not grow without bound.
    if (++m_nRxCount >= kRxBufferSize) {
        m_nRxCount = 0;
        return;
    }

    // 2.
    m_rxBuffer[m_nRxCount - 1] = static_cast<char>(b);

    // 3. Only the exact byte 0x0D ends a frame (bit 7 never arrives on a 7-bit line).
    if (b != kCarriageReturn)
        return;

    // 4.
    const int accepted = m_decoder.Decode(m_rxBuffer, m_nRxCount);

    if (accepted) {
        // 5. Every accepted frame pushes the no-communication timeout 5 s away.
        m_bReadError = 0;
        if (m_nNoCommTimer != 0)
            m_timers.KillTimer(m_nNoCommTimer);
        m_nNoCommTimer = m_timers.SetTimer(kNoCommTimerId, kNoCommTimeoutMs);
    } else {
        // 6. A bad frame says nothing about the link, so the watchdog runs on.
        m_bReadError = 1;
    }

    // 7. Before the refresh, which may run a nested event loop.
    m_nRxCount = 0;

    // 8.
    if (m_refresh)
        m_refresh(accepted ? 1 : 0);
}

void CFrameAssembler::OnNoCommTimeout()
{
    m_bReadError = 1;
    if (m_refresh)
        m_refresh(0);
}
