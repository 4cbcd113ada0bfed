#pragma once
// CFakeTimerHost: window timers for tests. It records every SetTimer and
// KillTimer call in order and keeps the set of running timers; nothing ever
// fires by itself: a test calls the owner's tick handler directly.

#include <map>
#include <vector>

#include "platform/timerhost.h"

class CFakeTimerHost : public ITimerHost {
public:
    struct Call {
        enum Kind { Set, Kill } kind;
        UINT id;
        UINT elapseMs;   // 0 for Kill
        friend bool operator==(const Call&, const Call&) = default;
    };

    UINT SetTimer(UINT id, UINT elapseMs) override
    {
        m_calls.push_back({Call::Set, id, elapseMs});
        if (m_bFailSetTimer)
            return 0;
        m_running[id] = elapseMs;
        return id;
    }

    BOOL KillTimer(UINT id) override
    {
        m_calls.push_back({Call::Kill, id, 0});
        return m_running.erase(id) != 0;
    }

    bool IsRunning(UINT id) const { return m_running.count(id) != 0; }
    UINT Period(UINT id) const
    {
        const auto it = m_running.find(id);
        return it == m_running.end() ? 0 : it->second;
    }

    std::vector<Call> m_calls;
    std::map<UINT, UINT> m_running;    // id -> period in ms
    bool m_bFailSetTimer = false;      // SetTimer returns 0 and starts nothing
};
