// Cost of the pressure display's synchronous repaint, which every state change
// pays on the user-interface thread: one paint of a 600 x 300 display at the
// default value font (Arial, 60 pixels), and SetValue with a value that changes
// each time (format, off-screen paint and copy included). A frame arrives
// about three times a second; "paints_per_s" says how far above that the
// paint stands. The offscreen platform paints into memory, so the figures
// leave out the copy to a real screen.

#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>

#include <benchmark/benchmark.h>

#include "ui/displayformat.h"
#include "ui/pressuredisplay.h"

namespace {

// A display laid out as the main window shows it, on screen and exposed, so
// repaint() paints before it returns.
class CShownDisplay {
public:
    CShownDisplay()
    {
        m_display.m_strLabel = QStringLiteral("Ciśnienie");
        m_display.resize(600, 300);
        m_display.CreateValueFont();
        m_display.SetUnits(5, 5, true);
        m_display.show();
        QElapsedTimer waited;
        waited.start();
        while (!(m_display.windowHandle() && m_display.windowHandle()->isExposed())
               && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QCoreApplication::processEvents();
    }
    CPressureDisplay& operator*() { return m_display; }
    CPressureDisplay* operator->() { return &m_display; }

private:
    CPressureDisplay m_display;
};

void ReportPaints(benchmark::State& state, int paints)
{
    state.counters["paints_per_iteration"] =
        benchmark::Counter(double(paints) / double(state.iterations()));
    state.counters["paints_per_s"] = benchmark::Counter(double(paints), benchmark::Counter::kIsRate);
}

void BM_Repaint(benchmark::State& state)
{
    CShownDisplay display;
    display->SetValue(1013.3);
    const int before = display->PaintCount();
    for (auto _ : state)
        display->repaint();
    ReportPaints(state, display->PaintCount() - before);
}
BENCHMARK(BM_Repaint);

void BM_SetValueChanging(benchmark::State& state)
{
    CShownDisplay display;
    const int before = display->PaintCount();
    int step = 0;
    for (auto _ : state) {
        display->SetValue(950.0 + 0.1 * (step % 1000));
        ++step;
    }
    ReportPaints(state, display->PaintCount() - before);
}
BENCHMARK(BM_SetValueChanging);

void BM_SetValueUnchanged(benchmark::State& state)
{
    CShownDisplay display;
    display->SetValue(1013.3);
    const int before = display->PaintCount();
    for (auto _ : state)
        display->SetValue(1013.3);
    ReportPaints(state, display->PaintCount() - before);
}
BENCHMARK(BM_SetValueUnchanged);

void BM_FormatValue(benchmark::State& state)
{
    int step = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            FormatDisplayValue(950.0 + 0.1 * (step % 1000), kUnitHectopascal, true, false));
        ++step;
    }
}
BENCHMARK(BM_FormatValue);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
