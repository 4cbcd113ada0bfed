#pragma once
// CTextLogParser: the records of a text or CSV log into one series.
//
// Lines end in LF or CR LF; the bytes are Windows-1250. A record line is
// "YYYY.MM.DD hh:mm:ss", a separator (tab, "," or ";"), and a value with a
// decimal point ("," is taken too when the separator is not ",") or "???"
// for a record without a value. A header line ("Data i Godzina", the
// separator, "Ciśnienie hPa" or "Ciśnienie Pa") sets the unit of the records
// after it; records before any header are hPa. "KM-302 nr <n>" gives the
// series its serial number (the first one named). Other lines are comments,
// except lines that start like a record but are not one: those are damaged,
// as is a value no barometer gives (see IsPlausible) and a line longer than
// 4 KiB (a run of bytes without a line end), which is skipped as it comes.

#include "plot/core/logparser.h"

class CTextLogParser : public CLogParser {
public:
    explicit CTextLogParser(QString path) : CLogParser(std::move(path)) {}
    qsizetype Parse(QByteArrayView data, bool final, std::vector<CPlotSeries>& series) override;
    qsizetype EstimateRecords(QByteArrayView data) const override;

private:
    // False when the line is not a record.
    bool ParseRecord(const char* line, qsizetype length, qint64& time, float& value, int& decimals);
    void ParseOtherLine(QByteArrayView line, std::vector<CPlotSeries>& series);
    CPlotSeries& Series(std::vector<CPlotSeries>& series);

    bool m_bInLongLine = false;     // skipping to the end of a line too long
    bool m_bPascals = false;
    bool m_bHasSeries = false;
    int m_nSerialNumber = 0;
};
