// Time of one recording tick as the user-interface thread spends it: a text
// record and a binary record, each written and flushed to disk (fdatasync)
// before the call returns, with the local time read for each. The files live
// in a scratch folder under the current directory (or $KM302_BENCH_DIR), so
// the figures are those of that disk, not of a memory file system.
//
// Each iteration is timed on its own; besides the mean, the counters give the
// median and the 99th percentile in microseconds, which is what decides
// whether a tick can delay the window noticeably.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <vector>

#include "recording/binarylog.h"
#include "recording/textlog.h"

namespace {

constexpr int kIterations = 1000;

QString ScratchTemplate()
{
    const QByteArray dir = qgetenv("KM302_BENCH_DIR");
    const QString base = dir.isEmpty() ? QDir::currentPath() : QString::fromLocal8Bit(dir);
    return QDir(base).filePath(QStringLiteral("km302-bench-recording-XXXXXX"));
}

double Percentile(std::vector<double> samples, double fraction)
{
    std::sort(samples.begin(), samples.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[index];
}

enum Logs { kText = 1, kBinary = 2 };

void Tick(benchmark::State& state, int logs)
{
    QTemporaryDir folder(ScratchTemplate());
    if (!folder.isValid()) {
        state.SkipWithError("no scratch folder");
        return;
    }
    CTextLog text;
    CBinaryLog binary;
    if ((logs & kText) && text.Open(folder.filePath(QStringLiteral("pomiary.csv")), false) == LogOpenResult::Failed) {
        state.SkipWithError("text log not opened");
        return;
    }
    if ((logs & kBinary) && binary.Open(folder.filePath(QStringLiteral("pomiary.vrd")), false) == LogOpenResult::Failed) {
        state.SkipWithError("binary log not opened");
        return;
    }

    std::vector<double> micros;
    micros.reserve(kIterations);
    double value = 1013.2;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int textError = text.WriteRecord(true, value, false, 1);
        const int binaryError = binary.WriteRecord(true, value, false, 1234);
        const auto end = std::chrono::steady_clock::now();
        if (textError != 0 || binaryError != 0) {
            state.SkipWithError("write failed");
            return;
        }
        const double seconds = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(seconds);
        micros.push_back(seconds * 1e6);
        value += 0.1;
    }
    state.counters["median_us"] = Percentile(micros, 0.5);
    state.counters["p99_us"] = Percentile(micros, 0.99);
    state.counters["max_us"] = *std::max_element(micros.begin(), micros.end());
}

void BM_RecordingTick(benchmark::State& state) { Tick(state, kText | kBinary); }
void BM_TextRecord(benchmark::State& state) { Tick(state, kText); }
void BM_BinaryRecord(benchmark::State& state) { Tick(state, kBinary); }

BENCHMARK(BM_RecordingTick)->Iterations(kIterations)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TextRecord)->Iterations(kIterations)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BinaryRecord)->Iterations(kIterations)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
