#pragma once
// CChartRenderer: paints the pressure chart of some series over a time range
// with a QPainter — the window's chart, the PNG and the SVG export all go
// through here, so they look alike.
//
// A paint asks each series for the min/max envelope of every pixel column
// (ColumnEnvelopes), so its cost follows the chart's width, not the number of
// records. A column's min and max are joined by a vertical stroke and the
// columns by a line, except across a break (a record without a value or a long
// pause): there the line stops. The pressure axis fits the visible values.
//
// The series are borrowed for the duration of a call. Any thread that may
// paint on the device (the window's chart: the user-interface thread).

#include <QColor>
#include <QRect>
#include <QString>
#include <QStringList>

#include <vector>

class CPlotSeries;
class QPainter;

struct ChartData {
    std::vector<const CPlotSeries*> series;
    QStringList names;        // one per series, for the legend
    qint64 t0 = 0, t1 = 1;    // the time range shown, [t0, t1)
};

class CChartRenderer {
public:
    // The area of `whole` the curves go in; the rest holds the axes' labels.
    static QRect PlotArea(const QRect& whole);
    static void Paint(QPainter& painter, const QRect& whole, const ChartData& data);
    // The time at x and the x of a time, in the plot area of `whole`.
    static qint64 TimeAt(const QRect& plot, qint64 t0, qint64 t1, double x);
    static double XOf(const QRect& plot, qint64 t0, qint64 t1, qint64 t);
    // The range Paint's pressure axis uses; false when no value is in range.
    static bool ValueRange(const ChartData& data, double& min, double& max);
    // The range that shows every record of the series, [first, last + 1 ms)
    // widened to a minute around a single time; false when all are empty.
    static bool FullRange(const std::vector<const CPlotSeries*>& series, qint64& t0, qint64& t1);
    static QColor SeriesColor(int index);
    // A series' legend name: the file name, and its serial number if known.
    static QString SeriesName(const CPlotSeries& series);
};
