// Cost of one repaint of the chart viewer's chart widget on a year of
// 1-second records (31.5 million, read from the .vrd that km302-loggen's
// generator writes, made once in <build>/bench/plotdata or $KM302_PLOT_DATA
// and shared with the data core's benchmark): at
// the full range, zoomed on a day, on ten minutes, and a pan step of a week
// at a time. A repaint asks each pixel column for its min/max envelope, so its
// cost should follow the chart's 1200 columns, not the records in view
// ("records_in_view" says how many a naive paint would have drawn). The
// widget is shown on the offscreen platform and repaint() paints before it
// returns; the copy to a real screen is left out.

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/loggenerator.h"
#include "plot/view/chartview.h"
#include "plot/core/columnenvelope.h"
#include "plot/core/logreader.h"
#include "plot/core/plotseries.h"

namespace {

constexpr qint64 kDayMs = 24LL * 3600 * 1000;

// Set in main before the benchmarks run.
const CPlotSeries* g_year = nullptr;

const CPlotSeries& Year()
{
    return *g_year;
}

class CShownChart {
public:
    CShownChart()
    {
        m_view.resize(1200, 600);
        m_view.SetSeries({&Year()}, {QStringLiteral("rok.vrd")}, true);
        m_view.show();
        QElapsedTimer waited;
        waited.start();
        while (!(m_view.windowHandle() && m_view.windowHandle()->isExposed()) && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QCoreApplication::processEvents();
    }
    CChartView& View() { return m_view; }

private:
    CChartView m_view;
};

// Made in main, after the application object and gone before it.
CShownChart* g_chart = nullptr;

CShownChart& Chart()
{
    return *g_chart;
}

void Repaint(benchmark::State& state, qint64 t0, qint64 t1)
{
    CChartView& view = Chart().View();
    view.SetRange(t0, t1);
    for (auto _ : state)
        view.repaint();
    state.counters["records_in_view"] =
        benchmark::Counter(double(Year().UpperBound(t1) - Year().LowerBound(t0)));
    state.counters["columns"] = benchmark::Counter(view.width());
}

void BM_RepaintFullRange(benchmark::State& state)
{
    Repaint(state, Year().m_times.front(), Year().m_times.back() + 1);
}
BENCHMARK(BM_RepaintFullRange)->Unit(benchmark::kMillisecond);

void BM_RepaintOneDay(benchmark::State& state)
{
    const qint64 t0 = Year().m_times.front() + 180 * kDayMs;
    Repaint(state, t0, t0 + kDayMs);
}
BENCHMARK(BM_RepaintOneDay)->Unit(benchmark::kMillisecond);

void BM_RepaintTenMinutes(benchmark::State& state)
{
    const qint64 t0 = Year().m_times.front() + 200 * kDayMs;
    Repaint(state, t0, t0 + 600'000);
}
BENCHMARK(BM_RepaintTenMinutes)->Unit(benchmark::kMillisecond);

// Each step shows a month a week later than the last: nothing of the
// previous paint can be reused.
void BM_PanByAWeek(benchmark::State& state)
{
    CChartView& view = Chart().View();
    const qint64 start = Year().m_times.front();
    qint64 week = 0;
    for (auto _ : state) {
        const qint64 t0 = start + (week++ % 40) * 7 * kDayMs;
        view.SetRange(t0, t0 + 30 * kDayMs);
        view.repaint();
    }
}
BENCHMARK(BM_PanByAWeek)->Unit(benchmark::kMillisecond);

// The share of a repaint that is the envelopes alone (the data side).
void BM_EnvelopesFullRange(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ColumnEnvelopes(Year(), Year().m_times.front(), Year().m_times.back() + 1, 1200));
}
BENCHMARK(BM_EnvelopesFullRange)->Unit(benchmark::kMillisecond);

void BM_EnvelopesOneDay(benchmark::State& state)
{
    const qint64 t0 = Year().m_times.front() + 180 * kDayMs;
    for (auto _ : state)
        benchmark::DoNotOptimize(ColumnEnvelopes(Year(), t0, t0 + kDayMs, 1200));
}
BENCHMARK(BM_EnvelopesOneDay)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QString folder = qEnvironmentVariable("KM302_PLOT_DATA");
    if (folder.isEmpty())
        folder = QCoreApplication::applicationDirPath() + QStringLiteral("/plotdata");
    QDir().mkpath(folder);
    const QString vrd = folder + QStringLiteral("/year.vrd");
    QElapsedTimer timer;
    timer.start();
    if (!QFileInfo::exists(vrd) && !CLogGenerator().Write(vrd, QString()))
        return 1;
    LogReadResult log = CLogReader::Read(vrd);
    if (log.series.size() != 1) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(vrd), qPrintable(log.strError));
        return 1;
    }
    g_year = &log.series.front();
    std::printf("%s: %lld records ready in %lld ms\n", qPrintable(vrd),
                static_cast<long long>(Year().Size()), static_cast<long long>(timer.elapsed()));
    CShownChart chart;
    g_chart = &chart;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
