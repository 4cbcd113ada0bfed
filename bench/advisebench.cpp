// The whole path inside one process, as a spreadsheet with a hot link sees
// it: the far end of a pseudo-terminal writes frames, the real main window
// (CMainDialog, shown offscreen) has opened the pseudo-terminal as its serial
// port (a COM number mapped to the slave path), decodes, refreshes and
// advises on the session bus; a D-Bus client on a thread and a connection of
// its own holds a hot link on "Wynik" and stamps every Advise signal.
//
//   BM_AdviseLatencyPaced  from the write of a frame's carriage return to the
//       client's receipt of the Advise it causes: one frame every 20 ms, 300
//       samples (the line carries one frame about every 360 ms, too slow for
//       many samples). The frame's other 11 characters are written 5 ms before
//       its carriage return, which thus arrives alone, as on the line. The
//       iteration time is the latency; median, 99th percentile and maximum
//       are counters and a summary line at the end.
//   BM_AdviseLatencyFlood  the far end writes frames back to back, each as one
//       write, for 4 s; latency from the return of that write (the carriage
//       return is in the line's queue) to the Advise, the rate of advises and
//       the backlog of frames written but not yet advised when the far end
//       stops. The kernel queues tens of kilobytes on a pseudo-terminal, so
//       the latency is the backlog's: it grows while the flood lasts.
//   BM_RequestsWhileStreaming/<flood>  Request calls per second that the
//       service answers to a client calling in a loop while frames stream in:
//       0 at the line's rate (one character every 30 ms, as 300 baud with 9
//       bits per character gives), 1 in flood.
//
// Stamps are CLOCK_MONOTONIC. Frame k carries the value 1000 + k % 5000 hPa,
// so the text of an advise tells which frame caused it. The benchmark runs
// inside a session bus of its own (dbus-run-session).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "adviseclient.h"
#include "advisereceiver.h"
#include "tests/kit/ptypair.h"
#include "tests/kit/busclient.h"
#include "device/portmap.h"
#include "framelog.h"
#include "latencysamples.h"
#include "printingservices.h"
#include "sessionbus.h"
#include "settings/metersettings.h"
#include "ui/maindialog.h"
#include "ui/portdialog.h"

namespace {

using namespace std::chrono_literals;

const char* const kBench = "km302_bench_advise";
constexpr int kPortNr = 200;

// The main window opens the slave as COM200.
CPtyPair* g_pPty = nullptr;
CFrameLog g_log;

// One frame as the line delivers it: the carriage return alone, after the rest.
long long WritePacedFrame()
{
    const long long k = g_log.NextFrame();
    const std::string frame = CFrameLog::FrameFor(k);
    g_pPty->Write(frame.data(), frame.size() - 1);
    std::this_thread::sleep_for(5ms);
    g_log.Sent(k, CLatencySamples::NowNs());
    g_pPty->Write(frame.data() + frame.size() - 1, 1);
    return k;
}

// A far end that streams on its own thread: one character every 30 ms (the
// line's rate) or whole frames back to back (flood).
class CStreamer {
public:
    explicit CStreamer(bool flood) : m_bFlood(flood), m_thread([this] { Run(); }) {}
    ~CStreamer()
    {
        m_bStop = true;
        m_thread.join();
    }
    CStreamer(const CStreamer&) = delete;
    CStreamer& operator=(const CStreamer&) = delete;

private:
    void Run()
    {
        while (!m_bStop) {
            const long long k = g_log.NextFrame();
            const std::string frame = CFrameLog::FrameFor(k);
            if (m_bFlood) {
                g_pPty->Write(frame);
                g_log.Sent(k, CLatencySamples::NowNs());
                continue;
            }
            // A frame once begun is finished: a torn one would be rejected
            // and withdraw the service.
            for (std::size_t i = 0; i < frame.size(); ++i) {
                if (i + 1 == frame.size())
                    g_log.Sent(k, CLatencySamples::NowNs());
                g_pPty->Write(frame.data() + i, 1);
                std::this_thread::sleep_for(30ms);
            }
        }
    }

    const bool m_bFlood;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

void BM_AdviseLatencyPaced(benchmark::State& state)
{
    CAdviseClient client(g_log, WritePacedFrame());
    if (!client.Begin()) {
        state.SkipWithError("no hot link: the service did not serve the frame");
        return;
    }
    CLatencySamples us;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const long long k = WritePacedFrame();
        const std::optional<double> latency =
            g_log.WaitReceived(k, 5s) ? g_log.LatencyUs(k) : std::nullopt;
        if (!latency) {
            state.SkipWithError("a frame's advise did not come within 5 s");
            break;
        }
        state.SetIterationTime(*latency / 1e6);
        us.Add(*latency);
        std::this_thread::sleep_until(start + 20ms);
    }
    us.Report(state, "paced, one frame every 20 ms: carriage return written -> Advise received by the client");
}

void BM_AdviseLatencyFlood(benchmark::State& state)
{
    constexpr auto kFlood = 4s;
    CAdviseClient client(g_log, WritePacedFrame());
    if (!client.Begin()) {
        state.SkipWithError("no hot link: the service did not serve the frame");
        return;
    }
    long long first = 0;
    long long end = 0;
    long long advisedAtStop = 0;
    for (auto _ : state) {
        first = g_log.FramesStarted();
        {
            CStreamer flood(true);
            std::this_thread::sleep_for(kFlood);
            end = g_log.FramesStarted();
            advisedAtStop = g_log.LastReceived();
        }
        // Then the queue drains.
        if (!g_log.WaitReceived(g_log.FramesStarted() - 1, 60s))
            state.SkipWithError("the last frames' advises did not come within 60 s");
        state.SetIterationTime(std::chrono::duration<double>(kFlood).count());
    }
    CLatencySamples us = g_log.LatenciesUs(first, end);
    const double seconds = std::chrono::duration<double>(kFlood).count();
    const double rate = double(std::max(0LL, advisedAtStop - first + 1)) / seconds;
    const long long backlog = end - 1 - advisedAtStop;
    state.counters["advises_per_s"] = rate;
    state.counters["backlog_frames"] = double(backlog);
    state.counters["not_advised"] = double(end - first) - double(us.Size());
    char what[240];
    std::snprintf(what, sizeof what,
                  "flood for %.0f s, %.0f frames/s advised, %lld frames queued when the far end stopped: "
                  "carriage return written -> Advise received by the client",
                  seconds, rate, backlog);
    us.Report(state, what);
}

void BM_RequestsWhileStreaming(benchmark::State& state)
{
    const bool flood = state.range(0) != 0;
    std::int64_t refused = 0;
    long long frames = 0;
    {
        CBusClient client(QString(), CBusClient::Signals::Ignored);
        CStreamer stream(flood);
        const auto request = [&client] {
            return client.Ask(QStringLiteral("Request"), CAdviseReceiver::kTopic, CAdviseReceiver::kItem).type()
                == QDBusMessage::ReplyMessage;
        };
        // The service appears with the first frame.
        const auto ready = std::chrono::steady_clock::now() + 10s;
        while (!request() && std::chrono::steady_clock::now() < ready)
            std::this_thread::sleep_for(10ms);
        const long long firstFrame = g_log.FramesStarted();
        for (auto _ : state)
            refused += !request();
        frames = g_log.FramesStarted() - firstFrame;
    }
    state.counters["requests"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["frames_written"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
    state.counters["refused"] = double(refused);
}

} // namespace

BENCHMARK(BM_AdviseLatencyPaced)->Iterations(300)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AdviseLatencyFlood)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RequestsWhileStreaming)->Arg(0)->Arg(1)->MinTime(3.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    if (!CSessionBus::EnsurePrivate(argc, argv, kBench))
        return 0;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    benchmark::Initialize(&argc, argv);
    QApplication app(argc, argv);
    CPrintingServices services;
    SetServices(&services);

    if (!CSessionBus::ServiceFree(CBusClient::kService, kBench))
        return 0;
    CPtyPair pty;
    if (!pty.Ok()) {
        std::printf("%s skipped: no pseudo-terminal\n", kBench);
        return 0;
    }
    g_pPty = &pty;
    CPortMap::Instance().SetEntry(kPortNr, pty.SlavePath());

    {
        CMainDialog window(
            MainDialogRunners{.portDialog = [](CPortDialog&) { return IDCANCEL; }, .startupPromotion = {}});
        MeterSettings settings = window.Settings();
        settings.showAdv = 0;
        settings.portNr = kPortNr;
        window.ApplySettings(settings);
        window.resize(600, 400);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window) || !window.Channel()) {
            std::printf("%s skipped: the main window did not show or did not open COM%d (%s)\n", kBench, kPortNr,
                        pty.SlavePath().toUtf8().constData());
            return 0;
        }
        std::thread runner([] {
            benchmark::RunSpecifiedBenchmarks();
            QMetaObject::invokeMethod(qApp, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
        });
        app.exec();
        runner.join();
    }
    SetServices(nullptr);
    CLatencySamples::PrintSummary();
    benchmark::Shutdown();
    return 0;
}
