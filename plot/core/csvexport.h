#pragma once
// The records of a time range as CSV, for scripts and spreadsheets.
//
// The bytes are UTF-8 with LF line ends: a header line
// "czas,seria,cisnienie_hpa", then one line per record of [t0, t1] of every
// series in turn: the time in ISO 8601 without a zone ("2024-03-05T14:07:09",
// with ".mmm" only when the time has milliseconds), the series' serial number
// (empty when unknown), and the value in hPa with "." and the series'
// m_nDecimals decimals, or an empty field for a record without a value.
// Pure function; any thread.

#include <QByteArray>
#include <QtGlobal>

#include <vector>

#include "plot/core/plotseries.h"

QByteArray ExportCsv(const std::vector<const CPlotSeries*>& series, qint64 t0, qint64 t1);
