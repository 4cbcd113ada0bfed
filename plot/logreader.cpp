#include "plot/logreader.h"

#include <QCoreApplication>
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

    // A mapped file is parsed where it lies in the page cache; a file that
    // cannot be mapped (a device, a pipe) is read whole.
    QByteArray readBytes;
    QByteArrayView bytes;
    const qint64 size = file.size();
    uchar* mapped = size > 0 ? file.map(0, size) : nullptr;
    if (mapped) {
        bytes = QByteArrayView(reinterpret_cast<const char*>(mapped), size);
    } else {
        readBytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return Failure(QStringLiteral("Błąd odczytu pliku %1: %2.").arg(Quoted(path), file.errorString()));
        bytes = readBytes;
    }

    const CLogParser::Kind kind = CLogParser::Detect(bytes);
    if (kind == CLogParser::Kind::Empty)
        return Failure(QStringLiteral("Plik %1 jest pusty.").arg(Quoted(path)));
    if (kind == CLogParser::Kind::Binary)
        return Failure(QStringLiteral("Plik %1 nie jest dziennikiem KM302: zawiera dane binarne, a nie tekst "
                                      "ani zapisy dziennika binarnego (.vrd).").arg(Quoted(path)));
    const std::unique_ptr<CLogParser> parser = CLogParser::Create(kind, path);
    parser->ReserveFirst(parser->EstimateRecords(bytes));

    LogReadResult result;
    qsizetype offset = 0;
    while (offset < bytes.size()) {
        const qsizetype end = std::min(bytes.size(), offset + kChunk);
        const bool final = end == bytes.size();
        const qsizetype consumed = parser->Parse(bytes.sliced(offset, end - offset), final, result.series);
        // A chunk holding no whole record grows until it does.
        offset += consumed;
        if (consumed == 0 && !final) {
            const qsizetype rest = parser->Parse(bytes.sliced(offset), true, result.series);
            offset += rest;
        }
        if (progress && !progress(double(offset) / double(bytes.size())))
            return Failure(QStringLiteral("Wczytywanie pliku %1 przerwano.").arg(Quoted(path)));
    }
    result.nDamaged = parser->Damaged();
    if (result.series.empty()) {
        result.strError = result.nDamaged > 0
            ? QStringLiteral("Plik %1 nie zawiera żadnego poprawnego zapisu pomiaru (uszkodzonych: %2).")
                  .arg(Quoted(path)).arg(result.nDamaged)
            : QStringLiteral("Plik %1 nie zawiera żadnego zapisu pomiaru.").arg(Quoted(path));
        return result;
    }
    // Room reserved for one instrument's records that others took is returned.
    if (result.series.size() > 1) {
        for (CPlotSeries& series : result.series) {
            series.m_times.shrink_to_fit();
            series.m_values.shrink_to_fit();
        }
    }
    return result;
}
