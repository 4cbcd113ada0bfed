#pragma once
// CChartExport: writes the chart of a time range to a PNG or SVG file, or its
// records to a CSV file — for the "Eksportuj…" command and for
// `km302-plot --export`, which runs without a display.
//
// The file is written whole or not at all (QSaveFile): a failed export leaves
// an older file of that name as it was. Returns false with a Polish message
// in `error` when the file cannot be written. The series are borrowed for the
// call. Needs a QGuiApplication (fonts); user-interface thread.

#include <QSize>
#include <QString>

#include "plot/view/chartrenderer.h"
#include "plot/text/plotoptions.h"

class CChartExport {
public:
    static bool Save(const QString& path, CPlotOptions::Format format, const ChartData& data,
                     QSize size, QString& error);
};
