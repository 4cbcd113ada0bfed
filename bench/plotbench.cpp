// The chart viewer's data core on a year of 1-second records: time to read a
// .vrd and a CSV log from the page cache, memory per record, envelope and
// statistics queries at random zooms, and the cost of following a growing
// file. Prints figures; passes or fails on nothing.
//
// Arguments name the parts to run (vrd, queries, csv, follow); none runs all.
// The test logs are made once (km302-loggen's generator) in
// <build>/bench/plotdata, or in $KM302_PLOT_DATA.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>

#include "bench/loggenerator.h"
#include "plot/core/columnenvelope.h"
#include "plot/core/logfollower.h"
#include "plot/core/logreader.h"
#include "plot/core/rangestats.h"
#include "recording/binarylog.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

long ResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    }
    return -1;
}

void PrintLoad()
{
    QFile load(QStringLiteral("/proc/loadavg"));
    if (load.open(QIODevice::ReadOnly))
        std::printf("load average: %s", load.readAll().constData());
}

// Reads the file once so that it lies in the page cache.
void Warm(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    while (!file.read(16 << 20).isEmpty()) {
    }
}

void BenchRead(const QString& path)
{
    Warm(path);
    const double megabytes = double(QFileInfo(path).size()) / 1e6;
    std::vector<double> times;
    std::vector<double> cpuTimes;
    qint64 records = 0;
    for (int round = 0; round < 3; ++round) {
        const long before = ResidentKb();
        const Clock::time_point start = Clock::now();
        const double cpuStart = ThreadCpuSeconds();
        int progressCalls = 0;
        const LogReadResult result = CLogReader::Read(path, [&](double) {
            ++progressCalls;
            return true;
        });
        times.push_back(Seconds(start));
        cpuTimes.push_back(ThreadCpuSeconds() - cpuStart);
        if (!result.strError.isEmpty()) {
            std::printf("%s: %s\n", qPrintable(path), qPrintable(result.strError));
            return;
        }
        records = 0;
        qint64 bytes = 0;
        for (const CPlotSeries& s : result.series) {
            records += s.Size();
            bytes += s.MemoryBytes();
        }
        if (round == 0) {
            std::printf("%s: %.0f MB, %lld records in %zu series, %lld damaged, %d progress calls\n",
                        qPrintable(QFileInfo(path).fileName()), megabytes, static_cast<long long>(records),
                        result.series.size(), static_cast<long long>(result.nDamaged), progressCalls);
            std::printf("  memory: %.2f bytes/record held by the series, %.2f bytes/record resident growth\n",
                        double(bytes) / double(records), double(ResidentKb() - before) * 1024.0 / double(records));
        }
    }
    std::sort(times.begin(), times.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    std::printf("  open to full series: best %.3f s, median %.3f s (%.0f MB/s); processor time best %.3f s\n",
                times[0], times[1], megabytes / times[0], cpuTimes[0]);
}

void BenchQueries(const QString& path)
{
    const LogReadResult result = CLogReader::Read(path);
    if (result.series.empty())
        return;
    const CPlotSeries& s = result.series.front();
    const qint64 first = s.m_times.front();
    const qint64 span = s.m_times.back() - first;
    std::mt19937_64 random(7);
    for (const int columns : {1000, 2000}) {
        double total = 0, worst = 0, statsTotal = 0, statsWorst = 0, cpuWorst = 0;
        const int rounds = 300;
        for (int round = 0; round < rounds; ++round) {
            // Spans from ten seconds to the whole year, spread evenly on a log scale.
            const double fraction = std::pow(10.0, -7.0 * double(random() % 1000) / 1000.0);
            const qint64 width = std::max<qint64>(10'000, qint64(double(span) * fraction));
            const qint64 t0 = first + qint64(random() % quint64(std::max<qint64>(1, span - width + 1)));
            Clock::time_point start = Clock::now();
            const double cpuStart = ThreadCpuSeconds();
            const std::vector<ColumnEnvelope> envelopes = ColumnEnvelopes(s, t0, t0 + width, columns);
            const double seconds = Seconds(start);
            cpuWorst = std::max(cpuWorst, ThreadCpuSeconds() - cpuStart);
            total += seconds;
            worst = std::max(worst, seconds);
            start = Clock::now();
            const RangeStats stats = StatsInRange(s, t0, t0 + width);
            const double statsSeconds = Seconds(start);
            statsTotal += statsSeconds;
            statsWorst = std::max(statsWorst, statsSeconds);
            if (envelopes.size() != std::size_t(columns) || stats.nCount < 0)
                std::printf("unexpected result\n");
        }
        // The worst in processor time leaves out the times another process had the core.
        std::printf("  envelope of %d columns, random zoom 10 s..1 year: mean %.3f ms, worst %.3f ms "
                    "(worst processor time %.3f ms)\n", columns, total / rounds * 1e3, worst * 1e3, cpuWorst * 1e3);
        std::printf("  statistics of the same ranges: mean %.3f ms, worst %.3f ms\n", statsTotal / rounds * 1e3,
                    statsWorst * 1e3);
    }
    const Clock::time_point start = Clock::now();
    ColumnEnvelopes(s, first, first + span + 1, 1920);
    std::printf("  envelope of the whole year in 1920 columns: %.3f ms\n", Seconds(start) * 1e3);
}

void BenchFollow(const QString& folder)
{
    const QString path = folder + QStringLiteral("/follow.vrd");
    CLogGenerator generator;
    generator.m_nRecords = 100'000;
    if (!generator.Write(path, QString()))
        return;
    CLogFollower follower(path);
    std::vector<CPlotSeries> series;
    follower.Poll(series);
    QFile file(path);
    if (!file.open(QIODevice::Append))
        return;
    LogTime time;
    time.year = 2025;
    time.month = 1;
    time.day = 1;
    const int polls = 2000;
    double cpu = 0;
    for (int i = 0; i < polls; ++i) {
        time.hour = i / 3600;
        time.minute = i / 60 % 60;
        time.second = i % 60;
        file.write(CBinaryLog::StoredRecord(time, true, 1013.0 + i % 10, false, 1234));
        file.flush();
        const double before = ThreadCpuSeconds();
        // The window polls on the watcher's signal and on its 1 s timer: twice a record.
        follower.Poll(series);
        follower.Poll(series);
        cpu += ThreadCpuSeconds() - before;
    }
    std::printf("follow mode: %lld records after %d appended; %.1f us processor time per record "
                "(two polls) = %.4f %% of a core at a record a second\n",
                static_cast<long long>(series.empty() ? 0 : series.front().Size()), polls,
                cpu / polls * 1e6, cpu / polls * 100.0);
    QFile::remove(path);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString folder = qEnvironmentVariable("KM302_PLOT_DATA");
    if (folder.isEmpty())
        folder = QCoreApplication::applicationDirPath() + QStringLiteral("/plotdata");
    QDir().mkpath(folder);
    const QString vrd = folder + QStringLiteral("/year.vrd");
    const QString csv = folder + QStringLiteral("/year.csv");
    std::printf("== km302-plot data core, a year of 1-second records ==\n");
    PrintLoad();
    if (!QFileInfo::exists(vrd) || !QFileInfo::exists(csv)) {
        const Clock::time_point start = Clock::now();
        if (!CLogGenerator().Write(vrd, csv))
            return 1;
        std::printf("generated %s and %s in %.0f s\n", qPrintable(vrd), qPrintable(csv), Seconds(start));
    }
    const QStringList only = app.arguments().mid(1);
    const auto run = [&only](const char* name) { return only.isEmpty() || only.contains(QLatin1String(name)); };
    if (run("vrd"))
        BenchRead(vrd);
    if (run("queries"))
        BenchQueries(vrd);
    if (run("csv"))
        BenchRead(csv);
    if (run("follow"))
        BenchFollow(folder);
    PrintLoad();
    return 0;
}
