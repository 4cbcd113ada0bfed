#include <QApplication>
#include <QFileInfo>

#include <cstdio>

#include "plot/view/chartexport.h"
#include "plot/core/exporttarget.h"
#include "plot/core/logreader.h"
#include "plot/core/plotstation.h"
#include "plot/view/plotapplication.h"
#include "plot/text/plotoptions.h"
#include "plot/view/plotwindow.h"
#include "plot/text/timeaxis.h"

namespace {

void Print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// `km302-plot --export`: exit status 0; 1 for a file that cannot be read or
// written, or a range without records; 2 for an output that is one of the
// logs read; the reason on standard error.
int Export(const CPlotOptions& o, const CPlotStation& station)
{
    const QString refusal = CExportTarget::Refusal(o.m_strExport, o.m_files);
    if (!refusal.isEmpty()) {
        Print(stderr, QStringLiteral("km302-plot: %1\n").arg(refusal));
        return 2;
    }
    std::vector<CPlotSeries> all;
    for (const QString& path : o.m_files) {
        LogReadResult r = CLogReader::Read(path);
        if (!r.strError.isEmpty()) {
            Print(stderr, QStringLiteral("km302-plot: %1\n").arg(r.strError));
            return 1;
        }
        if (r.nDamaged > 0)
            Print(stderr, QStringLiteral("km302-plot: „%1”: pominięto uszkodzone rekordy (%2)\n")
                              .arg(path).arg(r.nDamaged));
        if (o.m_reduction) {
            for (CPlotSeries& s : r.series) {
                CPlotSeries reduced;
                station.Follow(s, reduced);
                s = std::move(reduced);
            }
        }
        std::move(r.series.begin(), r.series.end(), std::back_inserter(all));
    }
    ChartData data;
    for (const CPlotSeries& s : all) {
        data.series.push_back(&s);
        data.names << CChartRenderer::SeriesName(s);
    }
    qint64 t0 = 0, t1 = 1;
    CChartRenderer::FullRange(data.series, t0, t1);
    // --from and --to are both taken in; the chart's range is open at its end.
    data.t0 = o.m_from.value_or(t0);
    data.t1 = o.m_to ? *o.m_to + 1 : t1;
    qsizetype inRange = 0;
    qint64 first = t1, last = t0;
    for (const CPlotSeries* s : data.series) {
        if (s->Size() == 0)
            continue;
        inRange += data.t1 > data.t0 ? s->LowerBound(data.t1) - s->LowerBound(data.t0) : 0;
        first = std::min(first, s->m_times.front());
        last = std::max(last, s->m_times.back());
    }
    if (inRange == 0) {
        Print(stderr, QStringLiteral("km302-plot: W zakresie --from/--to nie ma żadnego zapisu pomiaru "
                                     "(dzienniki obejmują %1 – %2); nic nie zapisano.\n")
                          .arg(CTimeAxis::FullTime(first), CTimeAxis::FullTime(last)));
        return 1;
    }
    QString error;
    if (!CChartExport::Save(o.m_strExport, o.m_format, data, o.m_size, error)) {
        Print(stderr, QStringLiteral("km302-plot: %1\n").arg(error));
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const CPlotOptions o = CPlotOptions::Parse(args);
    if (!o.IsValid()) {
        Print(stderr, QStringLiteral("km302-plot: %1\n\n%2").arg(o.m_strError, CPlotOptions::Usage()));
        return 2;
    }
    // The reduction to sea level: KM302's [STATION] settings, and the command
    // line in their place.
    const CPlotStation station = o.Station(CPlotStation::FromSettingsFile(CPlotStation::Km302SettingsPath()));
    if (o.m_reduction && !station.m_bElevationKnown
        && (o.m_action == CPlotOptions::Action::Show || o.m_action == CPlotOptions::Action::Export)) {
        Print(stderr, QStringLiteral("km302-plot: Opcja --reduction wymaga wysokości barometru: podaj "
                                     "--elevation albo ustaw ją w KM302 (ELEVATION w sekcji [STATION] "
                                     "pliku %1)\n").arg(CPlotStation::Km302SettingsPath()));
        return 2;
    }
    switch (o.m_action) {
    case CPlotOptions::Action::Help: Print(stdout, CPlotOptions::Usage()); return 0;
    case CPlotOptions::Action::Version:
        Print(stdout, QStringLiteral("km302-plot %1\n"
                                     "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
                                     "This is free software: you are free to change and redistribute it.\n"
                                     "There is NO WARRANTY, to the extent permitted by law.\n")
                          .arg(QStringLiteral(KM302_VERSION)));
        return 0;
    case CPlotOptions::Action::Export: {
        // Scripts and web servers have no display: draw offscreen unless the
        // caller chose a platform.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return Export(o, station);
    }
    case CPlotOptions::Action::Show: break;
    }
    QApplication app(argc, argv);
    CPlotApplication::Prepare();
    CPlotWindow window;
    window.SetStation(station);
    window.SetReduced(o.m_reduction.has_value());
    window.show();
    if (!o.m_files.isEmpty())
        window.OpenFiles(o.m_files, false);
    return app.exec();
}
