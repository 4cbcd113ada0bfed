#pragma once
// CWindowTimers: the window timers of one owner (the main window, the pressure
// display). Each timer keeps the fixed id it was started with and ticks
// periodically until killed; every tick calls the owner's callback with the id,
// from the event loop of the user-interface thread, also while a modal dialog
// or message box runs its own loop, the loop of a box that the handler itself
// opened included (the handler is then entered again).
//
// SetTimer with an id that is already running restarts it with the new period.
// A period of 0 is taken as 10 ms, the shortest that window timers have. Id 0
// is refused (SetTimer returns 0, the failure value).
//
// The owner keeps the object as a member; the timers stop when it is destroyed.
// User-interface thread only.

#include <QBasicTimer>
#include <QObject>

#include <functional>
#include <map>

#include "platform/timerhost.h"

class CWindowTimers : public QObject, public ITimerHost {
    Q_OBJECT
public:
    using TickHandler = std::function<void(UINT id)>;

    explicit CWindowTimers(TickHandler onTimer, QObject* parent = nullptr);

    UINT SetTimer(UINT id, UINT elapseMs) override;
    BOOL KillTimer(UINT id) override;
    bool IsRunning(UINT id) const;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    // Calls the handler for a tick of `id` unless the timer has been killed
    // or restarted since Qt's timer `qtTimerId` fired.
    void Deliver(UINT id, int qtTimerId);

    TickHandler m_onTimer;
    std::map<UINT, QBasicTimer> m_timers;
};
