// The serial channel's delivery path on a pseudo-terminal: CSerialChannel's
// reader thread waits until the port holds complete lines (a frame ends in a
// carriage return) and hands all of them, with one blocking queued call, to
// the user-interface thread, which runs OnSerialByte
// for each of its bytes in its event loop (the benchmark's main thread here). The far end is the
// pseudo-terminal's master side, written by a thread of its own.
//
//   BM_DeliveryThroughput/<chunk>  bytes per second delivered while the far
//       end floods the line in writes of <chunk> bytes; "x_line" is how many
//       times the instrument's line (300 baud, 9 bits per character: about
//       33 bytes/s) that is, "cpu_ns_per_byte" the process's CPU time (every
//       thread, the writer's included) per delivered byte.
//   BM_DeliveryLatency/<n>  from the far end's write of n bytes (1: one byte,
//       as the line delivers them; 12: a whole frame at once) to OnSerialByte
//       of the last of them, the carriage return of a frame. The writer
//       waits 1 ms first so that the user-interface thread sleeps in its event
//       loop, as it does between the instrument's characters. The iteration
//       time is the latency (CLOCK_MONOTONIC); median, 99th percentile and
//       maximum are counters and a summary line at the end.
//
// A pseudo-terminal has no baud rate: the figures are the channel's own cost.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <thread>

#include "tests/kit/ptypair.h"
#include "device/serialbytesink.h"
#include "device/serialchannel.h"
#include "latencysamples.h"
#include "tools/frameencoder.h"

namespace {

constexpr double kLineBytesPerSecond = 300.0 / 9.0;
constexpr int kPortNr = 40;
constexpr int kGuardMs = 5000;   // a delivery that never comes ends the run

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
         + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The owner's side: counts the delivered bytes, stamps the last one and ends
// the event loop once the expected count has arrived. User-interface thread.
class CCountingSink : public ISerialByteSink {
public:
    void Expect(long long count, QEventLoop* loop)
    {
        m_target = m_count + count;
        m_pLoop = loop;
    }
    void OnSerialByte(unsigned) override
    {
        ++m_count;
        if (m_count == m_target) {
            m_lastNs = CLatencySamples::NowNs();
            if (m_pLoop)
                m_pLoop->quit();
        }
    }
    long long Count() const { return m_count; }
    long long LastNs() const { return m_lastNs; }

private:
    long long m_count = 0;
    long long m_target = -1;
    long long m_lastNs = 0;
    QEventLoop* m_pLoop = nullptr;
};

// The channel as the main window opens it, on a fresh pseudo-terminal.
struct ChannelOnPty {
    CPtyPair pty;
    CCountingSink sink;
    CSerialChannel channel;

    bool Start()
    {
        return pty.Ok()
            && channel.OpenPath(&sink, kPortNr, pty.SlavePath(), kKm302Line) == 1
            && channel.StartReader() == 1;
    }
};

// Runs the user-interface thread's event loop until the sink has its bytes;
// false when they did not come within the guard time.
bool RunUntilDelivered(CCountingSink& sink, long long count)
{
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&guard, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    sink.Expect(count, &loop);
    guard.start(kGuardMs);
    loop.exec();
    sink.Expect(0, nullptr);
    return !timedOut;
}

void BM_DeliveryThroughput(benchmark::State& state)
{
    const std::size_t chunk = std::size_t(state.range(0));
    constexpr std::size_t kBatch = 16384;
    ChannelOnPty line;
    if (!line.Start()) {
        state.SkipWithError("no pseudo-terminal or the channel did not open it");
        return;
    }
    // Each write ends a line: the channel hands lines over, as the
    // instrument's frames end in a carriage return.
    std::string data(chunk, '\x40');
    data.back() = '\r';
    const double cpuBefore = ProcessCpuSeconds();
    const long long startNs = CLatencySamples::NowNs();
    for (auto _ : state) {
        std::thread writer([&] {
            for (std::size_t written = 0; written < kBatch; written += chunk)
                line.pty.Write(data.data(), std::min(chunk, kBatch - written));
        });
        const bool delivered = RunUntilDelivered(line.sink, static_cast<long long>(kBatch));
        writer.join();
        if (!delivered) {
            state.SkipWithError("bytes lost: not delivered within 5 s");
            return;
        }
    }
    const double bytes = double(state.iterations()) * double(kBatch);
    state.SetBytesProcessed(std::int64_t(bytes));
    const double seconds = double(CLatencySamples::NowNs() - startNs) / 1e9;
    state.counters["x_line"] = bytes / seconds / kLineBytesPerSecond;
    state.counters["cpu_ns_per_byte"] = (ProcessCpuSeconds() - cpuBefore) * 1e9 / bytes;
}

// The far end: on each request it waits 1 ms, stamps and writes.
class CPacedWriter {
public:
    explicit CPacedWriter(CPtyPair& pty) : m_pty(pty), m_thread([this] { Run(); }) {}
    ~CPacedWriter()
    {
        {
            std::lock_guard lock(m_lock);
            m_bQuit = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    CPacedWriter(const CPacedWriter&) = delete;
    CPacedWriter& operator=(const CPacedWriter&) = delete;

    void Request(const std::string& bytes)
    {
        {
            std::lock_guard lock(m_lock);
            m_bytes = bytes;
            m_bPending = true;
        }
        m_wake.notify_one();
    }
    long long WrittenNs()
    {
        std::lock_guard lock(m_lock);
        return m_writtenNs;
    }

private:
    void Run()
    {
        std::unique_lock lock(m_lock);
        for (;;) {
            m_wake.wait(lock, [this] { return m_bPending || m_bQuit; });
            if (m_bQuit)
                return;
            m_bPending = false;
            const std::string bytes = m_bytes;
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            // Stamped before the write: the user-interface thread may read
            // the stamp as soon as the bytes arrive.
            lock.lock();
            m_writtenNs = CLatencySamples::NowNs();
            lock.unlock();
            m_pty.Write(bytes.data(), bytes.size());
            lock.lock();
        }
    }

    CPtyPair& m_pty;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::string m_bytes;
    bool m_bPending = false;
    bool m_bQuit = false;
    long long m_writtenNs = 0;
    std::thread m_thread;
};

void BM_DeliveryLatency(benchmark::State& state)
{
    const int size = int(state.range(0));
    ChannelOnPty line;
    if (!line.Start()) {
        state.SkipWithError("no pseudo-terminal or the channel did not open it");
        return;
    }
    const std::string bytes = size == 12 ? CFrameEncoder::Encode(FrameContent{1234, 10132})
                                         : std::string(std::size_t(size), '\r');
    CLatencySamples us;
    CPacedWriter writer(line.pty);
    for (auto _ : state) {
        writer.Request(bytes);
        if (!RunUntilDelivered(line.sink, size)) {
            state.SkipWithError("bytes lost: not delivered within 5 s");
            return;
        }
        const double seconds = double(line.sink.LastNs() - writer.WrittenNs()) / 1e9;
        state.SetIterationTime(seconds);
        us.Add(seconds * 1e6);
    }
    char what[160];
    std::snprintf(what, sizeof what,
                  "latency far-end write of %d byte%s -> OnSerialByte of the last on the UI thread "
                  "(one character at 300 baud lasts 30000 us)",
                  size, size == 1 ? "" : "s");
    us.Report(state, what);
}

} // namespace

BENCHMARK(BM_DeliveryThroughput)->Arg(1)->Arg(4096)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeliveryLatency)->Arg(1)->Arg(12)->Iterations(2000)->UseManualTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    CLatencySamples::PrintSummary();
    benchmark::Shutdown();
    return 0;
}
