#pragma once
// CLatencySamples: latencies in microseconds that one benchmark collects,
// reported as benchmark counters (median_us, p99_us, max_us) and as a line of
// the summary that the benchmark program prints after Google Benchmark's
// table. The summary is shared by the whole program; use from one thread at a
// time.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

class CLatencySamples {
public:
    // CLOCK_MONOTONIC in nanoseconds: every stamp of the benchmarks.
    static long long NowNs();

    void Add(double us);
    std::size_t Size() const { return m_us.size(); }
    // The nearest-rank p-quantile (0 < p <= 1); 0 without samples.
    double Percentile(double p);
    double Max();

    // Counters, and the line "<what>, <n> samples: median .., p99 .., max ..".
    void Report(benchmark::State& state, const std::string& what);

    static void AddSummary(const std::string& line);
    static void PrintSummary();

private:
    void Sort();

    std::vector<double> m_us;
    bool m_bSorted = true;
};
