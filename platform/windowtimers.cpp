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
            // Copied first: the handler may kill or restart this very timer.
            const UINT tickId = id;
            if (m_onTimer)
                m_onTimer(tickId);
            return;
        }
    }
    QObject::timerEvent(event);
}
