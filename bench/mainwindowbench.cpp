// Frames through the main window: OnSerialByte -> frame decoding -> Refresh
// with the real display repaint (offscreen), and the time from process start
// to the first painted frame of the main window. A valid frame makes the
// window offer its live values on the session bus: the benchmark runs inside
// a bus of its own (dbus-run-session), and message boxes are printed.

#include <QApplication>
#include <QEvent>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "printingservices.h"
#include "sessionbus.h"
#include "tools/frameencoder.h"
#include "settings/metersettings.h"
#include "ui/maindialog.h"
#include "ui/portdialog.h"
#include "ui/pressuredisplay.h"

extern char** environ;

namespace {

long long NowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

void BM_FramesThroughMainWindow(benchmark::State& state)
{
    CMainDialog window(MainDialogRunners{.portDialog = [](CPortDialog&) { return IDCANCEL; }, .startupPromotion = {}});
    MeterSettings settings = window.Settings();
    settings.showAdv = 0;
    window.ApplySettings(settings);
    window.resize(600, 400);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        state.SkipWithError("the window was not exposed");
        return;
    }
    std::vector<std::string> frames;
    for (int i = 0; i < 64; ++i)
        frames.push_back(CFrameEncoder::Encode(FrameContent{1234, 10000 + i * 3}));
    std::size_t k = 0;
    const int paintsBefore = window.Display().PaintCount();
    for (auto _ : state) {
        for (unsigned char b : frames[k++ % frames.size()])
            window.OnSerialByte(b);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["paints_per_frame"] =
        double(window.Display().PaintCount() - paintsBefore) / double(state.iterations());
}
BENCHMARK(BM_FramesThroughMainWindow)->Unit(benchmark::kMicrosecond);

// Child: report the wall-clock time of the first paint of the main window's display.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !seen) {
            seen = true;
            std::printf("%lld\n", NowNs());
            std::fflush(stdout);
            std::_Exit(0);
        }
        return QObject::eventFilter(watched, event);
    }
    bool seen = false;
};

int RunStartupChild(int argc, char** argv)
{
    QApplication app(argc, argv);
    CMainDialog window(MainDialogRunners{.portDialog = [](CPortDialog&) { return IDCANCEL; }, .startupPromotion = {}});
    MeterSettings settings = window.Settings();
    settings.showAdv = 0;
    window.ApplySettings(settings);
    FirstPaint filter;
    window.Display().installEventFilter(&filter);
    window.show();
    return app.exec();
}

void ReportStartup(const char* self)
{
    std::vector<double> ms;
    for (int i = 0; i < 15; ++i) {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        char arg0[] = "km302_bench_mainwindow";
        char arg1[] = "--startup-child";
        char* args[] = {arg0, arg1, nullptr};
        pid_t pid = 0;
        const long long start = NowNs();
        const int rc = posix_spawn(&pid, self, &actions, nullptr, args, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (rc != 0) {
            close(fds[0]);
            return;
        }
        char buffer[64] = {};
        const ssize_t n = read(fds[0], buffer, sizeof buffer - 1);
        close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        if (n > 0)
            ms.push_back(double(std::atoll(buffer) - start) / 1e6);
    }
    if (ms.empty())
        return;
    std::sort(ms.begin(), ms.end());
    std::printf("start-up: process start to first painted frame of the main window, %zu runs: "
                "median %.1f ms, min %.1f ms, max %.1f ms\n",
                ms.size(), ms[ms.size() / 2], ms.front(), ms.back());
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && std::strcmp(argv[1], "--startup-child") == 0)
        return RunStartupChild(argc, argv);

    if (!CSessionBus::EnsurePrivate(argc, argv, "km302_bench_mainwindow"))
        return 0;
    {
        QApplication app(argc, argv);
        CPrintingServices services;
        SetServices(&services);
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        SetServices(nullptr);
    }
    ReportStartup("/proc/self/exe");
    return 0;
}
