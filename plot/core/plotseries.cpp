#include "plot/core/plotseries.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <sys/mman.h>

namespace {

constexpr int kBaseShift = 6;      // 64 records per level-0 block
constexpr int kFanShift = 4;       // 16 blocks per block of the level above
constexpr qsizetype kBase = qsizetype(1) << kBaseShift;
constexpr qsizetype kFan = qsizetype(1) << kFanShift;
constexpr int kSampledSteps = 4096;
constexpr std::size_t kStepKeptFromBlocks = 64;      // 4096 records
constexpr std::size_t kStepRetakenBlocks = 16384;    // a million records
// A pause longer than this many usual steps is a gap: timer jitter stays well below it.
constexpr qint64 kBreakFactor = 3;

CPlotSeries::Block EmptyBlock()
{
    return {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(), 0.0,
            0, 0};
}

int ShiftOf(std::size_t level)
{
    return kBaseShift + kFanShift * static_cast<int>(level);
}

} // namespace

qint64 CPlotSeries::UsualStepMs() const
{
    // A long series keeps the figure taken as it grew; a repaint needs it often.
    return m_nUsualStepMs > 0 ? m_nUsualStepMs : SampleUsualStep();
}

qint64 CPlotSeries::SampleUsualStep() const
{
    const qsizetype n = Size();
    if (n < 2)
        return 1000;
    std::vector<qint64> steps;
    const qsizetype stride = std::max<qsizetype>(1, (n - 1) / kSampledSteps);
    for (qsizetype i = 1; i < n; i += stride) {
        if (m_times[i] > m_times[i - 1])
            steps.push_back(m_times[i] - m_times[i - 1]);
    }
    if (steps.empty())
        return 1000;
    const auto middle = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2);
    std::nth_element(steps.begin(), middle, steps.end());
    return *middle;
}

qint64 CPlotSeries::BreakStepMs() const
{
    return kBreakFactor * UsualStepMs();
}

// Large arrays are asked for in huge pages: filling a year of records page by
// page would otherwise spend a good part of the reading in page faults.
template <typename T>
static void AdviseHugePages(const std::vector<T>& v)
{
    constexpr quintptr kHuge = 2 << 20;
    const auto begin = (reinterpret_cast<quintptr>(v.data()) + kHuge - 1) & ~(kHuge - 1);
    const auto end = (reinterpret_cast<quintptr>(v.data() + v.capacity())) & ~(kHuge - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

void CPlotSeries::Reserve(qsizetype records)
{
    m_times.reserve(std::size_t(records));
    m_values.reserve(std::size_t(records));
    AdviseHugePages(m_times);
    AdviseHugePages(m_values);
    if (m_levels.empty())
        m_levels.emplace_back();
    m_levels[0].reserve(std::size_t(records / kBase + 1));
}

qint64 CPlotSeries::MemoryBytes() const
{
    qint64 bytes = qint64(m_times.capacity() * sizeof(qint64) + m_values.capacity() * sizeof(float));
    for (const std::vector<Block>& level : m_levels)
        bytes += qint64(level.capacity() * sizeof(Block));
    return bytes;
}

void CPlotSeries::Clear()
{
    m_nUsualStepMs = 0;
    m_times.clear();
    m_values.clear();
    m_levels.clear();
}

qint64 CPlotSeries::Step(qsizetype index) const
{
    return index == 0 ? 0 : m_times[index] - m_times[index - 1];
}

void CPlotSeries::AddToBlock(Block& block, qsizetype index) const
{
    const float value = m_values[index];
    if (!std::isnan(value)) {
        block.fMin = std::min(block.fMin, value);
        block.fMax = std::max(block.fMax, value);
        block.dSum += value;
        ++block.nValues;
    }
    const quint32 step = static_cast<quint32>(
        std::min<qint64>(Step(index), std::numeric_limits<quint32>::max()));
    block.nMaxStepMs = std::max(block.nMaxStepMs, step);
}

void CPlotSeries::Merge(Block& into, const Block& from)
{
    into.fMin = std::min(into.fMin, from.fMin);
    into.fMax = std::max(into.fMax, from.fMax);
    into.dSum += from.dSum;
    into.nValues += from.nValues;
    into.nMaxStepMs = std::max(into.nMaxStepMs, from.nMaxStepMs);
}

void CPlotSeries::Append(qint64 timeMs, float valueHpa)
{
    if (!m_times.empty())
        timeMs = std::max(timeMs, m_times.back());
    // Growing by a quarter, not double, keeps the memory near 12 bytes a record
    // for a series that grows past what was reserved (a followed file).
    if (m_times.size() == m_times.capacity() && m_times.size() >= 4096)
        Reserve(qsizetype(m_times.size() + m_times.size() / 4));
    m_times.push_back(timeMs);
    m_values.push_back(valueHpa);
    if ((m_times.size() & (kBase - 1)) == 0)
        CompleteBlock();
}

void CPlotSeries::CompleteBlock()
{
    if (m_levels.empty())
        m_levels.emplace_back();
    Block block = EmptyBlock();
    const qsizetype end = Size();
    for (qsizetype i = end - kBase; i < end; ++i)
        AddToBlock(block, i);
    m_levels[0].push_back(block);
    // Taken again at each doubling, then at each million records: the usual
    // step of a long file hardly moves.
    const std::size_t blocks = m_levels[0].size();
    if (blocks >= kStepKeptFromBlocks && ((blocks & (blocks - 1)) == 0 || blocks % kStepRetakenBlocks == 0))
        m_nUsualStepMs = SampleUsualStep();

    // A completed block completes the blocks above it whose last child it is.
    for (std::size_t level = 1; end % (qsizetype(1) << ShiftOf(level)) == 0; ++level) {
        if (m_levels.size() <= level)
            m_levels.emplace_back();
        const std::vector<Block>& children = m_levels[level - 1];
        Block merged = EmptyBlock();
        for (std::size_t i = children.size() - kFan; i < children.size(); ++i)
            Merge(merged, children[i]);
        m_levels[level].push_back(merged);
    }
}

qsizetype CPlotSeries::LowerBound(qint64 t) const
{
    return std::lower_bound(m_times.begin(), m_times.end(), t) - m_times.begin();
}

qsizetype CPlotSeries::UpperBound(qint64 t) const
{
    return std::upper_bound(m_times.begin(), m_times.end(), t) - m_times.begin();
}

// Walks [first, last) in the largest aligned blocks the index holds: at most
// 2 x 64 records and 2 x 16 blocks per level.
template <typename OnBlock, typename OnRecord>
static void Walk(const std::vector<std::vector<CPlotSeries::Block>>& levels, qsizetype size,
                 qsizetype first, qsizetype last, OnBlock onBlock, OnRecord onRecord)
{
    first = std::max<qsizetype>(first, 0);
    last = std::min(last, size);
    qsizetype i = first;
    while (i < last) {
        int best = -1;
        qsizetype span = 1;
        for (std::size_t level = 0; level < levels.size(); ++level) {
            const qsizetype blockSize = qsizetype(1) << ShiftOf(level);
            if ((i & (blockSize - 1)) != 0)
                break;
            const qsizetype block = i >> ShiftOf(level);
            if (block >= qsizetype(levels[level].size()))
                break;
            if (i + blockSize > last)
                break;
            best = int(level);
            span = blockSize;
        }
        if (best >= 0)
            onBlock(best, i >> ShiftOf(std::size_t(best)), i, i + span);
        else
            onRecord(i);
        i += span;
    }
}

CPlotSeries::Summary CPlotSeries::Summarise(qsizetype first, qsizetype last) const
{
    Block total = EmptyBlock();
    Walk(m_levels, Size(), first, last,
         [&](int level, qsizetype block, qsizetype, qsizetype) {
             Merge(total, m_levels[std::size_t(level)][std::size_t(block)]);
         },
         [&](qsizetype index) { AddToBlock(total, index); });
    Summary summary;
    summary.nValues = total.nValues;
    if (total.nValues > 0) {
        summary.fMin = total.fMin;
        summary.fMax = total.fMax;
    }
    summary.dSum = total.dSum;
    summary.nMaxStepMs = total.nMaxStepMs;
    return summary;
}

bool CPlotSeries::MinMax(qsizetype first, qsizetype last, float& min, float& max) const
{
    const Summary summary = Summarise(first, last);
    if (summary.nValues == 0)
        return false;
    min = summary.fMin;
    max = summary.fMax;
    return true;
}

qint64 CPlotSeries::CountStepsLongerThan(qsizetype first, qsizetype last, qint64 stepMs) const
{
    first = std::max<qsizetype>(first, 0);
    last = std::min(last, Size());
    qint64 count = 0;
    // Blocks without such a step are skipped whole; only blocks holding one are scanned.
    Walk(m_levels, Size(), first, last,
         [&](int level, qsizetype block, qsizetype from, qsizetype to) {
             if (m_levels[std::size_t(level)][std::size_t(block)].nMaxStepMs <= stepMs)
                 return;
             if (level == 0) {
                 for (qsizetype i = from; i < to; ++i)
                     count += Step(i) > stepMs ? 1 : 0;
             } else {
                 const qsizetype half = (to - from) / kFan;
                 for (qsizetype c = from; c < to; c += half)
                     count += CountStepsLongerThan(c, std::min(c + half, to), stepMs);
             }
         },
         [&](qsizetype index) { count += Step(index) > stepMs ? 1 : 0; });
    return count;
}

qsizetype CPlotSeries::FirstWithValue(qsizetype first, qsizetype last) const
{
    first = std::max<qsizetype>(first, 0);
    last = std::min(last, Size());
    for (qsizetype i = first; i < last;) {
        // The largest aligned block at i; skipped whole when it has no value.
        qsizetype span = 1;
        bool empty = std::isnan(m_values[i]);
        if (!empty)
            return i;
        for (std::size_t level = 0; level < m_levels.size(); ++level) {
            const qsizetype blockSize = qsizetype(1) << ShiftOf(level);
            const qsizetype block = i >> ShiftOf(level);
            if ((i & (blockSize - 1)) != 0 || block >= qsizetype(m_levels[level].size())
                || m_levels[level][std::size_t(block)].nValues != 0)
                break;
            span = blockSize;
        }
        i += span;
    }
    return last;
}

qsizetype CPlotSeries::LastWithValue(qsizetype first, qsizetype last) const
{
    first = std::max<qsizetype>(first, 0);
    last = std::min(last, Size());
    for (qsizetype i = last; i > first;) {
        if (!std::isnan(m_values[i - 1]))
            return i - 1;
        // The largest aligned block ending at i; skipped whole when it has no value.
        qsizetype span = 1;
        for (std::size_t level = 0; level < m_levels.size(); ++level) {
            const qsizetype blockSize = qsizetype(1) << ShiftOf(level);
            const qsizetype block = (i >> ShiftOf(level)) - 1;
            if ((i & (blockSize - 1)) != 0 || block < 0 || block >= qsizetype(m_levels[level].size())
                || m_levels[level][std::size_t(block)].nValues != 0)
                break;
            span = blockSize;
        }
        i -= span;
    }
    return -1;
}
