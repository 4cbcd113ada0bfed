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
// so the text of an advise tells which frame caused it. Without
// DBUS_SESSION_BUS_ADDRESS the benchmark re-runs itself inside
// dbus-run-session, or says why it cannot and does nothing.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <optional>
#include <pty.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "device/portmap.h"
#include "platform/qtservices.h"
#include "tools/frameencoder.h"
#include "ui/maindialog.h"
#include "ui/portdialog.h"

namespace {

using namespace std::chrono_literals;

constexpr int kPortNr = 200;
constexpr int kSerialNumber = 1234;
constexpr long long kLowestHpa = 1000;
constexpr long long kValues = 5000;            // frame values 1000..5999 hPa
constexpr std::size_t kSlots = std::size_t(1) << 18;
const QString kService = QStringLiteral("pl.km302.KM302");
const QString kPath = QStringLiteral("/pl/km302/KM302");
const QString kInterface = QStringLiteral("pl.km302.KM302.Dde");
const QString kTopic = QStringLiteral("Ciśnienie#1234");
const QString kItem = QStringLiteral("Wynik");

std::vector<std::string> g_summary;

long long MonotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

double Percentile(const std::vector<double>& sorted, double p)
{
    const std::size_t rank = std::size_t(std::ceil(p * double(sorted.size())));
    return sorted[std::min(sorted.size() - 1, rank == 0 ? 0 : rank - 1)];
}

// The pseudo-terminal: the benchmark writes the master side as the
// instrument would; the main window opens the slave path as COM200. The slave
// stays open here too, so the line never hangs up.
class CPty {
public:
    CPty()
    {
        char name[256] = {};
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
            m_master = m_slave = -1;
            return;
        }
        termios tio{};
        tcgetattr(m_slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(m_slave, TCSANOW, &tio);
        fcntl(m_master, F_SETFD, FD_CLOEXEC);
        fcntl(m_slave, F_SETFD, FD_CLOEXEC);
        m_slavePath = QString::fromLocal8Bit(name);
    }
    ~CPty()
    {
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }
    CPty(const CPty&) = delete;
    CPty& operator=(const CPty&) = delete;

    bool Ok() const { return m_master >= 0; }
    QString SlavePath() const { return m_slavePath; }

    // Blocks while the line's queue is full, as a flooding far end does.
    void Write(const char* bytes, std::size_t size)
    {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(m_master, bytes + done, size - done);
            if (n <= 0)
                return;
            done += std::size_t(n);
        }
    }
    void Write(const std::string& bytes) { Write(bytes.data(), bytes.size()); }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

CPty* g_pPty = nullptr;

// Frame numbers, when each frame's carriage return was written and when its
// advise arrived. The writer and the advise client run on different threads.
class CFrameLog {
public:
    CFrameLog() : m_sent(kSlots), m_received(kSlots) {}

    long long NextFrame()
    {
        const long long k = m_next.fetch_add(1);
        m_received[Slot(k)].store(0);
        return k;
    }
    long long FramesStarted() const { return m_next.load(); }

    void Sent(long long k, long long ns) { m_sent[Slot(k)].store(ns); }
    void Received(long long k, long long ns)
    {
        m_received[Slot(k)].store(ns);
        {
            std::lock_guard lock(m_lock);
            m_lastReceived = std::max(m_lastReceived, k);
        }
        m_arrived.notify_all();
    }
    long long LastReceived()
    {
        std::lock_guard lock(m_lock);
        return m_lastReceived;
    }
    bool WaitReceived(long long k, std::chrono::milliseconds limit)
    {
        std::unique_lock lock(m_lock);
        return m_arrived.wait_for(lock, limit, [&] { return m_lastReceived >= k; });
    }
    // Microseconds from the carriage return to the advise; nothing when
    // frame k's advise never came. A flooding writer stamps after its write
    // returns and may be preempted before it does: such an advise counts as 0.
    std::optional<double> LatencyUs(long long k) const
    {
        const long long received = m_received[Slot(k)].load();
        if (received == 0)
            return std::nullopt;
        return double(std::max(0LL, received - m_sent[Slot(k)].load())) / 1e3;
    }

private:
    static std::size_t Slot(long long k) { return std::size_t(k) & (kSlots - 1); }

    std::atomic<long long> m_next{0};
    std::vector<std::atomic<long long>> m_sent;
    std::vector<std::atomic<long long>> m_received;
    std::mutex m_lock;
    std::condition_variable m_arrived;
    long long m_lastReceived = -1;
};

CFrameLog g_log;

std::string FrameFor(long long k)
{
    return CFrameEncoder::Encode(FrameContent{kSerialNumber, int((kLowestHpa + k % kValues) * 10)});
}

// One frame as the line delivers it: the carriage return alone, after the rest.
long long WritePacedFrame()
{
    const long long k = g_log.NextFrame();
    const std::string frame = FrameFor(k);
    g_pPty->Write(frame.data(), frame.size() - 1);
    std::this_thread::sleep_for(5ms);
    g_log.Sent(k, MonotonicNs());
    g_pPty->Write(frame.data() + frame.size() - 1, 1);
    return k;
}

// Frame residue of an item text: "%.1f" of the value less 0.05, so the
// nearest whole hectopascal is the frame's value.
long long ResidueOf(const QString& text, bool* ok)
{
    const double value = text.toDouble(ok);
    return ((std::llround(value) - kLowestHpa) % kValues + kValues) % kValues;
}

// Lives on the advise client's thread; matches each advise to its frame.
// Advises come in frame order; one whose frame is the last matched (the
// answer to AdviseStart, a no-communication refresh) is no new frame.
class CAdviseReceiver : public QObject {
    Q_OBJECT
public:
    explicit CAdviseReceiver(long long lastFrame) : m_nLastFrame(lastFrame) {}

public Q_SLOTS:
    void Advise(const QString& topic, const QString& item, const QString& text)
    {
        const long long now = MonotonicNs();
        bool ok = false;
        const long long residue = ResidueOf(text, &ok);
        if (!ok || topic.compare(kTopic, Qt::CaseInsensitive) != 0
            || item.compare(kItem, Qt::CaseInsensitive) != 0)
            return;
        const long long step = (residue - m_nLastFrame % kValues + kValues) % kValues;
        if (step == 0)
            return;
        m_nLastFrame += step;
        g_log.Received(m_nLastFrame, now);
    }

private:
    long long m_nLastFrame;
};

QDBusMessage Call(QDBusConnection& connection, const QString& method, const QString& item)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message << kTopic << item;
    return connection.call(message, QDBus::Block, 5000);
}

// The spreadsheet: a thread with its own bus connection and event loop that
// holds a hot link on "Wynik" while it runs.
class CAdviseClient : public QThread {
public:
    // lastFrame: the frame the window shows when the link starts.
    explicit CAdviseClient(long long lastFrame) : m_nLastFrame(lastFrame) {}
    ~CAdviseClient() override { Stop(); }
    CAdviseClient(const CAdviseClient&) = delete;
    CAdviseClient& operator=(const CAdviseClient&) = delete;

    // Starts the thread; true once the link holds.
    bool Begin()
    {
        std::future<bool> linked = m_linked.get_future();
        start();
        return linked.wait_for(15s) == std::future_status::ready && linked.get();
    }
    void Stop()
    {
        quit();
        wait();
    }

protected:
    void run() override
    {
        static std::atomic<int> count{0};
        const QString name = QStringLiteral("km302-bench-advise-%1").arg(++count);
        {
            QDBusConnection connection = QDBusConnection::connectToBus(
                qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), name);
            CAdviseReceiver receiver(m_nLastFrame);
            const bool linked = connection.isConnected() && ShowsLastFrame(connection)
                && connection.connect(QString(), kPath, kInterface, QStringLiteral("Advise"), &receiver,
                                      SLOT(Advise(QString, QString, QString)))
                && Call(connection, QStringLiteral("AdviseStart"), kItem).arguments().value(0).toBool();
            m_linked.set_value(linked);
            if (linked)
                exec();
        }
        QDBusConnection::disconnectFromBus(name);
    }

private:
    // The service exists and serves the last frame's value: the link's first
    // advise then repeats a known frame.
    bool ShowsLastFrame(QDBusConnection& connection) const
    {
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < end) {
            const QDBusMessage reply = Call(connection, QStringLiteral("Request"), kItem);
            bool ok = false;
            if (reply.type() == QDBusMessage::ReplyMessage
                && ResidueOf(reply.arguments().value(0).toString(), &ok) == m_nLastFrame % kValues && ok)
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    long long m_nLastFrame;
    std::promise<bool> m_linked;
};

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
            const std::string frame = FrameFor(k);
            if (m_bFlood) {
                g_pPty->Write(frame);
                g_log.Sent(k, MonotonicNs());
                continue;
            }
            // A frame once begun is finished: a torn one would be rejected
            // and withdraw the service.
            for (std::size_t i = 0; i < frame.size(); ++i) {
                if (i + 1 == frame.size())
                    g_log.Sent(k, MonotonicNs());
                g_pPty->Write(frame.data() + i, 1);
                std::this_thread::sleep_for(30ms);
            }
        }
    }

    const bool m_bFlood;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

// Latency counters and the summary line from the samples in microseconds.
void Report(benchmark::State& state, std::vector<double> us, const char* what)
{
    if (us.empty())
        return;
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = Percentile(us, 0.5);
    state.counters["p99_us"] = Percentile(us, 0.99);
    state.counters["max_us"] = us.back();
    char text[320];
    std::snprintf(text, sizeof text,
                  "%s: carriage return written -> Advise received by the client, %zu samples: "
                  "median %.0f us, p99 %.0f us, max %.0f us",
                  what, us.size(), Percentile(us, 0.5), Percentile(us, 0.99), us.back());
    g_summary.emplace_back(text);
}

void BM_AdviseLatencyPaced(benchmark::State& state)
{
    CAdviseClient client(WritePacedFrame());
    if (!client.Begin()) {
        state.SkipWithError("no hot link: the service did not serve the frame");
        return;
    }
    std::vector<double> us;
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
        us.push_back(*latency);
        std::this_thread::sleep_until(start + 20ms);
    }
    Report(state, us, "paced, one frame every 20 ms");
}

void BM_AdviseLatencyFlood(benchmark::State& state)
{
    constexpr auto kFlood = 4s;
    CAdviseClient client(WritePacedFrame());
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
    std::vector<double> us;
    for (long long k = first; k < end; ++k) {
        if (const std::optional<double> latency = g_log.LatencyUs(k))
            us.push_back(*latency);
    }
    const double seconds = std::chrono::duration<double>(kFlood).count();
    const double rate = double(std::max(0LL, advisedAtStop - first + 1)) / seconds;
    const long long backlog = end - 1 - advisedAtStop;
    state.counters["advises_per_s"] = rate;
    state.counters["backlog_frames"] = double(backlog);
    state.counters["not_advised"] = double(end - first) - double(us.size());
    char what[160];
    std::snprintf(what, sizeof what,
                  "flood for %.0f s, %.0f frames/s advised, %lld frames queued when the far end stopped",
                  seconds, rate, backlog);
    Report(state, us, what);
}

void BM_RequestsWhileStreaming(benchmark::State& state)
{
    const bool flood = state.range(0) != 0;
    const QString name = QStringLiteral("km302-bench-request-%1").arg(flood ? 1 : 0);
    std::int64_t refused = 0;
    long long frames = 0;
    {
        QDBusConnection connection = QDBusConnection::connectToBus(
            qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), name);
        CStreamer stream(flood);
        // The service appears with the first frame.
        const auto ready = std::chrono::steady_clock::now() + 10s;
        while (Call(connection, QStringLiteral("Request"), kItem).type() != QDBusMessage::ReplyMessage
               && std::chrono::steady_clock::now() < ready)
            std::this_thread::sleep_for(10ms);
        const long long firstFrame = g_log.FramesStarted();
        for (auto _ : state)
            refused += Call(connection, QStringLiteral("Request"), kItem).type() != QDBusMessage::ReplyMessage;
        frames = g_log.FramesStarted() - firstFrame;
    }
    QDBusConnection::disconnectFromBus(name);
    state.counters["requests"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["frames_written"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
    state.counters["refused"] = double(refused);
}

// The main window's message boxes would wait for a click that never comes
// offscreen: they are printed and answered with OK.
class CPrintingServices : public CQtServices {
public:
    int MessageBox(const QString& text, UINT) override
    {
        std::printf("message box: %s\n", text.toUtf8().constData());
        return IDOK;
    }
};

} // namespace

BENCHMARK(BM_AdviseLatencyPaced)->Iterations(300)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AdviseLatencyFlood)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RequestsWhileStreaming)->Arg(0)->Arg(1)->MinTime(3.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        std::vector<char*> args{const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
        args.insert(args.end(), argv, argv + argc);
        args.push_back(nullptr);
        execvp(args[0], args.data());
        std::printf("km302_bench_advise skipped: no D-Bus session bus and no dbus-run-session "
                    "(package dbus) to start one\n");
        return 0;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    benchmark::Initialize(&argc, argv);
    QApplication app(argc, argv);
    CPrintingServices services;
    SetServices(&services);

    if (QDBusConnection::sessionBus().interface()->isServiceRegistered(kService)) {
        std::printf("km302_bench_advise skipped: %s is held by another program\n",
                    kService.toUtf8().constData());
        return 0;
    }
    CPty pty;
    if (!pty.Ok()) {
        std::printf("km302_bench_advise skipped: no pseudo-terminal\n");
        return 0;
    }
    g_pPty = &pty;
    CPortMap::Instance().SetEntry(kPortNr, pty.SlavePath());

    {
        CMainDialog window;
        window.m_showAdv = 0;
        window.m_runPortDialog = [](CPortDialog&) { return IDCANCEL; };
        window.m_portNr = kPortNr;
        window.resize(600, 400);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window) || !window.m_pChannel) {
            std::printf("km302_bench_advise skipped: the main window did not show or did not open "
                        "COM%d (%s)\n",
                        kPortNr, pty.SlavePath().toUtf8().constData());
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
    for (const std::string& line : g_summary)
        std::printf("%s\n", line.c_str());
    benchmark::Shutdown();
    return 0;
}

#include "advisebench.moc"
