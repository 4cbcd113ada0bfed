#include "programprocess.h"

#include <chrono>

#include "tests/kit/procstats.h"

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

std::optional<double> CProgramProcess::CpuSeconds() const
{
    return CProcStats(Pid()).CpuSeconds();
}

std::optional<double> CProgramProcess::ThreadCpuSeconds() const
{
    return CProcStats(Pid()).ThreadCpuSeconds();
}

std::optional<long long> CProgramProcess::ContextSwitches() const
{
    return CProcStats(Pid()).ContextSwitches();
}

std::optional<long> CProgramProcess::ResidentKb() const
{
    return CProcStats(Pid()).ResidentKb();
}

bool CProgramProcess::HasOpen(const std::string& path) const
{
    return CProcStats(Pid()).HasOpen(path);
}
