#include "programprocess.h"

#include <chrono>

bool CProgramProcess::Start(const std::string& path, const std::vector<std::string>& args,
                            const std::vector<std::string>& env)
{
    return m_child.Start(path, args, env);
}

long long CProgramProcess::StartNs() const
{
    // The steady clock is CLOCK_MONOTONIC, the clock of CLatencySamples::NowNs.
    return std::chrono::duration_cast<std::chrono::nanoseconds>(m_child.StartedAt().time_since_epoch()).count();
}
