#include "plot/logreader.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <memory>
#include <vector>

#include "plot/logparser.h"

namespace {

// Parsed between progress calls: a small fraction of a second's work.
constexpr qsizetype kChunk = qsizetype(16) << 20;

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

    // Read in blocks into one buffer, not mapped: a file cut short by its
    // writer while it is read ends the reading early instead of faulting.
    const qint64 size = std::max<qint64>(file.size(), 1);
    std::vector<char> buffer(std::size_t(2 * kChunk));
    qsizetype filled = 0;   // bytes of the buffer holding unparsed data
    const auto readMore = [&]() -> qsizetype {
        if (buffer.size() < std::size_t(filled + kChunk))
            buffer.resize(std::size_t(filled + kChunk));
        return file.read(buffer.data() + filled, kChunk);
    };
    qsizetype got = readMore();
    if (got < 0)
        return Failure(QStringLiteral("Błąd odczytu pliku %1: %2.").arg(Quoted(path), file.errorString()));
    filled = got;
    const CLogParser::Kind kind = CLogParser::Detect(QByteArrayView(buffer.data(), filled));
    if (kind == CLogParser::Kind::Empty)
        return Failure(QStringLiteral("Plik %1 jest pusty.").arg(Quoted(path)));
    if (kind == CLogParser::Kind::Binary)
        return Failure(QStringLiteral("Plik %1 nie jest dziennikiem KM302: zawiera dane binarne, a nie tekst "
                                      "ani zapisy dziennika binarnego (.vrd).").arg(Quoted(path)));
    const std::unique_ptr<CLogParser> parser = CLogParser::Create(kind, path);
    // The first block tells how many records the whole file holds, a little over.
    const double perByte = double(parser->EstimateRecords(QByteArrayView(buffer.data(), filled))) / double(filled);
    parser->ReserveFirst(qsizetype(perByte * double(size) * 1.02) + 16);

    LogReadResult result;
    qint64 done = 0;
    for (;;) {
        const bool final = got == 0;
        const qsizetype consumed = parser->Parse(QByteArrayView(buffer.data(), filled), final, result.series);
        done += consumed;
        if (final)
            break;
        std::memmove(buffer.data(), buffer.data() + consumed, std::size_t(filled - consumed));
        filled -= consumed;
        if (progress && !progress(std::min(1.0, double(done) / double(size))))
            return Failure(QStringLiteral("Wczytywanie pliku %1 przerwano.").arg(Quoted(path)));
        got = readMore();
        if (got < 0)
            return Failure(QStringLiteral("Błąd odczytu pliku %1: %2.").arg(Quoted(path), file.errorString()));
        filled += got;
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
