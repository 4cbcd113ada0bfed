#include "plot/core/csvexport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/numberformat.h"

namespace {

// "2024-03-05T14:07:09", ".mmm" added when the time has milliseconds.
void AppendTime(QByteArray& out, qint64 ms)
{
    const qint64 seconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    const int millis = int(ms - seconds * 1000);
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&t, &parts);
    char text[48];
    int length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", parts.tm_year + 1900,
                               parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    if (millis != 0)
        length += std::snprintf(text + length, sizeof text - std::size_t(length), ".%03d", millis);
    out.append(text, length);
}

} // namespace

QByteArray ExportCsv(const std::vector<const CPlotSeries*>& series, qint64 t0, qint64 t1)
{
    QByteArray out("czas,seria,cisnienie_hpa\n");
    for (const CPlotSeries* s : series) {
        if (!s)
            continue;
        const QByteArray serial = s->m_nSerialNumber != 0 ? QByteArray::number(s->m_nSerialNumber) : QByteArray();
        const int decimals = std::clamp(s->m_nDecimals, 0, 6);
        const qsizetype last = s->UpperBound(t1);
        for (qsizetype i = s->LowerBound(t0); i < last; ++i) {
            AppendTime(out, s->m_times[std::size_t(i)]);
            out += ',';
            out += serial;
            out += ',';
            const float value = s->m_values[std::size_t(i)];
            // "." whatever the locale in force: the file is for machines.
            if (!std::isnan(value)) {
                const std::string text = FormatFixed(double(value), decimals);
                out.append(text.data(), qsizetype(text.size()));
            }
            out += '\n';
        }
    }
    return out;
}
