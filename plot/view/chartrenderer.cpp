#include "plot/view/chartrenderer.h"

#include <algorithm>

#include <QFileInfo>
#include <QPainter>

#include <cmath>

#include "plot/core/columnenvelope.h"
#include "plot/core/plotseries.h"
#include "plot/text/timeaxis.h"
#include "plot/text/valueaxis.h"

namespace {

// Room for the labels: pressures on the left, the unit above them, two rows of
// times below.
constexpr int kLeft = 64, kRight = 16, kTop = 24, kBottom = 40;

double YOf(const QRect& plot, double min, double max, double v)
{
    return plot.bottom() + 1 - (v - min) / (max - min) * plot.height();
}

// One series' curve: a polyline per unbroken stretch of columns, and the
// single points of stretches only one column wide. Where most columns hold
// values the curve is a dense band of vertical strokes: drawn 1 pixel wide
// without antialiasing, which costs a tenth of a smoothed wide line and looks
// the same there; sparse curves (zoomed in) are drawn smooth.
void PaintSeries(QPainter& p, const QRect& plot, const ChartData& data, const CPlotSeries& s,
                 double min, double max, const QColor& color)
{
    const std::vector<ColumnEnvelope> columns =
        ColumnEnvelopes(s, data.t0, data.t1, plot.width());
    std::vector<std::vector<QPointF>> stretches;
    std::vector<QPointF> dots;
    size_t filled = 0;
    for (size_t i = 0; i < columns.size(); ++i) {
        const ColumnEnvelope& c = columns[i];
        if (!c.bHasValue)
            continue;
        ++filled;
        const double x = plot.left() + double(i) + 0.5;
        const double yMin = YOf(plot, min, max, c.fMin);
        const double yMax = YOf(plot, min, max, c.fMax);
        if (c.bBreakBefore || stretches.empty()) {
            stretches.emplace_back();
            stretches.back().emplace_back(x, yMin);
        } else {
            // Enter the column at the end nearer to the previous point, so a
            // flat stretch stays one line and not a zig-zag.
            const double lastY = stretches.back().back().y();
            const bool minFirst = std::abs(yMin - lastY) <= std::abs(yMax - lastY);
            stretches.back().emplace_back(x, minFirst ? yMin : yMax);
            if (yMin != yMax)
                stretches.back().emplace_back(x, minFirst ? yMax : yMin);
            continue;
        }
        if (yMin != yMax)
            stretches.back().emplace_back(x, yMax);
    }
    const bool dense = filled * 2 > size_t(plot.width());
    p.setRenderHint(QPainter::Antialiasing, !dense);
    p.setPen(QPen(color, dense ? 1.0 : 1.5));
    p.setBrush(Qt::NoBrush);
    for (const auto& points : stretches) {
        if (points.size() == 1)
            dots.push_back(points.front());
        else
            p.drawPolyline(points.data(), int(points.size()));
    }
    p.setBrush(color);
    p.setPen(Qt::NoPen);
    p.setRenderHint(QPainter::Antialiasing, true);
    for (const QPointF& d : dots)
        p.drawEllipse(d, 2.0, 2.0);
}

}  // namespace

QRect CChartRenderer::PlotArea(const QRect& whole)
{
    QRect r = whole.adjusted(kLeft, kTop, -kRight, -kBottom);
    if (r.width() < 1)
        r.setWidth(1);
    if (r.height() < 1)
        r.setHeight(1);
    return r;
}

qint64 CChartRenderer::TimeAt(const QRect& plot, qint64 t0, qint64 t1, double x)
{
    return t0 + qint64(std::llround((x - plot.left()) / plot.width() * double(t1 - t0)));
}

double CChartRenderer::XOf(const QRect& plot, qint64 t0, qint64 t1, qint64 t)
{
    return plot.left() + double(t - t0) / double(t1 - t0) * plot.width();
}

bool CChartRenderer::ValueRange(const ChartData& data, double& min, double& max)
{
    bool any = false;
    for (const CPlotSeries* s : data.series) {
        float lo = 0, hi = 0;
        if (!s->MinMax(s->LowerBound(data.t0), s->LowerBound(data.t1), lo, hi))
            continue;
        min = any ? std::min(min, double(lo)) : lo;
        max = any ? std::max(max, double(hi)) : hi;
        any = true;
    }
    // Values that no axis can hold (a series filled by other means than the
    // readers, which refuse them) show as no data rather than as a broken picture.
    if (!std::isfinite(min) || !std::isfinite(max))
        return false;
    if (any)
        CValueAxis::Pad(min, max);
    return any;
}

bool CChartRenderer::FullRange(const std::vector<const CPlotSeries*>& series, qint64& t0,
                               qint64& t1)
{
    bool any = false;
    for (const CPlotSeries* s : series) {
        if (s->Size() == 0)
            continue;
        t0 = any ? std::min(t0, s->m_times.front()) : s->m_times.front();
        t1 = any ? std::max(t1, s->m_times.back() + 1) : s->m_times.back() + 1;
        any = true;
    }
    if (any && t1 - t0 < 2) {
        t0 -= 30'000;
        t1 += 30'000;
    }
    return any;
}

QColor CChartRenderer::SeriesColor(int index)
{
    static const QColor kColors[] = {QColor(0x1f, 0x5f, 0xbf), QColor(0xd0, 0x3a, 0x1f),
                                     QColor(0x2a, 0x9d, 0x3a), QColor(0x8e, 0x44, 0xad),
                                     QColor(0xe0, 0x8e, 0x0b), QColor(0x16, 0x9c, 0xa0)};
    return kColors[index % int(std::size(kColors))];
}

QString CChartRenderer::SeriesName(const CPlotSeries& series)
{
    const QString file = QFileInfo(series.m_strFile).fileName();
    return series.m_nSerialNumber > 0 ? QStringLiteral("%1 nr %2").arg(file).arg(series.m_nSerialNumber)
                                      : file;
}

void CChartRenderer::Paint(QPainter& p, const QRect& whole, const ChartData& data)
{
    p.save();
    p.fillRect(whole, Qt::white);
    const QRect plot = PlotArea(whole);
    const QFontMetrics fm = p.fontMetrics();
    const QColor grid(0xe4, 0xe4, 0xe4), text(0x30, 0x30, 0x30);

    double min = 0, max = 0;
    const bool any = data.t1 > data.t0 && ValueRange(data, min, max);

    // Time axis: a row of labels and, under it, the date when it changes.
    const int maxTimeTicks = std::max(2, plot.width() / (fm.horizontalAdvance(QStringLiteral("00:00:00.000")) + 12));
    // With nothing open there is no time to label.
    const auto timeTicks = data.series.empty() ? std::vector<TimeTick>()
                                               : CTimeAxis::Ticks(data.t0, data.t1, maxTimeTicks);
    for (const TimeTick& t : timeTicks) {
        const double x = XOf(plot, data.t0, data.t1, t.nTimeMs);
        p.setPen(grid);
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.setPen(text);
        // Centred under the tick, but never cut by the picture's edges.
        const auto left = [&](int w) {
            return std::clamp(x - w / 2.0, double(whole.left()), double(std::max(whole.left(), whole.right() - w)));
        };
        p.drawText(QPointF(left(fm.horizontalAdvance(t.strLabel)), plot.bottom() + 4 + fm.ascent()), t.strLabel);
        if (!t.strContext.isEmpty())
            p.drawText(QPointF(left(fm.horizontalAdvance(t.strContext)), plot.bottom() + 6 + fm.height() + fm.ascent()),
                       t.strContext);
    }
    if (any) {
        const int maxValueTicks = std::max(2, plot.height() / (fm.height() * 2));
        const double step = CValueAxis::Step(min, max, maxValueTicks);
        for (double v : CValueAxis::Ticks(min, max, maxValueTicks)) {
            const double y = YOf(plot, min, max, v);
            p.setPen(grid);
            p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
            p.setPen(text);
            const QString label = CValueAxis::Label(v, step);
            p.drawText(QPointF(plot.left() - 6 - fm.horizontalAdvance(label), y + fm.ascent() / 2.0 - 1),
                       label);
        }
        p.drawText(QPointF(plot.left() - 6 - fm.horizontalAdvance(QStringLiteral("hPa")), plot.top() - 8),
                   QStringLiteral("hPa"));
    }
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot.adjusted(0, 0, -1, -1));

    if (!any) {
        p.setPen(text);
        p.drawText(plot, Qt::AlignCenter,
                   data.series.empty()
                       ? QStringLiteral("Otwórz dziennik: Plik → Otwórz… albo upuść plik na okno")
                       : QStringLiteral("Brak danych w tym zakresie"));
        p.restore();
        return;
    }
    p.setClipRect(plot);
    for (size_t i = 0; i < data.series.size(); ++i)
        PaintSeries(p, plot, data, *data.series[i], min, max, SeriesColor(int(i)));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setClipping(false);

    if (data.series.size() > 1) {
        int width = 0;
        for (const QString& name : data.names)
            width = std::max(width, fm.horizontalAdvance(name));
        const int rowH = fm.height() + 2;
        const QRect box(plot.right() - width - 34, plot.top() + 6, width + 28,
                        rowH * int(data.series.size()) + 6);
        p.setPen(QColor(0xb0, 0xb0, 0xb0));
        p.setBrush(QColor(255, 255, 255, 230));
        p.drawRect(box);
        for (size_t i = 0; i < data.series.size(); ++i) {
            const int y = box.top() + 3 + rowH * int(i);
            p.fillRect(QRect(box.left() + 6, y + rowH / 2 - 2, 14, 4), SeriesColor(int(i)));
            p.setPen(text);
            p.drawText(QPointF(box.left() + 24, y + fm.ascent()),
                       i < size_t(data.names.size()) ? data.names[qsizetype(i)] : QString());
        }
    }
    p.restore();
}
