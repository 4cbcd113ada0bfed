#pragma once
// CVrdLogParser: the records of a binary log (.vrd) into one series per
// serial number, in the order the numbers first appear.
//
// A record without a value belongs to the series of the record before it; at
// the start of a file it opens a series whose serial number is taken from the
// first record with a value. A record whose time stamp is no real date and
// time, or whose value no barometer gives (see IsPlausible), counts as
// damaged, like one with wrong check bytes.

#include "plot/core/logparser.h"

class CVrdLogParser : public CLogParser {
public:
    explicit CVrdLogParser(QString path) : CLogParser(std::move(path)) {}
    qsizetype Parse(QByteArrayView data, bool final, std::vector<CPlotSeries>& series) override;
    qsizetype EstimateRecords(QByteArrayView data) const override;

private:
    std::size_t SeriesFor(int serialNumber, std::vector<CPlotSeries>& series);

    std::vector<int> m_serials;      // of each series made, by position
    std::vector<bool> m_hasValue;    // whether that series has a value yet
    std::size_t m_nCurrent = 0;      // the series of the last record
};
