// What publishing to MQTT costs `km302 --headless`, against Debian's
// mosquitto on a free port of 127.0.0.1 with a configuration of its own
// (CMosquittoBroker). Each headless instance runs as the user runs it:
// `km302 --headless --config NAME` with no display variables, its settings
// in $XDG_CONFIG_HOME/KM302/NAME.ini ([MQTT] HOST and PORT name the broker,
// COM40 its line) and its spool in $XDG_STATE_HOME/km302/NAME.spool, both in
// a folder of the benchmark's. A subscriber in the benchmark process
// (libmosquitto on a thread of its own, QoS 1) counts what reaches the broker.
//
//   BM_FloodPublishing  frames back to back on a pseudo-terminal that the
//       benchmark writes (the writer waits while the kernel's queue is full,
//       so the rate is the program's own), 10 s a round, then 2 s for the
//       queue and the broker connection to drain; rounds without and with
//       publishing take turns, two of each. Processor time (utime + stime,
//       every thread) per frame written, publishing against not; the state
//       messages that reached the subscriber.
//   BM_LineRatePublishing  km302-sim at its default pace (a frame a second)
//       on each of two instances, side by side over the same window, logs
//       off, FILE_INTERVAL=60: one publishing, one not. Processor share of
//       one core (the threads' schedstat), wakeups and resident memory over
//       KM302_BENCH_MQTT_LINE_SECONDS (default 60).
//   BM_FiftyInstances  fifty km302-sim (serial numbers 1001..1050, each its
//       own pseudo-terminal and link) and fifty headless instances
//       (km302-01..km302-50), the text log on with FILE_INTERVAL=10, one
//       broker, the subscriber on km302/+/record, over
//       KM302_BENCH_MQTT_FLEET_SECONDS (default 300). Every record in an
//       instance's text log is one tick of its recording timer, and each tick
//       also publishes that record: each logged record must come to the
//       subscriber (matched by its time, to the second of the log, within
//       2 s), waited for at most 30 s after the window. A record that QoS 1
//       delivered twice has the same time: it counts once as received and
//       once as a duplicate. Processor share and resident memory per
//       instance (mean, max) and the broker's.
//
// Every child dies with the benchmark (parent-death signal) and is killed
// and collected when its object goes, on any path out of a benchmark.

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <mosquitto.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "framelog.h"
#include "latencysamples.h"
#include "programprocess.h"
#include "sessionbus.h"
#include "tests/kit/childprocess.h"
#include "tests/kit/mosquittobroker.h"
#include "tests/kit/ptypair.h"

namespace {

using namespace std::chrono_literals;

const char* const kBench = "km302_bench_mqtt";
const std::string kProgram = KM302_PROGRAM_PATH;
const std::string kSimulator = KM302_SIM_PATH;

int SecondsFrom(const char* variable, int fallback)
{
    const char* text = std::getenv(variable);
    const int seconds = text ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : fallback;
}

// The messages that reach a subscriber: state messages counted, records
// kept by instrument with the time each carries.
class CMqttCounter {
public:
    CMqttCounter() : m_mosq(mosquitto_new("km302-bench-counter", true, this))
    {
        mosquitto_connect_callback_set(m_mosq, [](mosquitto* mosq, void*, int rc) {
            if (rc == 0)
                mosquitto_subscribe(mosq, nullptr, "km302/#", 1);
        });
        mosquitto_subscribe_callback_set(m_mosq, [](mosquitto*, void* self, int, int, const int*) {
            static_cast<CMqttCounter*>(self)->m_bSubscribed = true;
        });
        mosquitto_message_callback_set(m_mosq, [](mosquitto*, void* self, const mosquitto_message* message) {
            static_cast<CMqttCounter*>(self)->OnMessage(message);
        });
    }
    ~CMqttCounter()
    {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, true);
        mosquitto_destroy(m_mosq);
    }
    CMqttCounter(const CMqttCounter&) = delete;
    CMqttCounter& operator=(const CMqttCounter&) = delete;

    // True once subscribed to km302/# on the broker at `port` (10 s at most).
    bool Start(int port)
    {
        if (mosquitto_connect(m_mosq, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS
            || mosquitto_loop_start(m_mosq) != MOSQ_ERR_SUCCESS)
            return false;
        for (int i = 0; i < 1000 && !m_bSubscribed; ++i)
            std::this_thread::sleep_for(10ms);
        return m_bSubscribed;
    }

    struct Records {
        long long received = 0;               // with duplicates
        std::set<long long> times;            // distinct, ms since the epoch
    };
    long long States() const { return m_nStates; }
    Records RecordsOf(int serial)
    {
        std::lock_guard lock(m_lock);
        return m_records[serial];
    }

private:
    void OnMessage(const mosquitto_message* message)
    {
        const QStringList parts = QString::fromUtf8(message->topic).split(QLatin1Char('/'));
        if (parts.size() != 3)
            return;
        if (parts[2] == QLatin1String("state")) {
            ++m_nStates;
        } else if (parts[2] == QLatin1String("record")) {
            const QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
            const QDateTime time = QDateTime::fromString(
                QJsonDocument::fromJson(payload).object().value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
            std::lock_guard lock(m_lock);
            Records& records = m_records[parts[1].toInt()];
            ++records.received;
            if (time.isValid())
                records.times.insert(time.toMSecsSinceEpoch());
        }
    }

    mosquitto* m_mosq;
    std::atomic<bool> m_bSubscribed{false};
    std::atomic<long long> m_nStates{0};
    std::mutex m_lock;
    std::map<int, Records> m_records;
};

// One `km302 --headless --config NAME` whose settings and spool live in
// `home`; SIGTERM ends it when the object goes.
class CHeadlessInstance {
public:
    struct Options {
        QString name;
        QString port;            // the line, COM40
        int brokerPort = 0;      // 0: not publishing
        int interval = 60;       // FILE_INTERVAL
        QString textLog;         // empty: the logs off
    };

    ~CHeadlessInstance()
    {
        m_process.Signal(SIGTERM);
        m_process.WaitExit(10000);
    }

    bool Start(const QString& home, const Options& options)
    {
        QByteArray text = "[GENERAL]\r\nPORT_NR=40\r\nSHOW_ADV=0\r\n[LOG]\r\nFILE_LOG="
            + QByteArray(options.textLog.isEmpty() ? "0" : "1") + "\r\nFILE_LOG_BIN=0\r\nFILE_NAME="
            + options.textLog.toLocal8Bit() + "\r\nFILE_INTERVAL=" + QByteArray::number(options.interval) + "\r\n";
        if (options.brokerPort > 0)
            text += "[MQTT]\r\nHOST=127.0.0.1\r\nPORT=" + QByteArray::number(options.brokerPort) + "\r\n";
        text += "[PORTS]\r\nCOM40=" + options.port.toLocal8Bit() + "\r\n";
        QFile settings(home + QStringLiteral("/KM302/") + options.name + QStringLiteral(".ini"));
        if (!QDir().mkpath(home + QStringLiteral("/KM302")) || !settings.open(QIODevice::WriteOnly)
            || settings.write(text) != text.size())
            return false;
        settings.close();
        // env(1) drops the display variables and becomes km302, in the same process.
        return m_process.Start("/usr/bin/env",
                               {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", kProgram,
                                "--headless", "--config", options.name.toStdString()},
                               {"XDG_CONFIG_HOME=" + home.toStdString(), "XDG_STATE_HOME=" + home.toStdString()});
    }

    CProgramProcess& Process() { return m_process; }

private:
    CProgramProcess m_process;
};

// km302-sim at its default pace, keeping a link to its line at `link`.
class CSimulator {
public:
    ~CSimulator()
    {
        m_process.Signal(SIGTERM);
        m_process.WaitExit(5000);
    }

    // True once the link is there (5 s at most).
    bool Start(const QString& link, int serial)
    {
        const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        const bool started = m_process.Start(kSimulator, {"--link", link.toStdString(), "--serial", std::to_string(serial)},
                                             {}, devNull, CChildProcess::kInherit);
        ::close(devNull);
        for (int i = 0; started && i < 500; ++i) {
            if (QFileInfo(link).isSymLink())
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    const CChildProcess& Process() const { return m_process; }

private:
    CChildProcess m_process;
};

// A program's processor time (schedstat of its threads) and context switches at one moment.
struct CostSample {
    std::optional<double> cpu;
    std::optional<long long> switches;
    explicit CostSample(const CProcStats& stats) : cpu(stats.ThreadCpuSeconds()), switches(stats.ContextSwitches()) {}
};

// Share of one core, wakeups per second and resident memory from `before` to now.
struct Cost {
    double cpu = 0;
    double wakeups = 0;
    long rssKb = 0;
};

std::optional<Cost> CostSince(const CostSample& before, const CProcStats& stats, double seconds)
{
    const CostSample after(stats);
    const std::optional<long> kb = stats.ResidentKb();
    if (!before.cpu || !before.switches || !after.cpu || !after.switches || !kb)
        return std::nullopt;
    return Cost{(*after.cpu - *before.cpu) / seconds, double(*after.switches - *before.switches) / seconds, *kb};
}

double SecondsSince(long long startNs)
{
    return double(CLatencySamples::NowNs() - startNs) / 1e9;
}

void BM_FloodPublishing(benchmark::State& state)
{
    constexpr auto kFlood = 10s;
    constexpr int kRounds = 4;
    QTemporaryDir home;
    CMosquittoBroker broker;
    CMqttCounter subscriber;
    if (!home.isValid() || !broker.Start() || !subscriber.Start(broker.Port())) {
        state.SkipWithError("mosquitto or the subscriber did not start");
        return;
    }
    // Not publishing, publishing.
    double cpu[2] = {0, 0};
    long long frames[2] = {0, 0};
    double seconds[2] = {0, 0};
    long long states = 0;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            const int publishing = round % 2;
            CPtyPair pty;
            CHeadlessInstance km302;
            if (!pty.Ok()
                || !km302.Start(home.path(), {QStringLiteral("flood%1").arg(round), pty.SlavePath(),
                                              publishing ? broker.Port() : 0, 60, QString()})) {
                state.SkipWithError("km302 did not start");
                return;
            }
            // The port open and the broker connected.
            std::this_thread::sleep_for(2s);
            const std::optional<double> cpuBefore = km302.Process().Stats().CpuSeconds();
            const long long statesBefore = subscriber.States();
            std::atomic<bool> stop{false};
            std::atomic<bool> failed{false};
            long long written = 0;
            const long long startNs = CLatencySamples::NowNs();
            std::thread writer([&] {
                for (long long k = 0; !stop; ++k, ++written) {
                    if (!pty.Write(CFrameLog::FrameFor(k))) {
                        failed = true;
                        return;
                    }
                }
            });
            std::this_thread::sleep_for(kFlood);
            stop = true;
            writer.join();
            seconds[publishing] += SecondsSince(startNs);
            std::this_thread::sleep_for(2s);
            const std::optional<double> cpuAfter = km302.Process().Stats().CpuSeconds();
            if (failed || !cpuBefore || !cpuAfter) {
                state.SkipWithError("km302 stopped reading the line or ended");
                return;
            }
            cpu[publishing] += *cpuAfter - *cpuBefore;
            frames[publishing] += written;
            if (publishing)
                states += subscriber.States() - statesBefore;
        }
        state.SetIterationTime(seconds[0] + seconds[1]);
    }
    const double usOff = frames[0] > 0 ? cpu[0] * 1e6 / double(frames[0]) : 0;
    const double usOn = frames[1] > 0 ? cpu[1] * 1e6 / double(frames[1]) : 0;
    state.counters["off_us_per_frame"] = usOff;
    state.counters["on_us_per_frame"] = usOn;
    state.counters["ratio"] = usOff > 0 ? usOn / usOff : 0;
    state.counters["on_frames_per_s"] = double(frames[1]) / seconds[1];
    char text[640];
    std::snprintf(text, sizeof text,
                  "km302 --headless in flood, %d rounds of 10 s each way, taking turns: without publishing %lld "
                  "frames (%.0f frames/s), %.2f s of processor, %.1f us a frame; publishing to mosquitto %lld frames "
                  "(%.0f frames/s), %.2f s of processor, %.1f us a frame, %lld state messages at the subscriber; "
                  "publishing / not: %.2f x",
                  kRounds / 2, frames[0], double(frames[0]) / seconds[0], cpu[0], usOff, frames[1],
                  double(frames[1]) / seconds[1], cpu[1], usOn, states, usOff > 0 ? usOn / usOff : 0.0);
    CLatencySamples::AddSummary(text);
}

void BM_LineRatePublishing(benchmark::State& state)
{
    const int window = SecondsFrom("KM302_BENCH_MQTT_LINE_SECONDS", 60);
    QTemporaryDir home;
    CMosquittoBroker broker;
    CMqttCounter subscriber;
    if (!home.isValid() || !broker.Start() || !subscriber.Start(broker.Port())) {
        state.SkipWithError("mosquitto or the subscriber did not start");
        return;
    }
    CSimulator simulators[2];
    CHeadlessInstance instances[2];
    // Not publishing, publishing.
    for (int i = 0; i < 2; ++i) {
        const QString link = home.filePath(QStringLiteral("line%1").arg(i));
        if (!simulators[i].Start(link, 2001 + i)
            || !instances[i].Start(home.path(), {QStringLiteral("line%1").arg(i), link, i ? broker.Port() : 0, 60,
                                                 QString()})) {
            state.SkipWithError("km302-sim or km302 did not start");
            return;
        }
    }
    Cost costs[2];
    long long states = 0;
    double seconds = 0;
    for (auto _ : state) {
        // The port open, the first frame, the broker connected.
        std::this_thread::sleep_for(5s);
        const CostSample before[2] = {CostSample(instances[0].Process().Stats()),
                                      CostSample(instances[1].Process().Stats())};
        const long long statesBefore = subscriber.States();
        const long long startNs = CLatencySamples::NowNs();
        std::this_thread::sleep_for(std::chrono::seconds(window));
        seconds = SecondsSince(startNs);
        states = subscriber.States() - statesBefore;
        for (int i = 0; i < 2; ++i) {
            const std::optional<Cost> cost = CostSince(before[i], instances[i].Process().Stats(), seconds);
            if (!cost) {
                state.SkipWithError("km302 ended while it was measured");
                return;
            }
            costs[i] = *cost;
        }
        state.SetIterationTime(seconds);
    }
    const CMqttCounter::Records records = subscriber.RecordsOf(2002);
    state.counters["on_cpu_pct"] = costs[1].cpu * 100;
    state.counters["off_cpu_pct"] = costs[0].cpu * 100;
    state.counters["on_rss_kb"] = double(costs[1].rssKb);
    state.counters["off_rss_kb"] = double(costs[0].rssKb);
    char text[640];
    std::snprintf(text, sizeof text,
                  "km302 --headless at the simulator's pace (a frame a second), FILE_INTERVAL=60, logs off, side by "
                  "side over %.0f s: publishing %.3f%% of a core, %.1f wakeups/s, %ld kB resident (%lld state "
                  "messages and %lld records at the subscriber); not publishing %.3f%% of a core, %.1f wakeups/s, "
                  "%ld kB resident",
                  seconds, costs[1].cpu * 100, costs[1].wakeups, costs[1].rssKb, states, records.received,
                  costs[0].cpu * 100, costs[0].wakeups, costs[0].rssKb);
    CLatencySamples::AddSummary(text);
}

// The times of the records of a text log, in ms since the epoch (local time, to the second).
std::vector<long long> LoggedTimes(const QString& path)
{
    static const QRegularExpression record(QStringLiteral("^(\\d{4}\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d)\\t[^\\r]+\\r$"),
                                           QRegularExpression::MultilineOption);
    QFile file(path);
    std::vector<long long> times;
    if (!file.open(QIODevice::ReadOnly))
        return times;
    for (auto it = record.globalMatch(QString::fromLatin1(file.readAll())); it.hasNext();) {
        const QDateTime time = QDateTime::fromString(it.next().captured(1), QStringLiteral("yyyy.MM.dd hh:mm:ss"));
        if (time.isValid())
            times.push_back(time.toMSecsSinceEpoch());
    }
    return times;
}

// The logged records that have a received one taken within 2 s after the
// logged second (the log's time is cut to the second, the message's is not).
long long Matched(const std::vector<long long>& logged, const std::set<long long>& received)
{
    long long matched = 0;
    for (const long long time : logged) {
        const auto it = received.lower_bound(time);
        if (it != received.end() && *it < time + 2000)
            ++matched;
    }
    return matched;
}

struct Spread {
    double mean = 0;
    double max = 0;
    void Add(double value, int count)
    {
        mean += value / count;
        max = std::max(max, value);
    }
};

void BM_FiftyInstances(benchmark::State& state)
{
    constexpr int kInstances = 50;
    constexpr int kInterval = 10;
    const int window = SecondsFrom("KM302_BENCH_MQTT_FLEET_SECONDS", 300);
    QTemporaryDir home;
    CMosquittoBroker broker;
    CMqttCounter subscriber;
    if (!home.isValid() || !QDir().mkpath(home.filePath(QStringLiteral("logs"))) || !broker.Start()
        || !subscriber.Start(broker.Port())) {
        state.SkipWithError("mosquitto or the subscriber did not start");
        return;
    }
    std::vector<std::unique_ptr<CSimulator>> simulators;
    std::vector<std::unique_ptr<CHeadlessInstance>> instances;
    std::vector<QString> logs;
    for (int i = 0; i < kInstances; ++i) {
        const QString name = QStringLiteral("km302-%1").arg(i + 1, 2, 10, QLatin1Char('0'));
        const QString link = home.filePath(QStringLiteral("line-") + name);
        logs.push_back(home.filePath(QStringLiteral("logs/") + name + QStringLiteral(".txt")));
        simulators.push_back(std::make_unique<CSimulator>());
        instances.push_back(std::make_unique<CHeadlessInstance>());
        if (!simulators.back()->Start(link, 1001 + i)
            || !instances.back()->Start(home.path(), {name, link, broker.Port(), kInterval, logs.back()})) {
            state.SkipWithError("a km302-sim or km302 did not start");
            return;
        }
    }
    Spread cpu;
    Spread rss;
    Cost brokerCost;
    double simulatorsCpu = 0;
    double seconds = 0;
    long long logged = 0;
    long long matched = 0;
    long long received = 0;
    long long distinct = 0;
    int short_ = 0;
    for (auto _ : state) {
        // Every port open, every first frame, every connection made.
        std::this_thread::sleep_for(10s);
        std::vector<CostSample> before;
        for (const auto& instance : instances)
            before.emplace_back(instance->Process().Stats());
        const CostSample brokerBefore(broker.Stats());
        double simulatorsBefore = 0;
        for (const auto& simulator : simulators)
            simulatorsBefore += simulator->Process().Stats().ThreadCpuSeconds().value_or(0);
        const long long startNs = CLatencySamples::NowNs();
        std::this_thread::sleep_for(std::chrono::seconds(window));
        seconds = SecondsSince(startNs);
        for (int i = 0; i < kInstances; ++i) {
            const std::optional<Cost> cost = CostSince(before[std::size_t(i)], instances[std::size_t(i)]->Process().Stats(), seconds);
            if (!cost) {
                state.SkipWithError("a km302 ended while it was measured");
                return;
            }
            cpu.Add(cost->cpu * 100, kInstances);
            rss.Add(double(cost->rssKb) / 1024, kInstances);
        }
        for (const auto& simulator : simulators)
            simulatorsCpu += simulator->Process().Stats().ThreadCpuSeconds().value_or(0);
        simulatorsCpu = (simulatorsCpu - simulatorsBefore) / seconds;
        const std::optional<Cost> b = CostSince(brokerBefore, broker.Stats(), seconds);
        if (!b) {
            state.SkipWithError("mosquitto ended while it was measured");
            return;
        }
        brokerCost = *b;
        // Every record logged so far must come; the instances go on meanwhile.
        std::vector<std::vector<long long>> loggedTimes;
        for (const QString& log : logs)
            loggedTimes.push_back(LoggedTimes(log));
        const auto end = std::chrono::steady_clock::now() + 30s;
        do {
            std::this_thread::sleep_for(500ms);
            logged = matched = received = distinct = 0;
            short_ = 0;
            for (int i = 0; i < kInstances; ++i) {
                const CMqttCounter::Records records = subscriber.RecordsOf(1001 + i);
                const long long m = Matched(loggedTimes[std::size_t(i)], records.times);
                logged += (long long)loggedTimes[std::size_t(i)].size();
                matched += m;
                received += records.received;
                distinct += (long long)records.times.size();
                short_ += m < (long long)loggedTimes[std::size_t(i)].size();
            }
        } while (matched < logged && std::chrono::steady_clock::now() < end);
        state.SetIterationTime(seconds);
    }
    state.counters["records_logged"] = double(logged);
    state.counters["records_missing"] = double(logged - matched);
    state.counters["duplicates"] = double(received - distinct);
    state.counters["km302_cpu_pct_mean"] = cpu.mean;
    state.counters["km302_cpu_pct_max"] = cpu.max;
    state.counters["km302_rss_mb_mean"] = rss.mean;
    state.counters["km302_rss_mb_max"] = rss.max;
    state.counters["broker_cpu_pct"] = brokerCost.cpu * 100;
    state.counters["broker_rss_kb"] = double(brokerCost.rssKb);
    char text[1024];
    std::snprintf(text, sizeof text,
                  "fifty instruments: %d km302-sim (a frame a second each) and %d km302 --headless --config NAME "
                  "(text log on, FILE_INTERVAL=%d), one mosquitto, one subscriber, measured over %.0f s: %lld records "
                  "in the logs since the start, %lld of them received, %lld missing (%d instances short); %lld record messages received, "
                  "%lld distinct, %lld duplicates (QoS 1 again, same time); per instance %.3f%% of a core mean, "
                  "%.3f%% max, %.1f MB resident mean, %.1f MB max; mosquitto %.3f%% of a core, %.1f wakeups/s, "
                  "%.1f MB resident; the %d simulators together %.3f%% of a core",
                  kInstances, kInstances, kInterval, seconds, logged, matched, logged - matched, short_, received,
                  distinct, received - distinct, cpu.mean, cpu.max, rss.mean, rss.max, brokerCost.cpu * 100,
                  brokerCost.wakeups, double(brokerCost.rssKb) / 1024, kInstances, simulatorsCpu * 100);
    CLatencySamples::AddSummary(text);
}

std::string LoadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toStdString() : "unknown";
}

} // namespace

BENCHMARK(BM_FloodPublishing)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_LineRatePublishing)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_FiftyInstances)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

int main(int argc, char** argv)
{
    // The instances' D-Bus services go on a bus of the benchmark's own.
    if (!CSessionBus::EnsurePrivate(argc, argv, kBench))
        return 0;
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    for (const std::string& program : {kProgram, kSimulator, std::string("/usr/sbin/mosquitto")}) {
        if (!QFileInfo(QString::fromStdString(program)).isExecutable()) {
            std::printf("%s skipped: %s is not there\n", kBench, program.c_str());
            return 0;
        }
    }
    mosquitto_lib_init();
    const std::string loadBefore = LoadAverage();
    benchmark::RunSpecifiedBenchmarks();
    CLatencySamples::PrintSummary();
    std::printf("load average (/proc/loadavg) before: %s, after: %s\n", loadBefore.c_str(), LoadAverage().c_str());
    benchmark::Shutdown();
    mosquitto_lib_cleanup();
    return 0;
}
