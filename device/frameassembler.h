#pragma once
// CFrameAssembler: gathers the bytes that arrive from the instrument into frames,
// hands each frame to the current reading (CFrameDecoder) and keeps the
// no-communication watchdog (timer 1035) running while frames are accepted.
//
// The main window owns one assembler next to its decoder and forwards every
// WM_SERIAL_BYTE to OnSerialByte, and every tick of timer 1035 to
// OnNoCommTimeout. A frame ends at the exact byte 0x0D; 999 bytes are the most
// one frame may have: the byte that would be the thousandth is dropped together
// with everything gathered before it, and assembly starts afresh after it.
//
// After each complete frame:
//   accepted  m_bReadError = 0; the watchdog is killed (if it was running) and
//             started again for 5000 ms; refresh(1);
//   rejected  m_bReadError = 1; the watchdog is left alone; refresh(0).
// The watchdog is not started before the first accepted frame. Its ticks repeat
// every 5 s until the next accepted frame restarts it; each sets m_bReadError
// and calls refresh(0).
//
// The assembler's state is complete (count reset, read-error mark set, watchdog
// restarted) before refresh runs, so a refresh that runs a nested event loop,
// in which the watchdog may fire, sees consistent state.
//
// Ownership and threads: the decoder, the timer host and the refresh callback
// belong to the main window and must outlive the assembler; an empty refresh is
// allowed and does nothing. Everything runs on the user-interface thread (the
// reader thread waits until OnSerialByte has returned, refresh included).
// Pure C++, no Qt.

#include <functional>

#include "platform/timerhost.h"
#include "platform/wintypes.h"

class CFrameDecoder;

class CFrameAssembler {
public:
    // Applies a frame's outcome to the window: 1 after an accepted frame, 0 after
    // a rejected one or a watchdog tick.
    using RefreshFn = std::function<void(int commOk)>;

    static constexpr int kRxBufferSize = 1000;

    CFrameAssembler(CFrameDecoder& decoder, ITimerHost& timers, RefreshFn refresh);

    // One received byte; only the low 8 bits of wParam are used.
    void OnSerialByte(unsigned wParam);

    // A tick of timer 1035: no accepted frame for 5 s.
    void OnNoCommTimeout();

    char m_rxBuffer[kRxBufferSize] = {};
    int m_nRxCount = 0;       // bytes gathered so far, 0..999
    int m_bReadError = 1;     // 1 while there is no valid reading
    UINT m_nNoCommTimer = 0;  // what SetTimer returned for 1035; 0 while not started

private:
    CFrameDecoder& m_decoder;
    ITimerHost& m_timers;
    RefreshFn m_refresh;
};
