#include "plot/logfollower.h"

#include <QFile>
#include <QFileInfo>

#include "plot/logparser.h"

namespace {

// The start of the file, compared on each call, tells a rewritten file that
// has grown past the point read from one that was appended to.
constexpr qint64 kHeadBytes = 64;
// Fewer bytes than this may be the start of a binary log's first record.
constexpr qsizetype kShortestTell = 128;

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
    QFile file(m_strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = QFileInfo(m_strPath).exists()
                ? QStringLiteral("Nie można odczytać pliku „%1”: %2.").arg(m_strPath, file.errorString())
                : QStringLiteral("Plik „%1” nie istnieje.").arg(m_strPath);
        }
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
    if (!file.seek(m_nOffset)) {
        if (error)
            *error = QStringLiteral("Błąd odczytu pliku „%1”: %2.").arg(m_strPath, file.errorString());
        return changed;
    }
    const QByteArray appended = file.read(size - m_nOffset);
    if (!m_parser) {
        const CLogParser::Kind kind = CLogParser::Detect(appended);
        if (kind == CLogParser::Kind::Binary) {
            // The first record of a binary log may not have reached its check mark yet.
            if (appended.size() < kShortestTell)
                return changed;
            if (error)
                *error = QStringLiteral("Plik „%1” nie jest dziennikiem KM302: zawiera dane binarne.").arg(m_strPath);
            return changed;
        }
        m_parser = CLogParser::Create(kind, m_strPath);
        if (!m_parser)
            return changed;
    }
    std::vector<qsizetype> sizes;
    for (const CPlotSeries& s : series)
        sizes.push_back(s.Size());
    m_nOffset += m_parser->Parse(appended, false, series);
    if (m_head.size() < kHeadBytes)
        m_head = head;
    if (series.size() != sizes.size())
        return true;
    for (std::size_t i = 0; i < sizes.size(); ++i)
        changed = changed || series[i].Size() != sizes[i];
    return changed;
}
