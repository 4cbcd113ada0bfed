// libFuzzer target: the input is a log file of any content, parsed both as a
// binary (.vrd) and as a text log, whole and in two pieces as a file still
// being written is read. Built and run by scripts/fuzz. A broken invariant
// aborts, which libFuzzer reports as a crash:
//   - times never decrease;
//   - two pieces give the same records as the whole;
//   - the index agrees with a scan (min, max, count of values);
//   - envelopes and statistics of the series stay within its values.

#include <QByteArrayView>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "plot/core/columnenvelope.h"
#include "plot/core/logparser.h"
#include "plot/core/rangestats.h"

namespace {

void Require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

std::vector<CPlotSeries> ParseWhole(CLogParser::Kind kind, QByteArrayView data)
{
    std::vector<CPlotSeries> series;
    CLogParser::Create(kind, QStringLiteral("f"))->Parse(data, true, series);
    return series;
}

std::vector<CPlotSeries> ParseInPieces(CLogParser::Kind kind, QByteArrayView data, qsizetype cut)
{
    std::vector<CPlotSeries> series;
    const auto parser = CLogParser::Create(kind, QStringLiteral("f"));
    const qsizetype consumed = parser->Parse(data.first(cut), false, series);
    Require(consumed >= 0 && consumed <= cut, "consumed bytes within the piece");
    parser->Parse(data.sliced(consumed), true, series);
    return series;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

void Check(const CPlotSeries& s)
{
    float min = std::numeric_limits<float>::infinity();
    float max = -min;
    qint64 values = 0;
    for (qsizetype i = 0; i < s.Size(); ++i) {
        Require(i == 0 || s.m_times[std::size_t(i)] >= s.m_times[std::size_t(i - 1)], "times never decrease");
        const float v = s.m_values[std::size_t(i)];
        if (std::isnan(v))
            continue;
        ++values;
        min = std::min(min, v);
        max = std::max(max, v);
    }
    float gotMin = 0, gotMax = 0;
    Require(s.MinMax(0, s.Size(), gotMin, gotMax) == (values > 0), "index knows whether there are values");
    Require(values == 0 || (gotMin == min && gotMax == max), "index min and max equal a scan");
    if (s.Size() == 0)
        return;
    const qint64 t0 = s.m_times.front();
    const qint64 t1 = s.m_times.back();
    const RangeStats stats = StatsInRange(s, t0, t1);
    Require(stats.nCount == values, "statistics count every value");
    for (const int columns : {1, 7, 300}) {
        for (const ColumnEnvelope& e : ColumnEnvelopes(s, t0, t1 + 1, columns))
            Require(!e.bHasValue || (e.fMin <= e.fMax && e.fMin >= min && e.fMax <= max), "envelope within values");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const QByteArrayView data(reinterpret_cast<const char*>(bytes), qsizetype(size));
    // The first byte chooses where the file is cut into two pieces.
    const qsizetype cut = size > 0 ? qsizetype(bytes[0]) * qsizetype(size) / 256 : 0;
    for (const CLogParser::Kind kind : {CLogParser::Kind::Vrd, CLogParser::Kind::Text}) {
        const std::vector<CPlotSeries> whole = ParseWhole(kind, data);
        const std::vector<CPlotSeries> pieces = ParseInPieces(kind, data, cut);
        Require(whole.size() == pieces.size(), "pieces give the same series");
        for (std::size_t i = 0; i < whole.size(); ++i) {
            Require(whole[i].m_times == pieces[i].m_times && SameBits(whole[i].m_values, pieces[i].m_values),
                    "pieces give the same records");
            Require(whole[i].m_nSerialNumber == pieces[i].m_nSerialNumber, "pieces give the same serial number");
            Check(whole[i]);
        }
    }
    CLogParser::Detect(data);
    return 0;
}
