#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "plot/core/columnenvelope.h"
#include "plot/core/plotseries.h"
#include "plot/core/rangestats.h"

namespace {

constexpr float kGap = std::numeric_limits<float>::quiet_NaN();

// Records a second apart with random values, runs of gaps, pauses, repeated
// times, and a length that leaves partial blocks at every level.
CPlotSeries RandomSeries(unsigned seed, qsizetype n)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(900.0f, 1100.0f);
    std::uniform_int_distribution<int> event(0, 999);
    CPlotSeries s;
    qint64 t = 1'700'000'000'000;
    for (qsizetype i = 0; i < n; ++i) {
        const int e = event(random);
        t += e < 3 ? 60'000 : e < 6 ? 0 : 1000;
        const bool gap = e >= 990 || (i / 5000) % 7 == 3;   // single gaps and long runs of them
        s.Append(t, gap ? kGap : value(random));
    }
    return s;
}

TEST(PlotSeries, EnvelopesMatchABruteForceScanAtEveryZoom)
{
    const CPlotSeries s = RandomSeries(1, 70'001);
    const qint64 breakStep = s.BreakStepMs();
    ASSERT_EQ(1000, s.UsualStepMs());
    const qint64 start = s.m_times.front();
    const qint64 span = s.m_times.back() - start;
    struct View { qint64 t0, t1; int columns; };
    const std::vector<View> views = {
        {start - 5000, start + span + 5000, 1500},   // everything and a margin
        {start + span / 3, start + span / 3 + 600'000, 1000},
        {start + 17'000, start + 17'000 + 90'000, 2000},  // more columns than records
        {start + span / 2, start + span / 2 + 37, 7},     // a pixel column shorter than a step
    };
    for (const View& v : views) {
        const std::vector<ColumnEnvelope> envelopes = ColumnEnvelopes(s, v.t0, v.t1, v.columns);
        ASSERT_EQ(std::size_t(v.columns), envelopes.size());
        // One sweep over the records; `previous` is the last one with a value so far.
        qsizetype i = 0;
        qsizetype previous = -1;
        for (; i < s.Size() && s.m_times[std::size_t(i)] < v.t0; ++i)
            previous = std::isnan(s.m_values[std::size_t(i)]) ? previous : i;
        const double width = double(v.t1 - v.t0) / v.columns;
        for (int c = 0; c < v.columns; ++c) {
            const qint64 to = c + 1 == v.columns ? v.t1 : v.t0 + qint64(width * (c + 1));
            float min = std::numeric_limits<float>::infinity();
            float max = -min;
            bool any = false;
            bool breakBefore = false;
            for (; i < s.Size() && s.m_times[std::size_t(i)] < to; ++i) {
                const float value = s.m_values[std::size_t(i)];
                if (std::isnan(value))
                    continue;
                if (!any && previous >= 0) {
                    breakBefore = i - previous > 1;
                    for (qsizetype k = previous + 1; k <= i; ++k)
                        breakBefore = breakBefore || s.m_times[std::size_t(k)] - s.m_times[std::size_t(k - 1)] > breakStep;
                }
                any = true;
                min = std::min(min, value);
                max = std::max(max, value);
                previous = i;
            }
            const ColumnEnvelope& e = envelopes[std::size_t(c)];
            ASSERT_EQ(any, e.bHasValue) << c;
            if (!any)
                continue;
            EXPECT_EQ(min, e.fMin) << c;
            EXPECT_EQ(max, e.fMax) << c;
            EXPECT_EQ(breakBefore, e.bBreakBefore) << "column " << c << " of " << v.columns;
        }
    }
    EXPECT_TRUE(ColumnEnvelopes(s, start, start, 100).empty());
    EXPECT_TRUE(ColumnEnvelopes(s, start, start + 1000, 0).empty());
}

TEST(PlotSeries, RangeQueriesMatchABruteForceScan)
{
    const CPlotSeries s = RandomSeries(2, 20'000);
    std::mt19937 random(3);
    std::uniform_int_distribution<qsizetype> index(0, s.Size());
    const qint64 breakStep = s.BreakStepMs();
    for (int round = 0; round < 300; ++round) {
        qsizetype first = index(random);
        qsizetype last = index(random);
        if (round % 10 == 0)   // whole aligned blocks, and the partial one at the end
            first = 0, last = round % 20 == 0 ? s.Size() : 4096;
        if (first > last)
            std::swap(first, last);
        float min = std::numeric_limits<float>::infinity();
        float max = -min;
        qint64 values = 0, steps = 0;
        double sum = 0;
        qsizetype firstValue = last, lastValue = -1;
        for (qsizetype i = first; i < last; ++i) {
            const float v = s.m_values[std::size_t(i)];
            if (i > first && s.m_times[std::size_t(i)] - s.m_times[std::size_t(i - 1)] > breakStep)
                ++steps;
            if (std::isnan(v))
                continue;
            ++values;
            sum += v;
            min = std::min(min, v);
            max = std::max(max, v);
            firstValue = std::min(firstValue, i);
            lastValue = i;
        }
        float gotMin = 0, gotMax = 0;
        ASSERT_EQ(values > 0, s.MinMax(first, last, gotMin, gotMax)) << first << ".." << last;
        if (values > 0) {
            EXPECT_EQ(min, gotMin);
            EXPECT_EQ(max, gotMax);
        }
        EXPECT_EQ(firstValue, s.FirstWithValue(first, last));
        EXPECT_EQ(lastValue, s.LastWithValue(first, last));
        EXPECT_EQ(steps, s.CountStepsLongerThan(first + 1, last, breakStep));

        // The statistics of the same records, by time.
        if (first >= last)
            continue;
        const qint64 t0 = s.m_times[std::size_t(first)];
        const qint64 t1 = s.m_times[std::size_t(last - 1)];
        if (s.LowerBound(t0) != first || s.UpperBound(t1) != last)
            continue;   // a repeated time at an edge: the range by time is wider
        const RangeStats stats = StatsInRange(s, t0, t1);
        EXPECT_EQ(values, stats.nCount);
        EXPECT_EQ((last - first - values) + steps, stats.nGaps);
        if (values > 0) {
            EXPECT_EQ(min, stats.fMin);
            EXPECT_NEAR(sum / double(values), stats.dMean, 1e-6);
            EXPECT_EQ(s.m_times[std::size_t(firstValue)], stats.nFirstMs);
            EXPECT_EQ(s.m_times[std::size_t(lastValue)], stats.nLastMs);
        }
    }
}

TEST(PlotSeries, TimesNeverDecreaseAndTheUsualStepIsTheMedian)
{
    CPlotSeries s;
    EXPECT_EQ(1000, s.UsualStepMs());
    for (const qint64 t : {10'000, 20'000, 30'000, 25'000, 35'000, 400'000, 410'000})
        s.Append(t, 1.0f);
    EXPECT_EQ((std::vector<qint64>{10'000, 20'000, 30'000, 30'000, 35'000, 400'000, 410'000}), s.m_times);
    EXPECT_EQ(10'000, s.UsualStepMs());
    EXPECT_EQ(1, s.LowerBound(20'000));
    EXPECT_EQ(2, s.LowerBound(30'000));
    EXPECT_EQ(4, s.UpperBound(30'000));

    const RangeStats empty = StatsInRange(s, 500'000, 600'000);
    EXPECT_EQ(0, empty.nCount);
    EXPECT_EQ(0, empty.nGaps);
    s.Clear();
    EXPECT_EQ(0, s.Size());
    s.Append(5, 2.0f);
    float min = 0, max = 0;
    ASSERT_TRUE(s.MinMax(0, 1, min, max));
    EXPECT_EQ(2.0f, max);
}

} // namespace
