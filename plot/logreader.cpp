#include "plot/logreader.h"

#include <QFile>
#include <QFileInfo>

#include <memory>

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

    // Read in blocks, not mapped: a file cut short by its writer while it is
    // read ends the reading early instead of faulting.
    const qint64 size = std::max<qint64>(file.size(), 1);
    QByteArray buffer = file.read(kChunk);
    if (file.error() != QFileDevice::NoError)
        return Failure(QStringLiteral("Błąd odczytu pliku %1: %2.").arg(Quoted(path), file.errorString()));
    const CLogParser::Kind kind = CLogParser::Detect(buffer);
    if (kind == CLogParser::Kind::Empty)
        return Failure(QStringLiteral("Plik %1 jest pusty.").arg(Quoted(path)));
    if (kind == CLogParser::Kind::Binary)
        return Failure(QStringLiteral("Plik %1 nie jest dziennikiem KM302: zawiera dane binarne, a nie tekst "
                                      "ani zapisy dziennika binarnego (.vrd).").arg(Quoted(path)));
    const std::unique_ptr<CLogParser> parser = CLogParser::Create(kind, path);
    // The first block tells how many records the whole file holds, a little over.
    const double perByte = double(parser->EstimateRecords(buffer)) / double(std::max<qsizetype>(buffer.size(), 1));
    parser->ReserveFirst(qsizetype(perByte * double(size) * 1.02) + 16);

    LogReadResult result;
    qint64 done = 0;
    for (;;) {
        const QByteArray more = file.read(kChunk);
        if (file.error() != QFileDevice::NoError)
            return Failure(QStringLiteral("Błąd odczytu pliku %1: %2.").arg(Quoted(path), file.errorString()));
        const bool final = more.isEmpty();
        const qsizetype consumed = parser->Parse(buffer, final, result.series);
        done += consumed;
        buffer.remove(0, consumed);
        if (final)
            break;
        buffer += more;
        if (progress && !progress(std::min(1.0, double(done) / double(size))))
            return Failure(QStringLiteral("Wczytywanie pliku %1 przerwano.").arg(Quoted(path)));
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
