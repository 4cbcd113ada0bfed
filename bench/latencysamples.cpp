#include "latencysamples.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {
std::vector<std::string>& Summary()
{
    static std::vector<std::string> lines;
    return lines;
}
}

long long CLatencySamples::NowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

void CLatencySamples::Add(double us)
{
    m_us.push_back(us);
    m_bSorted = false;
}

void CLatencySamples::Sort()
{
    if (!m_bSorted)
        std::sort(m_us.begin(), m_us.end());
    m_bSorted = true;
}

double CLatencySamples::Percentile(double p)
{
    if (m_us.empty())
        return 0;
    Sort();
    const std::size_t rank = std::size_t(std::ceil(p * double(m_us.size())));
    return m_us[std::min(m_us.size() - 1, rank == 0 ? 0 : rank - 1)];
}

double CLatencySamples::Max()
{
    return m_us.empty() ? 0 : Percentile(1.0);
}

void CLatencySamples::Report(benchmark::State& state, const std::string& what)
{
    if (m_us.empty())
        return;
    state.counters["median_us"] = Percentile(0.5);
    state.counters["p99_us"] = Percentile(0.99);
    state.counters["max_us"] = Max();
    char text[160];
    std::snprintf(text, sizeof text, ", %zu samples: median %.0f us, p99 %.0f us, max %.0f us", m_us.size(),
                  Percentile(0.5), Percentile(0.99), Max());
    AddSummary(what + text);
}

void CLatencySamples::AddSummary(const std::string& line)
{
    Summary().push_back(line);
}

void CLatencySamples::PrintSummary()
{
    for (const std::string& line : Summary())
        std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}
