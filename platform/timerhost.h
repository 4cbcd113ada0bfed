#pragma once
// Window timers as the logic sees them: SetTimer(id, ms) starts (or restarts) the
// periodic timer with that fixed id and returns the id (0 on failure); KillTimer(id)
// stops it. The ticks reach the owner's OnTimer(id). Tests implement this
// interface with a recorder and call OnTimer themselves, so no test waits for a
// real timer. Used on the user-interface thread only.

#include "platform/wintypes.h"

class ITimerHost {
public:
    virtual ~ITimerHost() = default;
    virtual UINT SetTimer(UINT id, UINT elapseMs) = 0;
    virtual BOOL KillTimer(UINT id) = 0;
};
