#include "platform/windowtimers.h"

#include <QTimerEvent>
#include <QtGlobal>

#include <algorithm>
#include <climits>

namespace {
constexpr UINT kMinimumElapseMs = 10;

// KM302_TIME_SCALE (a number between 0.001 and 1, for the end-to-end tests
// only) shortens every window timer by that factor, so that a test of the real
// program need not wait 10 s for the start-up opening of the logs. Unset or
// invalid: 1.
double TimeScale()
{
    static const double scale = [] {
        bool ok = false;
        const double value = qEnvironmentVariable("KM302_TIME_SCALE").toDouble(&ok);
        return ok && value >= 0.001 && value <= 1.0 ? value : 1.0;
    }();
    return scale;
}
}

CWindowTimers::CWindowTimers(TickHandler onTimer, QObject* parent)
    : QObject(parent), m_onTimer(std::move(onTimer))
{
}

UINT CWindowTimers::SetTimer(UINT id, UINT elapseMs)
{
    if (id == 0)
        return 0;
    const double scaled = double(elapseMs) * TimeScale();
    const UINT period = std::clamp<UINT>(UINT(std::min(scaled, double(INT_MAX))), kMinimumElapseMs, INT_MAX);
    // Precise: the recording interval is counted by ticks, so a coarse
    // timer's slack would show in the log's time stamps.
    m_timers[id].start(static_cast<int>(period), Qt::PreciseTimer, this);
    return id;
}

BOOL CWindowTimers::KillTimer(UINT id)
{
    const auto it = m_timers.find(id);
    if (it == m_timers.end())
        return 0;
    it->second.stop();
    m_timers.erase(it);
    return 1;
}

bool CWindowTimers::IsRunning(UINT id) const
{
    return m_timers.count(id) != 0;
}

void CWindowTimers::timerEvent(QTimerEvent* event)
{
    for (const auto& [id, timer] : m_timers) {
        if (timer.timerId() == event->timerId()) {
            // Qt sends a timer no further events while its own event is being
            // handled: a handler that opens a message box (a recording tick
            // that failed to write) would stop its own timer until the box is
            // closed. The tick is handed over through the event queue, so the
            // timer keeps ticking in the box's loop.
            QMetaObject::invokeMethod(
                this, [this, tickId = id, qtId = event->timerId()] { Deliver(tickId, qtId); },
                Qt::QueuedConnection);
            return;
        }
    }
    QObject::timerEvent(event);
}

void CWindowTimers::Deliver(UINT id, int qtTimerId)
{
    // A timer killed or restarted since the event owes no tick.
    const auto it = m_timers.find(id);
    if (it == m_timers.end() || it->second.timerId() != qtTimerId)
        return;
    if (m_onTimer)
        m_onTimer(id);
}
