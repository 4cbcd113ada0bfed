#pragma once
// CMeterCore: the measurement as the windowed and the headless program both
// run it, without a widget: the frame assembler and decoder that take the
// received bytes, the communication state, the state of the pressure field
// (CDisplayState), the weather station (CStation: correction, reduction,
// tendency, alerts) and the D-Bus service that publishes it.
//
// The owner gives its hooks (MeterHooks) at construction; an empty one is
// skipped. Refresh applies a frame's outcome or a timeout (1 valid reading,
// 0 none):
//   1. on a change of the communication state: the owner's state-change hook,
//      then the service withdrawn and, for a valid reading with a serial
//      number above 0, registered under that number (the failure hook when
//      that fails);
//   2. the owner's status hook (the status line, or a line on stderr);
//   3. the unit follows the reading;
//   4. the value with the station's correction, blinking while an error flag
//      is set; or "???" blinking (the frame rules judge the raw frame); then
//      the station's Update, with the shown value when it is valid, at the
//      platform clock's time;
//   5. every hot link of the service gets the current text;
//   6. each alert that started or ended: the owner's alert hook and the
//      service's Alert signal;
//   7. the owner's after-refresh hook (what a record would hold is settled).
//
// The service serves the station's items in its topic while the settings
// switch them on: "QNH" or "QFF" (the reduced value, with the rules of
// "Wynik"), "Tendencja" (the 3-hour change, "-2.3") and "Charakterystyka"
// (the WMO code "0" … "8"; both empty while there is no tendency).
//
// The timer host (timer 1035) is the owner's and outlives the core; the owner
// forwards the ticks of 1035 to OnNoCommTimeout. User-interface thread only;
// the serial reader reaches OnSerialByte(s) through CSerialChannel's
// delivery, which waits for the whole of Refresh.

#include <QString>

#include <functional>
#include <memory>

#include "meter/displaystate.h"
#include "meter/recordrule.h"
#include "station/station.h"
#include "dde/ddeserver.h"
#include "device/frameassembler.h"
#include "device/framedecoder.h"
#include "device/serialbytesink.h"

// What the owner adds to Refresh (see above).
struct MeterHooks {
    std::function<void()> onCommStateChange;   // step 1, before the service
    std::function<void()> onServiceFailure;    // no service, or the instrument's own name held elsewhere
    std::function<void()> updateStatus;        // step 2
    std::function<void()> afterRefresh;        // step 7
    std::function<void(const StationAlert&)> onStationAlert;   // step 6, and when settings end an alert
};

class CMeterCore : public ISerialByteSink, private IDdeExtraItems {
public:
    CMeterCore(ITimerHost& timers, std::unique_ptr<IDdeTransport> transport, MeterHooks hooks = {});
    CMeterCore(const CMeterCore&) = delete;
    CMeterCore& operator=(const CMeterCore&) = delete;

    void OnSerialByte(unsigned wParam) override;
    void OnNoCommTimeout();
    void Refresh(int commOk);

    // The status line's account of the communication: "Brak komunikacji z
    // urządzeniem. ", or "KM-302 nr %d. " with "Pomiar prawidłowy. " or the
    // error sentences.
    QString CommunicationText() const;
    // What a record written now holds.
    RecordReading Reading() const { return ReadingToRecord(m_display, m_decoder); }

    // The communication state last applied by Refresh (1 valid reading, 0 none).
    int CommOk() const { return m_bCommOk; }
    // The current reading.
    const CFrameDecoder& Decoder() const { return m_decoder; }
    const CFrameAssembler& Assembler() const { return m_assembler; }
    // The state of the pressure field; the window's display shows it and sets
    // its units at start-up.
    const CDisplayState& DisplayState() const { return m_display; }
    CDisplayState& DisplayState() { return m_display; }
    // The D-Bus service: the owner points it at the display state once that
    // is set up and withdraws it when it ends.
    const CDdeServer& Dde() const { return m_dde; }
    CDdeServer& Dde() { return m_dde; }

    // The station's settings; alerts they switch off end here (told as in
    // step 6).
    void SetStationSettings(const StationSettings& settings);
    const CStation& Station() const { return m_station; }
    // The station's history read back from the binary log at `vrdPath` (its
    // last 3 hours before the platform clock's now); how many readings.
    int LoadStationHistory(const QString& vrdPath);

private:
    QStringList DdeExtraItemNames() const override;
    QString DdeExtraItemText(const QString& name) const override;
    void TellAlerts(const std::vector<StationAlert>& alerts);

    std::function<void()> m_onCommStateChange;
    std::function<void()> m_onServiceFailure;
    std::function<void()> m_updateStatus;
    std::function<void()> m_afterRefresh;
    std::function<void(const StationAlert&)> m_onStationAlert;

    CFrameDecoder m_decoder;
    CFrameAssembler m_assembler;
    CDisplayState m_display;
    CDdeServer m_dde;
    CStation m_station;
    int m_bCommOk = 0;
};
