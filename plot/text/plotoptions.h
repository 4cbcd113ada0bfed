#pragma once
// CPlotOptions: the command line of km302-plot.
//
//   km302-plot [FILE...]
//   km302-plot --export OUT.png|OUT.svg|OUT.csv [--from T] [--to T] [--size WxH] FILE...
//   km302-plot --help | --version
// and with either of the first two, the reduction to sea level:
//   --elevation M  --reduction qnh|qff  --temperature C
// --elevation and --temperature take the place of ELEVATION and TEMPERATURE
// of KM302's [STATION] settings; --reduction chooses QNH or QFF and shows
// (or exports) the reduced series from the start.
//
// T is local wall-clock time as the logs write it, ISO 8601 without a zone:
// "2024-03-05T14:07:09", "2024-03-05 14:07", or a date "2024-03-05". A date
// given to --from means the start of that day, given to --to the end of it, so
// "--from 2024-03-05 --to 2024-03-05" is that whole day. Options take their
// value as the next argument or after "="; "--" ends the options. The export
// format follows the output name's extension.
//
// Pure logic, any thread.

#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

#include "plot/core/plotstation.h"

class CPlotOptions {
public:
    enum class Action { Show, Export, Help, Version };
    enum class Format { Png, Svg, Csv };

    Action m_action = Action::Show;
    QString m_strExport;            // the output file of --export
    Format m_format = Format::Png;
    std::optional<qint64> m_from;   // milliseconds, wall-clock time read as UTC
    std::optional<qint64> m_to;
    QSize m_size{1200, 600};
    QStringList m_files;
    std::optional<double> m_elevation;   // metres, −500 … 9000
    std::optional<int> m_reduction;      // StationSettings::kQnh or kQff
    std::optional<double> m_temperature; // °C, −80 … 60
    QString m_strError;             // a Polish message when the line is wrong

    // `args` without the program name. On a wrong line m_strError is set and
    // the caller prints it with Usage() and exits with status 2.
    static CPlotOptions Parse(const QStringList& args);
    static QString Usage();
    // A time as --from (endOfDay false) or --to (true) reads it.
    static std::optional<qint64> ParseTime(const QString& text, bool endOfDay);
    bool IsValid() const { return m_strError.isEmpty(); }
    // `fromFile` with what the command line gives in its place.
    CPlotStation Station(CPlotStation fromFile) const;
};
