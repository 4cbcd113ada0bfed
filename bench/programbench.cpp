// The whole program as the user runs it: the installed-style km302 binary in
// a process of its own, started with a settings folder of its own
// (XDG_CONFIG_HOME) whose KM302.ini maps COM40 to a pseudo-terminal that the
// benchmark owns and writes as the instrument would. A client in the
// benchmark process, on a thread and a bus connection of its own, holds a hot
// link on "Wynik" and stamps every Advise (CLOCK_MONOTONIC). Frame k carries
// the value 1000 + k % 5000 hPa, so an advise's text tells which frame caused
// it.
//
//   BM_LatencyAtLineRate  the line's pace: one character every 30 ms (300
//       baud, 9 bits a character), a 12-character frame every 360 ms; from
//       the write of a frame's carriage return on the master side to the
//       client's receipt of its Advise. The iteration time is the latency.
//       /0 the windowed program, /1 `km302 --headless` (as for BM_Flood),
//       /2 the floor: km302_advisefloor, the least Qt program that turns
//       each frame into one Advise of the same shape to the same client.
//   BM_Flood  frames back to back, each one write, for 5 s, then the queue
//       drains. The master side waits while the kernel's queue is full, so
//       the far end goes no faster than the program reads: the rate is the
//       program's own. Latency from the return of a frame's write to its
//       Advise (the backlog's wait included); sent = frames written,
//       accepted = distinct frames advised to the client after the drain;
//       the advised rate while the flood lasts, as a multiple of the line's
//       300 / 9 / 12 frames/s; km302's processor share meanwhile.
//   BM_IdleCost  km302 with its port open and nothing arriving: after the
//       5 s no-communication timeout ("???" blinks), processor share (the
//       threads' schedstat: the clock ticks of /proc/<pid>/stat, 10 ms, are
//       too coarse here), wakeups (context switches) and resident memory
//       (VmRSS) over 10 s, beside an empty Qt dialog (the km302_emptydialog
//       program) and the floor, a window that looks like km302's
//       (km302_samelook), measured the same way at the same time.
//   BM_LineRateCost  what recording costs at the line's pace, both logs on
//       (one record a second): `km302 --headless`, with no display variables,
//       then the windowed km302, each fed a frame every 360 ms for 20 s once
//       its logs are open, then 10 s more with the line quiet; processor
//       share (schedstat), wakeups (context switches of all threads) and
//       resident memory, beside the empty Qt dialog measured during the
//       headless run. Wakeups beyond the frames are those of the quiet 10 s
//       (the recording tick and every other timer), per second; the frames'
//       own are the difference, per frame. Headless runs once more recording
//       every 60 s, the settings' default. The floor, km302_recorderfloor
//       (a C program that reads the line once a frame and writes both logs
//       a record a second, each on disk), is measured as the headless run.
//   BM_StartupToFirstPicture  from the fork of km302 to the close of the
//       picture it saves of its main window when its event loop first runs
//       (KM302_SCREENSHOT, KM302_SCREENSHOT_AFTER=0): the grab renders the
//       whole window, so the figure includes one full paint, plus the PNG
//       encoding and write, measured here separately on the same picture.
//       The empty dialog and the floor, a window that looks like km302's
//       (menus, caption, status field, the value in Arial 60), do the same.
//
// Every km302 figure that has a floor is printed beside it, with the ratio
// km302 / floor, measured in the same run: a ratio reads as what km302 costs
// beyond what this machine asks of any program doing the same.
//
// The benchmark always runs inside a session bus of its own
// (dbus-run-session); the children use the offscreen platform unless a
// DISPLAY is set.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "adviseclient.h"
#include "advisereceiver.h"
#include "tests/kit/ptypair.h"
#include "tests/kit/busclient.h"
#include "framelog.h"
#include "latencysamples.h"
#include "programprocess.h"
#include "sessionbus.h"

namespace {

using namespace std::chrono_literals;

const char* const kBench = "km302_bench_program";
const std::string kProgram = KM302_PROGRAM_PATH;
const std::string kEmptyDialog = KM302_EMPTYDIALOG_PATH;
const std::string kSameLook = KM302_SAMELOOK_PATH;
const std::string kAdviseFloor = KM302_ADVISEFLOOR_PATH;
const std::string kRecorderFloor = KM302_RECORDERFLOOR_PATH;
constexpr auto kCharacterTime = 30ms;                         // 300 baud, 9 bits a character
constexpr double kLineFramesPerSecond = 300.0 / 9.0 / 12.0;   // ≈ 2.78
constexpr int kStartupRuns = 10;

CFrameLog g_log;

// A latency's median and 99th percentile in microseconds, once measured.
struct LatencyFigures {
    double median = 0;
    double p99 = 0;
    bool measured = false;
};
// BM_LatencyAtLineRate: windowed, headless, the floor.
LatencyFigures g_lineLatency[3];

// "2.3 x", or "-" when the floor's figure is none.
std::string Ratio(double value, double floor)
{
    return floor > 0 ? QByteArray::number(value / floor, 'f', 2).toStdString() + " x" : std::string("-");
}

// km302 on a fresh settings folder whose COM40 is a fresh pseudo-terminal.
// SIGTERM (the "Zamknij" path) ends it.
class CProgramOnPty {
public:
    ~CProgramOnPty()
    {
        m_program.Signal(SIGTERM);
        m_program.WaitExit(10000);
    }

    bool Start(const std::vector<std::string>& env = {}) { return Launch(QByteArray(), false, env); }
    // `km302 --headless` with no display variables, no logs.
    bool StartHeadless() { return Launch(QByteArray(), true, {}); }

    // With both logs on in the folder, a record a second; `headless`:
    // `km302 --headless` with no display variables in its environment.
    bool StartRecording(bool headless, int intervalSeconds = 1)
    {
        const QByteArray log = "[LOG]\r\nFILE_LOG=1\r\nFILE_LOG_BIN=1\r\nFILE_NAME="
            + m_dir.filePath(QStringLiteral("pomiary.txt")).toLocal8Bit() + "\r\nFILE_NAME_BIN="
            + m_dir.filePath(QStringLiteral("pomiary.vrd")).toLocal8Bit() + "\r\nFILE_INTERVAL="
            + QByteArray::number(intervalSeconds) + "\r\n";
        return Launch(log, headless, {});
    }

    // The floor of carriage return -> Advise, on the same line.
    bool StartAdviseFloor()
    {
        return m_dir.isValid() && m_pty.Ok() && m_program.Start(kAdviseFloor, {m_pty.SlavePath().toStdString()}, {});
    }
    // The floor of recording: both logs where StartRecording puts them.
    bool StartRecorderFloor()
    {
        return m_dir.isValid() && m_pty.Ok()
            && m_program.Start(kRecorderFloor,
                               {m_pty.SlavePath().toStdString(),
                                m_dir.filePath(QStringLiteral("pomiary.txt")).toStdString(),
                                m_dir.filePath(QStringLiteral("pomiary.vrd")).toStdString()},
                               {});
    }

    CPtyPair& Pty() { return m_pty; }
    CProgramProcess& Program() { return m_program; }
    QString Folder() const { return m_dir.path(); }

    // Writes whole frames until the program serves one over the bus; that
    // frame, or nothing within 20 s.
    std::optional<long long> Prime()
    {
        CBusClient client(QString(), CBusClient::Signals::Ignored);
        const auto end = std::chrono::steady_clock::now() + 20s;
        while (client.IsConnected() && std::chrono::steady_clock::now() < end) {
            const long long k = g_log.NextFrame();
            if (!m_pty.Write(CFrameLog::FrameFor(k)))
                return std::nullopt;
            std::this_thread::sleep_for(200ms);
            const QDBusMessage reply =
                client.Ask(QStringLiteral("Request"), CAdviseReceiver::kTopic, CAdviseReceiver::kItem, 1000);
            bool ok = false;
            if (reply.type() == QDBusMessage::ReplyMessage
                && CFrameLog::ResidueOf(reply.arguments().value(0).toString(), &ok) == k % CFrameLog::kValues
                && ok)
                return k;
        }
        return std::nullopt;
    }

private:
    bool Launch(const QByteArray& logSettings, bool headless, const std::vector<std::string>& env)
    {
        if (!m_dir.isValid() || !m_pty.Ok() || !QDir().mkpath(m_dir.filePath(QStringLiteral("KM302"))))
            return false;
        const QByteArray text = "[GENERAL]\r\nPORT_NR=40\r\nSHOW_ADV=0\r\n" + logSettings + "[PORTS]\r\nCOM40="
            + m_pty.SlavePath().toLocal8Bit() + "\r\n";
        QFile settings(m_dir.filePath(QStringLiteral("KM302/KM302.ini")));
        if (!settings.open(QIODevice::WriteOnly) || settings.write(text) != text.size())
            return false;
        settings.close();
        std::vector<std::string> all{"XDG_CONFIG_HOME=" + m_dir.path().toStdString()};
        all.insert(all.end(), env.begin(), env.end());
        if (!headless)
            return m_program.Start(kProgram, {}, all);
        // env(1) drops the display variables and becomes km302, in the same process.
        return m_program.Start("/usr/bin/env",
                               {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", kProgram, "--headless"},
                               all);
    }

    QTemporaryDir m_dir;
    CPtyPair m_pty;
    CProgramProcess m_program;
};

// Which program serves the client.
enum class Server { Windowed, Headless, Floor };

// Starts km302 (or the floor), shows it a frame and links a client; the error otherwise.
const char* Connect(CProgramOnPty& run, std::unique_ptr<CAdviseClient>& client, Server server)
{
    const bool started = server == Server::Floor ? run.StartAdviseFloor()
        : server == Server::Headless             ? run.StartHeadless()
                                                 : run.Start();
    if (!started)
        return server == Server::Floor ? "the Advise floor did not start" : "km302 did not start";
    const std::optional<long long> shown = run.Prime();
    if (!shown)
        return server == Server::Floor ? "the Advise floor did not serve a frame within 20 s"
                                       : "km302 did not serve a frame within 20 s";
    client = std::make_unique<CAdviseClient>(g_log, *shown);
    return client->Begin() ? nullptr : "no hot link on Wynik";
}

void BM_LatencyAtLineRate(benchmark::State& state)
{
    CProgramOnPty run;
    std::unique_ptr<CAdviseClient> client;
    const auto server = Server(state.range(0));
    if (const char* error = Connect(run, client, server)) {
        state.SkipWithError(error);
        return;
    }
    CLatencySamples us;
    auto next = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const long long k = g_log.NextFrame();
        const std::string frame = CFrameLog::FrameFor(k);
        next = std::max(next, std::chrono::steady_clock::now());
        bool written = true;
        for (std::size_t i = 0; i < frame.size() && written; ++i) {
            next += kCharacterTime;
            std::this_thread::sleep_until(next);
            if (i + 1 == frame.size())
                g_log.Sent(k, CLatencySamples::NowNs());
            written = run.Pty().Write(frame.data() + i, 1);
        }
        const std::optional<double> latency =
            written && g_log.WaitReceived(k, 5s) ? g_log.LatencyUs(k) : std::nullopt;
        if (!latency) {
            state.SkipWithError("a frame's advise did not come within 5 s");
            break;
        }
        state.SetIterationTime(*latency / 1e6);
        us.Add(*latency);
    }
    if (us.Size() > 0)
        g_lineLatency[state.range(0)] = {us.Percentile(0.5), us.Percentile(0.99), true};
    const char* const who[] = {"whole program", "km302 --headless", "floor (km302_advisefloor)"};
    us.Report(state, std::string(who[state.range(0)])
                  + " at the line's rate (a character every 30 ms): carriage return written -> Advise of its "
                    "frame at the client");
}

// The line-rate latencies beside the floor's, once all three are measured.
void AddLatencyRatios()
{
    const LatencyFigures& floor = g_lineLatency[2];
    if (!floor.measured)
        return;
    const char* const who[] = {"windowed km302", "km302 --headless"};
    for (int i = 0; i < 2; ++i) {
        const LatencyFigures& km302 = g_lineLatency[i];
        if (!km302.measured)
            continue;
        char text[320];
        std::snprintf(text, sizeof text,
                      "carriage return -> Advise at the line's rate, %s against the floor: median %.0f us vs "
                      "%.0f us, ratio to floor: %s; p99 %.0f us vs %.0f us, ratio to floor: %s",
                      who[i], km302.median, floor.median, Ratio(km302.median, floor.median).c_str(), km302.p99,
                      floor.p99, Ratio(km302.p99, floor.p99).c_str());
        CLatencySamples::AddSummary(text);
    }
}

void BM_Flood(benchmark::State& state)
{
    constexpr auto kFlood = 5s;
    CProgramOnPty run;
    std::unique_ptr<CAdviseClient> client;
    if (const char* error = Connect(run, client, state.range(0) == 1 ? Server::Headless : Server::Windowed)) {
        state.SkipWithError(error);
        return;
    }
    long long first = 0;
    long long end = 0;
    long long advisedAtStop = 0;
    double drainSeconds = 0;
    double cpuShare = 0;
    bool writeFailed = false;
    for (auto _ : state) {
        first = g_log.FramesStarted();
        std::atomic<bool> stop{false};
        const std::optional<double> cpuBefore = run.Program().Stats().CpuSeconds();
        const long long startNs = CLatencySamples::NowNs();
        std::thread writer([&] {
            while (!stop) {
                const long long k = g_log.NextFrame();
                if (!run.Pty().Write(CFrameLog::FrameFor(k))) {
                    writeFailed = true;
                    return;
                }
                g_log.Sent(k, CLatencySamples::NowNs());
            }
        });
        std::this_thread::sleep_for(kFlood);
        advisedAtStop = g_log.Advised(first, g_log.FramesStarted());
        const std::optional<double> cpuAfter = run.Program().Stats().CpuSeconds();
        const long long stopNs = CLatencySamples::NowNs();
        stop = true;
        writer.join();
        end = g_log.FramesStarted();
        if (cpuBefore && cpuAfter)
            cpuShare = (*cpuAfter - *cpuBefore) / (double(stopNs - startNs) / 1e9);
        const bool drained = g_log.WaitReceived(end - 1, 60s);
        drainSeconds = double(CLatencySamples::NowNs() - stopNs) / 1e9;
        if (writeFailed || !drained)
            state.SkipWithError(writeFailed ? "km302 stopped reading the line"
                                            : "the last frame's advise did not come within 60 s");
        state.SetIterationTime(std::chrono::duration<double>(kFlood).count());
    }
    CLatencySamples us = g_log.LatenciesUs(first, end);
    const double seconds = std::chrono::duration<double>(kFlood).count();
    const long long sent = end - first;
    const long long accepted = g_log.Advised(first, end);
    const double rate = double(advisedAtStop) / seconds;
    state.counters["sent"] = double(sent);
    state.counters["accepted"] = double(accepted);
    state.counters["frames_per_s"] = rate;
    state.counters["x_line"] = rate / kLineFramesPerSecond;
    state.counters["drain_s"] = drainSeconds;
    state.counters["km302_cpu_pct"] = cpuShare * 100;
    char text[480];
    std::snprintf(text, sizeof text,
                  "%s in flood for %.0f s: %lld frames sent, %lld accepted (distinct frames advised "
                  "to the client), %lld lost; %.0f frames/s advised while the flood lasted = %.0f x the line's "
                  "%.2f frames/s; km302 used %.0f%% of a core, %.0f us a frame; the backlog drained in %.1f s",
                  state.range(0) == 1 ? "km302 --headless" : "whole program", seconds, sent, accepted, sent - accepted, rate, rate / kLineFramesPerSecond,
                  kLineFramesPerSecond, cpuShare * 100, rate > 0 ? cpuShare * 1e6 / rate : 0.0, drainSeconds);
    CLatencySamples::AddSummary(text);
    us.Report(state, state.range(0) == 1 ? "km302 --headless in flood: frame's write returned -> Advise of that "
                                           "frame at the client"
                                         : "whole program in flood: frame's write returned -> Advise of that frame "
                                           "at the client");
}

// One program's share of a core, wakeups per second and resident memory.
struct CostFigures {
    double cpu = 0;
    double wakeups = 0;
    long rssKb = 0;
};

void BM_IdleCost(benchmark::State& state)
{
    constexpr auto kSettle = 6s;   // the 5 s no-communication timeout and a little
    constexpr auto kWindow = 10s;
    CProgramOnPty run;
    CProgramProcess empty;
    CProgramProcess sameLook;
    if (!run.Start() || !empty.Start(kEmptyDialog, {}, {}) || !sameLook.Start(kSameLook, {}, {})) {
        state.SkipWithError("km302, the empty dialog or the same-look window did not start");
        return;
    }
    // km302, the empty dialog, the same-look window.
    CostFigures figures[3];
    for (auto _ : state) {
        std::this_thread::sleep_for(kSettle);
        if (!run.Program().Stats().HasOpen(run.Pty().SlavePath().toStdString())) {
            state.SkipWithError("km302 does not hold its port open");
            return;
        }
        CProgramProcess* programs[3] = {&run.Program(), &empty, &sameLook};
        std::optional<double> cpu[3];
        std::optional<long long> switches[3];
        for (int i = 0; i < 3; ++i) {
            cpu[i] = programs[i]->Stats().ThreadCpuSeconds();
            switches[i] = programs[i]->Stats().ContextSwitches();
        }
        const long long startNs = CLatencySamples::NowNs();
        std::this_thread::sleep_for(kWindow);
        const double seconds = double(CLatencySamples::NowNs() - startNs) / 1e9;
        for (int i = 0; i < 3; ++i) {
            const std::optional<double> cpuAfter = programs[i]->Stats().ThreadCpuSeconds();
            const std::optional<long long> switchesAfter = programs[i]->Stats().ContextSwitches();
            const std::optional<long> kb = programs[i]->Stats().ResidentKb();
            if (!cpu[i] || !cpuAfter || !switches[i] || !switchesAfter || !kb) {
                state.SkipWithError("a program ended while it was measured");
                return;
            }
            figures[i] = {(*cpuAfter - *cpu[i]) / seconds, double(*switchesAfter - *switches[i]) / seconds, *kb};
        }
        state.SetIterationTime(seconds);
    }
    const CostFigures& km302 = figures[0];
    const CostFigures& reference = figures[1];
    const CostFigures& floor = figures[2];
    state.counters["km302_cpu_pct"] = km302.cpu * 100;
    state.counters["empty_cpu_pct"] = reference.cpu * 100;
    state.counters["floor_cpu_pct"] = floor.cpu * 100;
    state.counters["km302_wakeups_per_s"] = km302.wakeups;
    state.counters["empty_wakeups_per_s"] = reference.wakeups;
    state.counters["floor_wakeups_per_s"] = floor.wakeups;
    state.counters["km302_rss_kb"] = double(km302.rssKb);
    state.counters["empty_rss_kb"] = double(reference.rssKb);
    state.counters["floor_rss_kb"] = double(floor.rssKb);
    state.counters["rss_ratio_to_empty"] = double(km302.rssKb) / double(reference.rssKb);
    state.counters["rss_ratio_to_floor"] = double(km302.rssKb) / double(floor.rssKb);
    // The dialogs may not run at all while they are measured: their
    // processor ratio then has no finite value ("-").
    char text[640];
    std::snprintf(text, sizeof text,
                  "idle, port open, nothing arriving, display blinking, over 10 s: km302 %.3f%% of a core, "
                  "%.1f wakeups/s, %ld kB resident; floor (a window that looks like km302's) %.3f%% of a core, "
                  "%.1f wakeups/s, %ld kB resident; empty Qt dialog %.3f%% of a core, %.1f wakeups/s, %ld kB "
                  "resident; memory ratio to floor: %s (to the empty dialog %s); processor ratio to floor: %s",
                  km302.cpu * 100, km302.wakeups, km302.rssKb, floor.cpu * 100, floor.wakeups, floor.rssKb,
                  reference.cpu * 100, reference.wakeups, reference.rssKb,
                  Ratio(double(km302.rssKb), double(floor.rssKb)).c_str(),
                  Ratio(double(km302.rssKb), double(reference.rssKb)).c_str(), Ratio(km302.cpu, floor.cpu).c_str());
    CLatencySamples::AddSummary(text);
}

// Writes frames to a pty at the line's pace (a character every 30 ms) on a
// thread of its own from construction to destruction, counting the frames
// whose last character went out.
class CLineFeeder {
public:
    explicit CLineFeeder(CPtyPair& pty) : m_thread([this, &pty] { Run(pty); }) {}
    ~CLineFeeder()
    {
        m_bStop = true;
        m_thread.join();
    }
    CLineFeeder(const CLineFeeder&) = delete;
    CLineFeeder& operator=(const CLineFeeder&) = delete;

    long long Frames() const { return m_nFrames; }
    // The program stopped taking the line's bytes.
    bool Failed() const { return m_bFailed; }

private:
    void Run(CPtyPair& pty)
    {
        auto next = std::chrono::steady_clock::now();
        for (long long k = 0; !m_bStop; ++k) {
            for (const char c : CFrameLog::FrameFor(k)) {
                next += kCharacterTime;
                std::this_thread::sleep_until(next);
                if (m_bStop)
                    return;
                if (!pty.Write(&c, 1)) {
                    m_bFailed = true;
                    return;
                }
            }
            ++m_nFrames;
        }
    }

    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bFailed{false};
    std::atomic<long long> m_nFrames{0};
    std::thread m_thread;   // last: it starts once the rest is ready
};

// A program's processor time and context switches at one moment.
struct CostSample {
    std::optional<double> cpu;
    std::optional<long long> switches;
};

CostSample SampleOf(const CProgramProcess& program)
{
    return {program.Stats().ThreadCpuSeconds(), program.Stats().ContextSwitches()};
}

// The program's figures from `before` to now, `seconds` apart; nothing when
// it is gone.
std::optional<CostFigures> CostSince(const CostSample& before, const CProgramProcess& program, double seconds)
{
    const CostSample after = SampleOf(program);
    const std::optional<long> kb = program.Stats().ResidentKb();
    if (!before.cpu || !before.switches || !after.cpu || !after.switches || !kb)
        return std::nullopt;
    return CostFigures{(*after.cpu - *before.cpu) / seconds, double(*after.switches - *before.switches) / seconds, *kb};
}

void BM_LineRateCost(benchmark::State& state)
{
    constexpr auto kWindow = 20s;
    CProgramProcess empty;
    if (!empty.Start(kEmptyDialog, {}, {})) {
        state.SkipWithError("the empty dialog did not start");
        return;
    }
    constexpr auto kQuietWindow = 10s;
    // Headless, windowed, headless recording every 60 s (the settings'
    // default), the floor (km302_recorderfloor), the empty dialog; the first
    // four with the line quiet too.
    constexpr int kFloor = 3;
    CostFigures figures[5];
    CostFigures quietFigures[4];
    double frameRate = 0;
    for (auto _ : state) {
        double total = 0;
        for (int mode = 0; mode < 4; ++mode) {
            const bool headless = mode != 1;
            CProgramOnPty run;
            if (!(mode == kFloor ? run.StartRecorderFloor() : run.StartRecording(headless, mode == 2 ? 60 : 1))) {
                state.SkipWithError(mode == kFloor ? "the recorder floor did not start" : "km302 did not start");
                return;
            }
            auto feeder = std::make_unique<CLineFeeder>(run.Pty());
            // The windowed program opens its logs 10 s after it starts, headless at once.
            std::this_thread::sleep_for(headless ? 3s : 12s);
            if (!run.Program().Stats().HasOpen(run.Folder().toStdString() + "/pomiary.vrd")) {
                state.SkipWithError("km302 does not hold its binary log open");
                return;
            }
            const CostSample before = SampleOf(run.Program());
            const CostSample emptyBefore = SampleOf(empty);
            const long long framesBefore = feeder->Frames();
            const long long startNs = CLatencySamples::NowNs();
            std::this_thread::sleep_for(kWindow);
            const double seconds = double(CLatencySamples::NowNs() - startNs) / 1e9;
            frameRate = double(feeder->Frames() - framesBefore) / seconds;
            const std::optional<CostFigures> cost = CostSince(before, run.Program(), seconds);
            const std::optional<CostFigures> emptyCost = CostSince(emptyBefore, empty, seconds);
            const bool failed = feeder->Failed();
            feeder.reset();
            // The quiet line: the no-communication timeout passes first.
            std::this_thread::sleep_for(6s);
            const CostSample quietBefore = SampleOf(run.Program());
            const long long quietStartNs = CLatencySamples::NowNs();
            std::this_thread::sleep_for(kQuietWindow);
            const double quietSeconds = double(CLatencySamples::NowNs() - quietStartNs) / 1e9;
            const std::optional<CostFigures> quiet = CostSince(quietBefore, run.Program(), quietSeconds);
            if (!cost || !emptyCost || !quiet || failed) {
                state.SkipWithError("a program ended or stopped reading while it was measured");
                return;
            }
            figures[mode] = *cost;
            quietFigures[mode] = *quiet;
            if (mode == 0)
                figures[4] = *emptyCost;
            total += seconds + quietSeconds;
        }
        state.SetIterationTime(total);
    }
    const CostFigures& headless = figures[0];
    const CostFigures& windowed = figures[1];
    const CostFigures& everyMinute = figures[2];
    const CostFigures& floor = figures[kFloor];
    const CostFigures& reference = figures[4];
    const auto perFrame = [frameRate](const CostFigures& line, const CostFigures& quiet) {
        return frameRate > 0 ? (line.wakeups - quiet.wakeups) / frameRate : 0.0;
    };
    state.counters["headless_cpu_pct"] = headless.cpu * 100;
    state.counters["headless_wakeups_beyond_frames_per_s"] = quietFigures[0].wakeups;
    state.counters["headless_wakeups_per_frame"] = perFrame(headless, quietFigures[0]);
    state.counters["headless_quiet_cpu_pct"] = quietFigures[0].cpu * 100;
    state.counters["headless_rss_kb"] = double(headless.rssKb);
    state.counters["headless60_cpu_pct"] = everyMinute.cpu * 100;
    state.counters["headless60_wakeups_beyond_frames_per_s"] = quietFigures[2].wakeups;
    state.counters["windowed_cpu_pct"] = windowed.cpu * 100;
    state.counters["windowed_wakeups_beyond_frames_per_s"] = quietFigures[1].wakeups;
    state.counters["windowed_wakeups_per_frame"] = perFrame(windowed, quietFigures[1]);
    state.counters["windowed_rss_kb"] = double(windowed.rssKb);
    state.counters["empty_rss_kb"] = double(reference.rssKb);
    state.counters["headless_to_windowed_rss"] = double(headless.rssKb) / double(windowed.rssKb);
    state.counters["floor_cpu_pct"] = floor.cpu * 100;
    state.counters["floor_wakeups_per_frame"] = perFrame(floor, quietFigures[kFloor]);
    state.counters["floor_rss_kb"] = double(floor.rssKb);
    if (floor.cpu > 0)
        state.counters["headless_cpu_ratio_to_floor"] = headless.cpu / floor.cpu;
    state.counters["headless_rss_ratio_to_floor"] = double(headless.rssKb) / double(floor.rssKb);
    char text[1100];
    std::snprintf(text, sizeof text,
                  "recording both logs at the line's pace (%.2f frames/s), over 20 s each, then 10 s of a quiet "
                  "line: km302 --headless %.3f%% of a core (quiet %.3f%%), %.1f wakeups/s in all, %.1f a frame, "
                  "%.1f/s beyond the frames, %ld kB resident; the same recording every 60 s: %.3f%% of a core, "
                  "%.1f wakeups/s in all, %.1f a frame, %.1f/s beyond the frames; windowed km302 %.3f%% of a core (quiet %.3f%%), "
                  "%.1f wakeups/s in all, %.1f a frame, %.1f/s beyond the frames, %ld kB resident; empty Qt "
                  "dialog %.3f%% of a core, %.1f wakeups/s, %ld kB resident; headless / windowed memory %.2f, "
                  "headless / empty dialog memory %.2f",
                  frameRate, headless.cpu * 100, quietFigures[0].cpu * 100, headless.wakeups,
                  perFrame(headless, quietFigures[0]), quietFigures[0].wakeups, headless.rssKb,
                  everyMinute.cpu * 100, everyMinute.wakeups, perFrame(everyMinute, quietFigures[2]),
                  quietFigures[2].wakeups, windowed.cpu * 100, quietFigures[1].cpu * 100, windowed.wakeups,
                  perFrame(windowed, quietFigures[1]), quietFigures[1].wakeups, windowed.rssKb,
                  reference.cpu * 100, reference.wakeups, reference.rssKb,
                  double(headless.rssKb) / double(windowed.rssKb), double(headless.rssKb) / double(reference.rssKb));
    CLatencySamples::AddSummary(text);
    const CostFigures& quietFloor = quietFigures[kFloor];
    std::snprintf(text, sizeof text,
                  "recording floor (km302_recorderfloor: the line read once a frame, both logs a record a second, "
                  "each on disk), measured as the headless run: %.3f%% of a core (quiet %.3f%%), %.1f wakeups/s in "
                  "all, %.1f a frame, %.1f/s beyond the frames, %ld kB resident; km302 --headless against it: "
                  "processor ratio to floor: %s (quiet: %s), wakeups %s, resident memory %s; windowed km302: "
                  "processor %s, memory %s",
                  floor.cpu * 100, quietFloor.cpu * 100, floor.wakeups, perFrame(floor, quietFloor),
                  quietFloor.wakeups, floor.rssKb, Ratio(headless.cpu, floor.cpu).c_str(),
                  Ratio(quietFigures[0].cpu, quietFloor.cpu).c_str(), Ratio(headless.wakeups, floor.wakeups).c_str(),
                  Ratio(double(headless.rssKb), double(floor.rssKb)).c_str(), Ratio(windowed.cpu, floor.cpu).c_str(),
                  Ratio(double(windowed.rssKb), double(floor.rssKb)).c_str());
    CLatencySamples::AddSummary(text);
}

// Nanoseconds (CLOCK_MONOTONIC) when `name` in the watched folder is closed
// after writing; nothing within 20 s.
std::optional<long long> WaitClosed(int inotify, const QString& name)
{
    const QByteArray wanted = name.toLocal8Bit();
    const auto end = std::chrono::steady_clock::now() + 20s;
    alignas(inotify_event) char buffer[4096];
    while (std::chrono::steady_clock::now() < end) {
        pollfd ready{inotify, POLLIN, 0};
        if (::poll(&ready, 1, 200) <= 0)
            continue;
        const long long now = CLatencySamples::NowNs();
        const ssize_t n = ::read(inotify, buffer, sizeof buffer);
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0 && wanted == event->name)
                return now;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    return std::nullopt;
}

// Milliseconds from the fork to the picture's close, and a copy of the
// picture; which: 0 km302, 1 the empty dialog, 2 the same-look window.
std::optional<double> TimeFirstPicture(int which, QImage* picture)
{
    QTemporaryDir shots;
    const int inotify = inotify_init1(IN_CLOEXEC);
    if (!shots.isValid() || inotify < 0
        || inotify_add_watch(inotify, shots.path().toLocal8Bit().constData(), IN_CLOSE_WRITE) < 0) {
        if (inotify >= 0)
            ::close(inotify);
        return std::nullopt;
    }
    const QString shot = shots.filePath(QStringLiteral("first.png"));
    CProgramOnPty run;
    CProgramProcess other;
    const bool started = which == 0
        ? run.Start({"KM302_SCREENSHOT=" + shot.toStdString(), "KM302_SCREENSHOT_AFTER=0"})
        : other.Start(which == 1 ? kEmptyDialog : kSameLook, {shot.toStdString()}, {});
    const std::optional<long long> closed =
        started ? WaitClosed(inotify, QStringLiteral("first.png")) : std::nullopt;
    ::close(inotify);
    if (!closed)
        return std::nullopt;
    picture->load(shot);
    return double(*closed - (which == 0 ? run.Program() : other).StartNs()) / 1e6;
}

// Median milliseconds to encode `picture` as PNG and write it, as the grab does.
double PngMs(const QImage& picture)
{
    QTemporaryDir dir;
    CLatencySamples ms;
    for (int i = 0; i < 10; ++i) {
        const long long start = CLatencySamples::NowNs();
        picture.save(dir.filePath(QStringLiteral("copy%1.png").arg(i)), "PNG");
        ms.Add(double(CLatencySamples::NowNs() - start) / 1e6);
    }
    return ms.Percentile(0.5);
}

void BM_StartupToFirstPicture(benchmark::State& state)
{
    // km302, the empty dialog, the same-look window, interleaved run by run.
    const char* const names[3] = {"km302", "the empty dialog", "the same-look window"};
    CLatencySamples ms[3];
    QImage pictures[3];
    for (auto _ : state) {
        for (int run = 0; run < kStartupRuns; ++run) {
            for (int i = 0; i < 3; ++i) {
                const std::optional<double> startup = TimeFirstPicture(i, &pictures[i]);
                if (!startup) {
                    state.SkipWithError((std::string(names[i]) + " saved no picture within 20 s").c_str());
                    return;
                }
                ms[i].Add(*startup);
            }
        }
        state.SetIterationTime(ms[0].Percentile(0.5) / 1e3);
    }
    const double png[3] = {PngMs(pictures[0]), PngMs(pictures[1]), PngMs(pictures[2])};
    state.counters["median_ms"] = ms[0].Percentile(0.5);
    state.counters["min_ms"] = ms[0].Percentile(0);
    state.counters["max_ms"] = ms[0].Max();
    state.counters["png_ms"] = png[0];
    state.counters["empty_median_ms"] = ms[1].Percentile(0.5);
    state.counters["floor_median_ms"] = ms[2].Percentile(0.5);
    state.counters["ratio_to_floor"] = ms[0].Percentile(0.5) / ms[2].Percentile(0.5);
    char text[720];
    std::snprintf(text, sizeof text,
                  "start-up, fork -> first picture of the window closed (one full paint + PNG), %d runs each: "
                  "km302 median %.1f ms, min %.1f, max %.1f (its %dx%d PNG alone: %.1f ms); floor (a window that "
                  "looks like km302's) median %.1f ms, min %.1f, max %.1f (its %dx%d PNG alone: %.1f ms); empty "
                  "Qt dialog median %.1f ms, min %.1f, max %.1f (its PNG alone: %.1f ms); km302's median: ratio to "
                  "floor: %s, to the empty dialog %s",
                  kStartupRuns, ms[0].Percentile(0.5), ms[0].Percentile(0), ms[0].Max(), pictures[0].width(),
                  pictures[0].height(), png[0], ms[2].Percentile(0.5), ms[2].Percentile(0), ms[2].Max(),
                  pictures[2].width(), pictures[2].height(), png[2], ms[1].Percentile(0.5), ms[1].Percentile(0),
                  ms[1].Max(), png[1], Ratio(ms[0].Percentile(0.5), ms[2].Percentile(0.5)).c_str(),
                  Ratio(ms[0].Percentile(0.5), ms[1].Percentile(0.5)).c_str());
    CLatencySamples::AddSummary(text);
}

std::string LoadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toStdString() : "unknown";
}

} // namespace

// Argument 0: the windowed program; 1: km302 --headless; 2: the floor.
BENCHMARK(BM_LatencyAtLineRate)->Arg(0)->Arg(1)->Arg(2)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Flood)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleCost)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LineRateCost)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartupToFirstPicture)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (!CSessionBus::EnsurePrivate(argc, argv, kBench))
        return 0;
    // The children inherit the platform and a runtime folder, which Qt
    // wants and a bare session may lack.
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid())
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    for (const std::string& program : {kProgram, kEmptyDialog, kSameLook, kAdviseFloor, kRecorderFloor}) {
        if (!QFileInfo(QString::fromStdString(program)).isExecutable()) {
            std::printf("%s skipped: %s is not built\n", kBench, program.c_str());
            return 0;
        }
    }
    if (!CSessionBus::ServiceFree(CBusClient::kService, kBench))
        return 0;
    const std::string loadBefore = LoadAverage();
    benchmark::RunSpecifiedBenchmarks();
    AddLatencyRatios();
    CLatencySamples::PrintSummary();
    std::printf("load average (/proc/loadavg) before: %s, after: %s\n", loadBefore.c_str(), LoadAverage().c_str());
    benchmark::Shutdown();
    return 0;
}
