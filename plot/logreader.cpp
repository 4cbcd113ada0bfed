#include "plot/logreader.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <future>
#include <memory>
#include <vector>

#include <unistd.h>

#include "plot/logparser.h"

namespace {

// Parsed between progress calls: a small fraction of a second's work.
constexpr qsizetype kChunk = qsizetype(16) << 20;
// Room before each block for the unparsed end of the one before (a record, or
// a line of a text log, is far shorter).
constexpr qsizetype kRoom = qsizetype(1) << 20;

// Reads up to kChunk bytes, fewer only at the end of the file; -1 on an error (errno).
qsizetype ReadBlock(int fd, char* into)
{
    qsizetype total = 0;
    while (total < kChunk) {
        const ssize_t n = ::read(fd, into + total, std::size_t(kChunk - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        total += n;
    }
    return total;
}

QString Quoted(const QString& path)
{
    return QStringLiteral("„%1”").arg(path);
}

LogReadResult Failure(QString message)
{
    LogReadResult result;
    result.strError = std::move(message);
    return result;
}

} // namespace

LogReadResult CLogReader::Read(const QString& path, const std::function<bool(double)>& progress)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Failure(QStringLiteral("Plik %1 nie istnieje.").arg(Quoted(path)));
    if (info.isDir())
        return Failure(QStringLiteral("%1 jest folderem, a nie plikiem dziennika.").arg(Quoted(path)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (file.error() == QFileDevice::PermissionsError || !info.isReadable())
            return Failure(QStringLiteral("Brak uprawnień do odczytu pliku %1.").arg(Quoted(path)));
        return Failure(QStringLiteral("Nie można otworzyć pliku %1: %2.").arg(Quoted(path), file.errorString()));
    }

    // Read in blocks, not mapped: a file cut short by its writer while it is
    // read ends the reading early instead of faulting. The next block is read
    // on another thread while this one is parsed, into the other of two
    // buffers, behind room for the unparsed end of this one.
    const qint64 size = std::max<qint64>(file.size(), 1);
    const int fd = file.handle();
    std::vector<char> buffers[2] = {std::vector<char>(std::size_t(kRoom + kChunk)),
                                    std::vector<char>(std::size_t(kRoom + kChunk))};
    qsizetype got = ReadBlock(fd, buffers[0].data() + kRoom);
    if (got < 0)
        return Failure(QStringLiteral("Błąd odczytu pliku %1: %2.").arg(Quoted(path), qt_error_string(errno)));
    const QByteArrayView first(buffers[0].data() + kRoom, got);
    const CLogParser::Kind kind = CLogParser::Detect(first);
    if (kind == CLogParser::Kind::Empty)
        return Failure(QStringLiteral("Plik %1 jest pusty.").arg(Quoted(path)));
    if (kind == CLogParser::Kind::Binary)
        return Failure(QStringLiteral("Plik %1 nie jest dziennikiem KM302: zawiera dane binarne, a nie tekst "
                                      "ani zapisy dziennika binarnego (.vrd).").arg(Quoted(path)));
    const std::unique_ptr<CLogParser> parser = CLogParser::Create(kind, path);
    // The first block tells how many records the whole file holds, a little over.
    const double perByte = double(parser->EstimateRecords(first)) / double(got);
    parser->ReserveFirst(qsizetype(perByte * double(size) * 1.02) + 16);

    LogReadResult result;
    qint64 done = 0;
    int current = 0;
    qsizetype begin = kRoom;
    qsizetype end = kRoom + got;
    for (;;) {
        const bool final = got == 0;
        std::vector<char>& other = buffers[1 - current];
        std::future<qsizetype> next;
        if (!final)
            next = std::async(std::launch::async, [fd, &other] { return ReadBlock(fd, other.data() + kRoom); });
        const qsizetype consumed = parser->Parse(
            QByteArrayView(buffers[current].data() + begin, end - begin), final, result.series);
        done += consumed;
        if (final)
            break;
        got = next.get();
        if (got < 0)
            return Failure(QStringLiteral("Błąd odczytu pliku %1: %2.").arg(Quoted(path), qt_error_string(errno)));
        if (progress && !progress(std::min(1.0, double(done) / double(size))))
            return Failure(QStringLiteral("Wczytywanie pliku %1 przerwano.").arg(Quoted(path)));
        // The unparsed end goes just before the new block; a very long one makes room.
        const char* tail = buffers[current].data() + begin + consumed;
        const qsizetype tailSize = end - begin - consumed;
        if (tailSize <= kRoom) {
            std::memcpy(other.data() + kRoom - tailSize, tail, std::size_t(tailSize));
            begin = kRoom - tailSize;
            end = kRoom + got;
        } else {
            other.insert(other.begin() + kRoom, tail, tail + tailSize);
            begin = kRoom;
            end = kRoom + tailSize + got;
        }
        current = 1 - current;
    }
    if (progress && !progress(1.0))
        return Failure(QStringLiteral("Wczytywanie pliku %1 przerwano.").arg(Quoted(path)));
    result.nDamaged = parser->Damaged();
    if (result.series.empty()) {
        result.strError = result.nDamaged > 0
            ? QStringLiteral("Plik %1 nie zawiera żadnego poprawnego zapisu pomiaru (uszkodzonych: %2).")
                  .arg(Quoted(path)).arg(result.nDamaged)
            : QStringLiteral("Plik %1 nie zawiera żadnego zapisu pomiaru.").arg(Quoted(path));
        return result;
    }
    // Room reserved for one instrument's records that others took, or grown
    // past an estimate that fell short, is returned.
    for (CPlotSeries& series : result.series) {
        if (series.m_times.capacity() > series.m_times.size() + series.m_times.size() / 16 + 64) {
            series.m_times.shrink_to_fit();
            series.m_values.shrink_to_fit();
        }
    }
    return result;
}
