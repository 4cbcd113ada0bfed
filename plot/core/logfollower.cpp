#include "plot/core/logfollower.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include "plot/core/logparser.h"
#include "plot/core/logreader.h"

namespace {

// The start of the file, compared on each call, tells a rewritten file that
// has grown past the point read from one that was appended to.
constexpr qint64 kHeadBytes = 64;
// Fewer bytes than this may be the start of a binary log's first record.
constexpr qsizetype kShortestTell = 128;
constexpr qint64 kChunk = qint64(16) << 20;

} // namespace

CLogFollower::CLogFollower(QString path) : m_strPath(std::move(path)) {}
CLogFollower::~CLogFollower() = default;
CLogFollower::CLogFollower(CLogFollower&&) noexcept = default;
CLogFollower& CLogFollower::operator=(CLogFollower&&) noexcept = default;

qint64 CLogFollower::Damaged() const
{
    return m_parser ? m_parser->Damaged() : 0;
}

bool CLogFollower::Poll(std::vector<CPlotSeries>& series, QString* error)
{
    QString openError;
    const int fd = CLogReader::OpenRegular(m_strPath, openError);
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        if (error)
            *error = fd < 0 ? openError
                            : QStringLiteral("Nie można odczytać pliku „%1”: %2.").arg(m_strPath, file.errorString());
        return false;
    }
    const qint64 size = file.size();
    bool changed = false;
    const QByteArray head = file.read(std::min(kHeadBytes, size));
    if (size < m_nOffset || (m_nOffset > 0 && !head.startsWith(m_head.left(head.size())))) {
        m_parser.reset();
        m_nOffset = 0;
        m_head.clear();
        changed = !series.empty();
        series.clear();
    }
    if (size == m_nOffset)
        return changed;
    std::vector<qsizetype> sizes;
    for (const CPlotSeries& s : series)
        sizes.push_back(s.Size());
    // In blocks, so that a long file read the first time is never held whole;
    // a block without a whole record is read again larger.
    qint64 want = kChunk;
    while (m_nOffset < size && !(m_cancelled && m_cancelled())) {
        if (!file.seek(m_nOffset)) {
            if (error)
                *error = QStringLiteral("Błąd odczytu pliku „%1”: %2.").arg(m_strPath, file.errorString());
            break;
        }
        const QByteArray data = file.read(std::min(want, size - m_nOffset));
        if (data.isEmpty())
            break;
        if (!m_parser) {
            const CLogParser::Kind kind = CLogParser::Detect(data);
            if (kind == CLogParser::Kind::Binary) {
                // The first record of a binary log may not have reached its check mark yet.
                if (data.size() >= kShortestTell && error)
                    *error = QStringLiteral("Plik „%1” nie jest dziennikiem KM302: zawiera dane binarne.").arg(m_strPath);
                break;
            }
            m_parser = CLogParser::Create(kind, m_strPath);
            if (!m_parser)
                break;
            m_parser->ReserveFirst(qsizetype(double(m_parser->EstimateRecords(data)) / double(data.size())
                                             * double(size - m_nOffset) * 1.02) + 16);
        }
        const qsizetype consumed = m_parser->Parse(data, false, series);
        m_nOffset += consumed;
        if (data.size() < want)
            break;
        want = consumed == 0 ? want * 2 : kChunk;
    }
    if (m_head.size() < kHeadBytes)
        m_head = head;
    if (series.size() != sizes.size())
        return true;
    for (std::size_t i = 0; i < sizes.size(); ++i)
        changed = changed || series[i].Size() != sizes[i];
    return changed;
}
