#pragma once
// CChartView: the chart widget of km302-plot.
//
// Mouse and keys:
//   wheel                    zoom in or out around the time under the pointer
//   left button + drag       pan
//   Shift + left drag        draw a rectangle: its time span becomes the view
//   ←/→                      pan by a tenth of the view;  +/−  zoom around the middle
//   Home                     show everything
// The pressure axis always fits the values in view. Moving the pointer
// updates the readout: the record nearest to the pointer on screen.
//
// The series are borrowed: the owner calls SetSeries again whenever a series
// is added, removed or may have moved in memory, and Refresh when they grew.
// User-interface thread only.

#include <QPoint>
#include <QStringList>
#include <QWidget>

#include <vector>

#include "plot/view/chartrenderer.h"

class CChartView : public QWidget {
    Q_OBJECT
public:
    explicit CChartView(QWidget* parent = nullptr);

    // Keeps the view's range unless `showAll`.
    void SetSeries(std::vector<const CPlotSeries*> series, QStringList names, bool showAll);
    // The series grew: with `keepEnd` a view that showed the last record
    // slides to show the new ones.
    void Refresh(bool keepEnd);
    void SetRange(qint64 t0, qint64 t1);
    qint64 RangeStart() const { return m_data.t0; }
    qint64 RangeEnd() const { return m_data.t1; }
    const ChartData& Data() const { return m_data; }
    void ShowAll();
    // factor < 1 zooms in; the time at x stays under x.
    void ZoomAt(double x, double factor);
    // Moves the view by `fraction` of its span (positive: later).
    void Pan(double fraction);
    // "2024-03-05 14:07:09  1013.2 hPa  (plik.vrd)" for the record nearest
    // `pos`, "brak wartości" for one without a value, empty when none near.
    // The name in brackets is the series' legend name.
    QString ReadoutAt(QPoint pos) const;
    // The record nearest `pos` (as the readout chooses it): its series, or
    // null when none is near.
    struct Nearest {
        const CPlotSeries* series = nullptr;
        int nSeries = -1;
        qsizetype nIndex = -1;
    };
    Nearest NearestAt(QPoint pos) const;
    // The record nearest the pointer while it is over the chart.
    Nearest AtPointer() const { return m_bPointer ? NearestAt(m_pointer) : Nearest{}; }

    // The shortest span a zoom goes down to.
    static constexpr qint64 kMinSpanMs = 1000;

signals:
    void RangeChanged(qint64 t0, qint64 t1);
    void Readout(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QRect Plot() const { return CChartRenderer::PlotArea(rect()); }

    ChartData m_data;
    enum class Drag { None, Pan, Rectangle } m_drag = Drag::None;
    QPoint m_dragStart, m_dragNow;
    qint64 m_dragT0 = 0, m_dragT1 = 0;
    qint64 m_lastEnd = 0;   // the end of everything when last shown or refreshed
    QPoint m_pointer;       // where the pointer last moved over the chart
    bool m_bPointer = false;
};
