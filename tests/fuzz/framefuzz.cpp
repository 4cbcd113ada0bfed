// libFuzzer target: the input is what arrives on the serial line, one byte per
// WM_SERIAL_BYTE, through the assembler into the decoder. Built and run by
// scripts/fuzz. A broken invariant aborts, which libFuzzer reports as a crash.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "device/frameassembler.h"
#include "device/framedecoder.h"
#include "platform/timerids.h"
#include "tools/frameencoder.h"

namespace {

void Require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

class CCountingTimerHost : public ITimerHost {
public:
    UINT SetTimer(UINT id, UINT elapseMs) override
    {
        Require(id == kNoCommTimerId && elapseMs == kNoCommTimeoutMs, "only the watchdog is started, for 5 s");
        ++m_nSets;
        return id;
    }
    BOOL KillTimer(UINT id) override
    {
        Require(id == kNoCommTimerId && m_nSets > 0, "only a started watchdog is killed");
        ++m_nKills;
        return 1;
    }
    int m_nSets = 0;
    int m_nKills = 0;
};

FrameContent ContentOf(const CFrameDecoder& d)
{
    FrameContent c;
    c.serialNumber = d.m_nSerialNumber;
    c.wholeUnits = d.m_bWholeUnits != 0;
    c.number = int(std::lround(c.wholeUnits ? d.m_dValue : d.m_dValue * 10));
    c.valueError = d.m_bValueError != 0;
    c.pascals = d.m_bUnitPa != 0;
    c.calibrationError = d.m_bCalibrationError != 0;
    return c;
}

// An accepted frame has the accepted shape, and its reading survives being sent
// again: reading -> frame -> reading gives the same values, and a frame the
// instrument could have sent comes back byte for byte (masked).
void CheckAccepted(const CFrameDecoder& d)
{
    const auto m = [&](int k) { return static_cast<unsigned char>(d.m_szFrame[k]); };
    Require(d.m_nLength == 12 && m(0) == 0 && m(11) == 0x0D && m(12) == 0, "accepted frame shape");
    Require((m(1) & 0x30) == 0x30, "accepted flags carry bits 4 and 5");
    Require(d.m_bValueError == (m(1) & 1) && d.m_bUnitPa == (m(1) & 2) && d.m_bCalibrationError == (m(1) & 4)
                && d.m_bWholeUnits == (m(1) & 8),
            "flags taken from byte 1");

    const FrameContent c = ContentOf(d);
    if (c.serialNumber < 0 || c.serialNumber > 0xFFFF || c.number < CFrameEncoder::kMinNumber
        || c.number > CFrameEncoder::kMaxNumber)
        return;   // digit codes past those a frame carries give readings the instrument cannot send
    const std::string again = CFrameEncoder::Encode(c);
    CFrameDecoder fresh;
    Require(fresh.Decode(again.data(), int(again.size())) == 1, "re-encoded frame accepted");
    Require(fresh.m_nSerialNumber == d.m_nSerialNumber && fresh.m_dValue == d.m_dValue
                && fresh.m_bValueError == d.m_bValueError && fresh.m_bUnitPa == d.m_bUnitPa
                && fresh.m_bCalibrationError == d.m_bCalibrationError && fresh.m_bWholeUnits == d.m_bWholeUnits,
            "reading -> frame -> reading");

    // The ten-thousands place takes codes up to 15 (0x3F), the others 0..9.
    bool canonical = m(6) == 0x2D ? c.number != 0 : m(6) >= 0x30;
    for (int k = 2; k <= 5; ++k)
        canonical = canonical && m(k) >= 0x30;
    for (int k = 7; k <= 10; ++k)
        canonical = canonical && m(k) >= 0x30 && m(k) <= 0x39;
    if (canonical) {
        for (int k = 0; k < 12; ++k)
            Require((static_cast<unsigned char>(again[std::size_t(k)]) & 0x3F) == m(k), "frame -> reading -> frame");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFrameDecoder decoder;
    CCountingTimerHost timers;
    int refreshes = 0;
    int accepted = 0;
    CFrameAssembler* self = nullptr;
    bool inByte = false;
    CFrameAssembler assembler(decoder, timers, [&](int commOk) {
        Require(commOk == 0 || commOk == 1, "refresh argument is 0 or 1");
        Require(!inByte || self->m_nRxCount == 0, "buffer emptied before the refresh");
        Require(self->m_bReadError == 1 - commOk, "read-error mark matches the refresh");
        ++refreshes;
        if (commOk) {
            ++accepted;
            CheckAccepted(decoder);
        }
    });
    self = &assembler;

    // The framing rule, kept alongside: a frame ends at 0x0D, and the thousandth
    // byte since the last cut is dropped with everything before it.
    int gathered = 0;
    int frames = 0;
    for (std::size_t i = 0; i < size; ++i) {
        // Odd positions also carry high bits in wParam, which must be ignored.
        const unsigned wParam = data[i] | (i % 2 ? 0xFFFFFF00u : 0u);
        inByte = true;
        assembler.OnSerialByte(wParam);
        inByte = false;
        if (++gathered >= CFrameAssembler::kRxBufferSize) {
            gathered = 0;
        } else if (data[i] == 0x0D) {
            gathered = 0;
            ++frames;
        }
        Require(assembler.m_nRxCount >= 0 && assembler.m_nRxCount < CFrameAssembler::kRxBufferSize, "count in 0..999");
        Require(assembler.m_nRxCount == gathered, "count follows the framing rule");
        Require(refreshes == frames, "one refresh per frame");
    }
    Require(timers.m_nSets == accepted && timers.m_nKills == (accepted ? accepted - 1 : 0),
            "watchdog restarted once per accepted frame");
    Require(assembler.m_nNoCommTimer == (accepted ? kNoCommTimerId : 0u), "watchdog id kept");

    assembler.OnNoCommTimeout();
    Require(assembler.m_bReadError == 1 && refreshes == frames + 1, "timeout marks no communication");
    return 0;
}
