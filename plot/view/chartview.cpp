#include "plot/view/chartview.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

#include "plot/core/plotseries.h"
#include "plot/text/timeaxis.h"

namespace {
// A hundred years: farther out the axis has nothing left to say.
constexpr qint64 kMaxSpanMs = qint64(100) * 366 * 24 * 3600 * 1000;
// The readout names a record only this close to the pointer, in pixels.
constexpr double kReadoutReach = 24.0;
}  // namespace

CChartView::CChartView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 200);
}

void CChartView::SetSeries(std::vector<const CPlotSeries*> series, QStringList names, bool showAll)
{
    m_data.series = std::move(series);
    m_data.names = std::move(names);
    if (showAll)
        ShowAll();
    else
        update();
}

void CChartView::Refresh(bool keepEnd)
{
    qint64 t0 = 0, t1 = 0;
    if (keepEnd && CChartRenderer::FullRange(m_data.series, t0, t1)) {
        // A view whose end was at or past the last record follows the new
        // ones with the same span.
        const qint64 span = m_data.t1 - m_data.t0;
        if (t1 > m_data.t1 && m_data.t1 >= m_lastEnd) {
            SetRange(t1 - span, t1);
            m_lastEnd = t1;
            return;
        }
        m_lastEnd = t1;
    }
    emit RangeChanged(m_data.t0, m_data.t1);
    update();
}

void CChartView::SetRange(qint64 t0, qint64 t1)
{
    if (t1 - t0 < kMinSpanMs) {
        const qint64 mid = t0 + (t1 - t0) / 2;
        t0 = mid - kMinSpanMs / 2;
        t1 = t0 + kMinSpanMs;
    }
    if (t1 - t0 > kMaxSpanMs)
        return;
    m_data.t0 = t0;
    m_data.t1 = t1;
    emit RangeChanged(t0, t1);
    update();
}

void CChartView::ShowAll()
{
    qint64 t0 = 0, t1 = 0;
    if (CChartRenderer::FullRange(m_data.series, t0, t1)) {
        m_lastEnd = t1;
        SetRange(t0, t1);
    } else {
        update();
    }
}

void CChartView::ZoomAt(double x, double factor)
{
    const QRect plot = Plot();
    const qint64 anchor = CChartRenderer::TimeAt(plot, m_data.t0, m_data.t1, x);
    const double span = double(m_data.t1 - m_data.t0) * factor;
    if (span < kMinSpanMs && factor < 1 && m_data.t1 - m_data.t0 <= kMinSpanMs)
        return;
    const double left = (x - plot.left()) / plot.width();
    const qint64 t0 = anchor - qint64(std::llround(span * left));
    SetRange(t0, t0 + qint64(std::llround(span)));
}

void CChartView::Pan(double fraction)
{
    const qint64 shift = qint64(std::llround(double(m_data.t1 - m_data.t0) * fraction));
    SetRange(m_data.t0 + shift, m_data.t1 + shift);
}

CChartView::Nearest CChartView::NearestAt(QPoint pos) const
{
    Nearest nearest;
    const QRect plot = Plot();
    if (!plot.contains(pos) || m_data.series.empty())
        return nearest;
    const qint64 t = CChartRenderer::TimeAt(plot, m_data.t0, m_data.t1, pos.x());
    double min = 0, max = 0;
    const bool values = CChartRenderer::ValueRange(m_data, min, max);
    double best = kReadoutReach;
    for (size_t k = 0; k < m_data.series.size(); ++k) {
        const CPlotSeries* s = m_data.series[k];
        const qsizetype i = s->LowerBound(t);
        for (qsizetype j : {i - 1, i}) {
            if (j < 0 || j >= s->Size())
                continue;
            const double dx = CChartRenderer::XOf(plot, m_data.t0, m_data.t1, s->m_times[size_t(j)]) - pos.x();
            const float v = s->m_values[size_t(j)];
            double dy = 0;
            if (values && !std::isnan(v))
                dy = plot.bottom() + 1 - (v - min) / (max - min) * plot.height() - pos.y();
            const double d = std::hypot(dx, dy);
            if (std::abs(dx) <= kReadoutReach && (nearest.series == nullptr || d < best)) {
                best = d;
                nearest = {s, int(k), j};
            }
        }
    }
    return nearest;
}

QString CChartView::ReadoutAt(QPoint pos) const
{
    const Nearest n = NearestAt(pos);
    if (!n.series)
        return {};
    const float v = n.series->m_values[size_t(n.nIndex)];
    const QString value = std::isnan(v) ? QStringLiteral("brak wartości")
                                        : QStringLiteral("%1 hPa").arg(QString::number(double(v), 'f', n.series->m_nDecimals));
    const QString name = n.nSeries < m_data.names.size() ? m_data.names[n.nSeries]
                                                         : CChartRenderer::SeriesName(*n.series);
    return QStringLiteral("%1  %2  (%3)")
        .arg(CTimeAxis::FullTime(n.series->m_times[size_t(n.nIndex)]), value, name);
}

void CChartView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    CChartRenderer::Paint(p, rect(), m_data);
    if (m_drag == Drag::Rectangle) {
        const QRect plot = Plot();
        const QRect band = QRect(m_dragStart, m_dragNow).normalized().intersected(plot);
        p.setPen(QPen(QColor(0x1f, 0x5f, 0xbf), 1, Qt::DashLine));
        p.setBrush(QColor(0x1f, 0x5f, 0xbf, 40));
        p.drawRect(QRect(band.left(), plot.top(), band.width(), plot.height()));
    }
}

void CChartView::wheelEvent(QWheelEvent* event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0)
        ZoomAt(event->position().x(), std::pow(0.8, steps));
    event->accept();
}

void CChartView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_drag = event->modifiers() & Qt::ShiftModifier ? Drag::Rectangle : Drag::Pan;
    m_dragStart = m_dragNow = event->position().toPoint();
    m_dragT0 = m_data.t0;
    m_dragT1 = m_data.t1;
}

void CChartView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_drag == Drag::Pan) {
        const double fraction = double(pos.x() - m_dragStart.x()) / Plot().width();
        const qint64 shift = qint64(std::llround(double(m_dragT1 - m_dragT0) * fraction));
        SetRange(m_dragT0 - shift, m_dragT1 - shift);
    } else if (m_drag == Drag::Rectangle) {
        m_dragNow = pos;
        update();
    }
    m_pointer = pos;
    m_bPointer = true;
    emit Readout(ReadoutAt(pos));
}

void CChartView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_drag == Drag::None)
        return QWidget::mouseReleaseEvent(event);
    const Drag drag = m_drag;
    m_drag = Drag::None;
    const QPoint end = event->position().toPoint();
    // A click without a drag is no zoom: a rectangle needs a few pixels.
    if (drag == Drag::Rectangle && std::abs(end.x() - m_dragStart.x()) >= 4) {
        const QRect plot = Plot();
        const double a = std::clamp(double(std::min(end.x(), m_dragStart.x())), double(plot.left()),
                                    double(plot.right() + 1));
        const double b = std::clamp(double(std::max(end.x(), m_dragStart.x())), double(plot.left()),
                                    double(plot.right() + 1));
        SetRange(CChartRenderer::TimeAt(plot, m_data.t0, m_data.t1, a),
                 CChartRenderer::TimeAt(plot, m_data.t0, m_data.t1, b));
    }
    update();
}

void CChartView::keyPressEvent(QKeyEvent* event)
{
    const double middle = Plot().left() + Plot().width() / 2.0;
    switch (event->key()) {
    case Qt::Key_Left: Pan(-0.1); break;
    case Qt::Key_Right: Pan(0.1); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: ZoomAt(middle, 0.5); break;
    case Qt::Key_Minus: ZoomAt(middle, 2.0); break;
    case Qt::Key_Home: ShowAll(); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void CChartView::leaveEvent(QEvent* event)
{
    m_bPointer = false;
    emit Readout(QString());
    QWidget::leaveEvent(event);
}
