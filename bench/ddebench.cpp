// Requests per second that the DDE server answers on the D-Bus session bus.
// The server runs as in the program, on the user-interface thread with its
// event loop; the clients are connections of their own on the benchmark's
// threads, each call waiting for its reply, as a spreadsheet's would. The
// main window refreshes about three times a second (one frame at 300 baud),
// so "x_refresh" on AdviseAll says how many such refresh rates one core
// could advise.
//
// The benchmark runs inside a session bus of its own (dbus-run-session).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDBusMessage>
#include <QMetaObject>

#include <cstdio>
#include <memory>
#include <thread>

#include "tests/kit/busclient.h"
#include "sessionbus.h"

#include "dde/ddebustransport.h"
#include "dde/ddeserver.h"
#include "meter/displaystate.h"

namespace {

const QString kTopic = QStringLiteral("Ciśnienie#1234");
CDdeServer* g_pServer = nullptr;   // lives on the main thread

constexpr double kRefreshesPerSecond = 300.0 / 9.0 / 11.0;   // frames of 11 characters

void Requests(benchmark::State& state, const QString& item, QDBusMessage::MessageType expected)
{
    CBusClient client(QString(), CBusClient::Signals::Ignored);
    std::int64_t wrong = 0;
    for (auto _ : state)
        wrong += client.Ask(QStringLiteral("Request"), kTopic, item, -1).type() != expected;
    state.counters["requests"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    if (wrong != 0)
        state.SkipWithError("unexpected answers");
}

void BM_Request(benchmark::State& state)
{
    Requests(state, QStringLiteral("Pomiar"), QDBusMessage::ReplyMessage);
}

// Refused requests cost an error reply instead of a text.
void BM_RequestRefused(benchmark::State& state)
{
    Requests(state, QStringLiteral("Temperatura"), QDBusMessage::ErrorMessage);
}

// One hot link on each item: AdviseAll on the user-interface thread, as the
// end of every Refresh runs it.
void BM_AdviseAll(benchmark::State& state)
{
    CBusClient client(QString(), CBusClient::Signals::Ignored);
    for (const char* item : {"Wynik", "Pomiar", "Status"})
        client.Ask(QStringLiteral("AdviseStart"), kTopic, QString::fromLatin1(item));
    for (auto _ : state) {
        QMetaObject::invokeMethod(
            qApp, [] { g_pServer->AdviseAll(); }, Qt::BlockingQueuedConnection);
    }
    state.counters["advises"] =
        benchmark::Counter(3.0 * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["x_refresh"] = benchmark::Counter(
        double(state.iterations()) / kRefreshesPerSecond, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_Request)->UseRealTime();
BENCHMARK(BM_Request)->Threads(4)->UseRealTime();
BENCHMARK(BM_RequestRefused)->UseRealTime();
BENCHMARK(BM_AdviseAll)->UseRealTime();

int main(int argc, char** argv)
{
    if (!CSessionBus::EnsurePrivate(argc, argv, "km302_bench_dde"))
        return 0;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    benchmark::Initialize(&argc, argv);
    QApplication app(argc, argv);

    CDisplayState display;
    display.SetUnits(5, 5, true);
    display.SetValue(1013.25);
    CDdeServer server(std::make_unique<CDdeBusTransport>());
    server.m_pDisplay = &display;
    if (!server.Register(1234)) {
        std::printf("km302_bench_dde skipped: pl.km302.KM302 cannot be registered "
                    "(another program holds it?)\n");
        return 0;
    }
    g_pServer = &server;

    std::thread clients([] {
        benchmark::RunSpecifiedBenchmarks();
        QMetaObject::invokeMethod(qApp, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    });
    app.exec();
    clients.join();
    server.Unregister();
    benchmark::Shutdown();
    return 0;
}
