// Cost of one repaint of the chart viewer's chart widget on a year of
// 1-second records (31.5 million, in memory as the readers leave them): at
// the full range, zoomed on a day, on ten minutes, and a pan step of a week
// at a time. A repaint asks each pixel column for its min/max envelope, so its
// cost should follow the chart's 1200 columns, not the records in view
// ("records_in_view" says how many a naive paint would have drawn). The
// widget is shown on the offscreen platform and repaint() paints before it
// returns; the copy to a real screen is left out.

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTimeZone>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "plot/chartview.h"
#include "plot/columnenvelope.h"
#include "plot/plotseries.h"

namespace {

constexpr qint64 kRecords = 365LL * 24 * 3600;
constexpr qint64 kDayMs = 24LL * 3600 * 1000;

// A random walk around 1013 hPa, a record without a value every 100 000
// records and an hour without records each week, as a long recording has.
const CPlotSeries& Year()
{
    static const CPlotSeries series = [] {
        CPlotSeries s;
        s.m_strFile = QStringLiteral("rok.vrd");
        s.Reserve(kRecords);
        std::mt19937 random(302);
        std::normal_distribution<float> step(0.0f, 0.02f);
        float value = 1013.0f;
        qint64 t = QDateTime(QDate(2024, 1, 1), QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch();
        for (qint64 i = 0; i < kRecords; ++i) {
            value = std::clamp(value + step(random), 950.0f, 1060.0f);
            t += (i % (7 * 86400) == 0 && i > 0) ? 3600 * 1000 : 1000;
            s.Append(t, i % 100'000 == 99'999 ? NAN : value);
        }
        return s;
    }();
    return series;
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
    QElapsedTimer built;
    built.start();
    const qsizetype records = Year().Size();
    std::printf("series: %lld records built in %lld ms\n", static_cast<long long>(records),
                static_cast<long long>(built.elapsed()));
    CShownChart chart;
    g_chart = &chart;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
