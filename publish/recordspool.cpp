#include "publish/recordspool.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>

#include <unistd.h>

#include <array>

namespace {

constexpr char kMagic[8] = {'K', 'M', '3', '0', '2', 'S', 'P', '1'};

// CRC-32 (IEEE 802.3, as zlib's crc32).
quint32 Crc32(const char* p, qint64 n)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (qint64 i = 0; i < n; ++i)
        c = table[(c ^ static_cast<unsigned char>(p[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray Header(qint64 nHead)
{
    QByteArray h(CRecordSpool::kHeaderSize, '\0');
    memcpy(h.data(), kMagic, sizeof kMagic);
    qToLittleEndian<quint64>(quint64(nHead), h.data() + 8);
    qToLittleEndian<quint32>(Crc32(h.constData() + 8, 8), h.data() + 16);
    return h;
}

bool WriteAt(QFile& file, qint64 nPos, const QByteArray& bytes)
{
    return file.seek(nPos) && file.write(bytes) == bytes.size();
}

QByteArray ReadAt(QFile& file, qint64 nPos, qint64 n)
{
    if (!file.seek(nPos))
        return QByteArray();
    return file.read(n);
}

} // namespace

CRecordSpool::CRecordSpool(const QString& path, qint64 nBoundBytes) : m_path(path), m_nBound(nBoundBytes), m_file(path)
{
}

CRecordSpool::~CRecordSpool() = default;

QString CRecordSpool::DefaultFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/km302");
}

QString CRecordSpool::DefaultPath(const QString& name)
{
    return DefaultFolder() + QLatin1Char('/') + name + QStringLiteral(".spool");
}

bool CRecordSpool::Open()
{
    m_damagedPath.clear();
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    m_file.close();
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return false;
    return Load();
}

bool CRecordSpool::Load()
{
    const qint64 nSize = m_file.size();
    if (nSize == 0) {
        m_nHead = m_nEnd = kHeaderSize;
        return WriteAt(m_file, 0, Header(m_nHead));
    }
    const QByteArray h = ReadAt(m_file, 0, kHeaderSize);
    if (h.size() < kHeaderSize || memcmp(h.constData(), kMagic, sizeof kMagic) != 0)
        return StartOver(0, 0);

    // A read offset that does not check only sends delivered records again.
    m_nHead = qint64(qFromLittleEndian<quint64>(h.constData() + 8));
    if (qFromLittleEndian<quint32>(h.constData() + 16) != Crc32(h.constData() + 8, 8) || m_nHead < kHeaderSize ||
        m_nHead > nSize)
        m_nHead = kHeaderSize;

    qint64 nGoodEnd = m_nHead;
    switch (Scan(nGoodEnd)) {
    case EScan::Clean:
        m_nEnd = nGoodEnd;
        return true;
    case EScan::Torn:
        m_nEnd = nGoodEnd;
        return m_file.resize(m_nEnd);
    case EScan::Damaged:
        return StartOver(m_nHead, nGoodEnd);
    }
    return false;
}

// Checks the records from the read offset on; nGoodEnd ends the last good one.
CRecordSpool::EScan CRecordSpool::Scan(qint64& nGoodEnd)
{
    const qint64 nSize = m_file.size();
    qint64 nPos = nGoodEnd;
    while (nPos < nSize) {
        const qint64 nLeft = nSize - nPos;
        if (nLeft < kRecordHeaderSize)
            return EScan::Torn;
        const QByteArray rh = ReadAt(m_file, nPos, kRecordHeaderSize);
        if (rh.size() != kRecordHeaderSize)
            return EScan::Damaged;
        const quint32 nBody = qFromLittleEndian<quint32>(rh.constData());
        if (qint64(nBody) > nLeft - kRecordHeaderSize)
            return EScan::Torn;
        if (nBody < 2 || nBody > kMaxBody)
            return EScan::Damaged;
        const QByteArray body = m_file.read(nBody);
        const bool bEndsFile = nPos + kRecordHeaderSize + nBody == nSize;
        if (body.size() != qint64(nBody) || qFromLittleEndian<quint32>(rh.constData() + 4) != Crc32(body.constData(), nBody) ||
            qFromLittleEndian<quint16>(body.constData()) > nBody - 2)
            return bEndsFile ? EScan::Torn : EScan::Damaged;
        nPos += kRecordHeaderSize + nBody;
        nGoodEnd = nPos;
    }
    return EScan::Clean;
}

// Puts the damaged file aside and starts a new one with its good records
// [nCopyFrom, nCopyTo).
bool CRecordSpool::StartOver(qint64 nCopyFrom, qint64 nCopyTo)
{
    m_file.close();
    m_damagedPath = m_path + QStringLiteral(".damaged");
    QFile::remove(m_damagedPath);
    if (!QFile::rename(m_path, m_damagedPath)) {
        m_damagedPath.clear();
        return false;
    }
    return Rewrite(m_damagedPath, nCopyFrom, nCopyTo);
}

// Makes m_path a new spool holding the records [nCopyFrom, nCopyTo) of
// `fromPath`, written beside it and renamed over it.
bool CRecordSpool::Rewrite(const QString& fromPath, qint64 nCopyFrom, qint64 nCopyTo)
{
    const QString tmpPath = m_path + QStringLiteral(".new");
    QFile out(tmpPath);
    QFile in(fromPath);
    bool bOk = out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(Header(kHeaderSize)) == kHeaderSize;
    if (bOk && nCopyTo > nCopyFrom) {
        bOk = in.open(QIODevice::ReadOnly) && in.seek(nCopyFrom);
        for (qint64 nLeft = nCopyTo - nCopyFrom; bOk && nLeft > 0;) {
            const QByteArray chunk = in.read(qMin<qint64>(nLeft, 1 << 20));
            bOk = !chunk.isEmpty() && out.write(chunk) == chunk.size();
            nLeft -= chunk.size();
        }
    }
    bOk = bOk && out.flush() && ::fsync(out.handle()) == 0;
    out.close();
    in.close();
    m_file.close();
    if (!bOk) {
        QFile::remove(tmpPath);
        // Still usable when the old file is: the caller keeps what it had.
        return m_file.open(QIODevice::ReadWrite | QIODevice::Unbuffered) && m_file.size() >= kHeaderSize;
    }
    if (::rename(QFile::encodeName(tmpPath).constData(), QFile::encodeName(m_path).constData()) != 0)
        return false;
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return false;
    m_nHead = kHeaderSize;
    m_nEnd = m_file.size();
    return true;
}

bool CRecordSpool::WriteHead()
{
    return WriteAt(m_file, 8, Header(m_nHead).mid(8, 12));
}

qint64 CRecordSpool::RecordSizeAt(qint64 nPos)
{
    const QByteArray rh = ReadAt(m_file, nPos, kRecordHeaderSize);
    if (rh.size() != kRecordHeaderSize)
        return 0;
    return kRecordHeaderSize + qFromLittleEndian<quint32>(rh.constData());
}

CRecordSpool::AppendResult CRecordSpool::Append(const QString& topic, const QByteArray& payload)
{
    AppendResult result;
    if (!m_file.isOpen())
        return result;
    const QByteArray topicUtf8 = topic.toUtf8();
    QByteArray record(kRecordHeaderSize + 2, '\0');
    qToLittleEndian<quint16>(quint16(qMin<qsizetype>(topicUtf8.size(), 0xFFFF)), record.data() + kRecordHeaderSize);
    record += topicUtf8.left(0xFFFF);
    record += payload;
    const qint64 nBody = record.size() - kRecordHeaderSize;
    if (nBody > kMaxBody || record.size() > m_nBound)
        return result;
    qToLittleEndian<quint32>(quint32(nBody), record.data());
    qToLittleEndian<quint32>(Crc32(record.constData() + kRecordHeaderSize, nBody), record.data() + 4);

    while (m_nHead < m_nEnd && Bytes() + record.size() > m_nBound) {
        const qint64 n = RecordSizeAt(m_nHead);
        if (n <= kRecordHeaderSize)
            break;
        m_nHead += n;
        ++result.nDropped;
    }
    if (result.nDropped > 0) {
        result.bFirstDrop = !m_bDropping;
        m_bDropping = true;
        WriteHead();
        if (m_nHead - kHeaderSize > m_nBound / 2)
            Compact();
    }

    if (!WriteAt(m_file, m_nEnd, record)) {
        m_file.resize(m_nEnd);
        return result;
    }
    m_nEnd += record.size();
    ::fdatasync(m_file.handle());
    result.bStored = true;
    return result;
}

void CRecordSpool::Compact()
{
    const qint64 nHead = m_nHead;
    const qint64 nEnd = m_nEnd;
    if (!Rewrite(m_path, nHead, nEnd)) {
        // The old file stays as it was.
        m_nHead = nHead;
        m_nEnd = nEnd;
    }
}

std::optional<CRecordSpool::Record> CRecordSpool::Peek(int nSkip)
{
    qint64 nPos = m_nHead;
    for (int i = 0; i < nSkip && nPos < m_nEnd; ++i) {
        const qint64 n = RecordSizeAt(nPos);
        if (n <= kRecordHeaderSize)
            return std::nullopt;
        nPos += n;
    }
    if (nPos >= m_nEnd)
        return std::nullopt;
    const qint64 n = RecordSizeAt(nPos);
    const QByteArray body = m_file.read(n - kRecordHeaderSize);
    if (n <= kRecordHeaderSize + 2 || body.size() != n - kRecordHeaderSize)
        return std::nullopt;
    const quint16 nTopic = qFromLittleEndian<quint16>(body.constData());
    if (nTopic > body.size() - 2)
        return std::nullopt;
    return Record{QString::fromUtf8(body.constData() + 2, nTopic), body.mid(2 + nTopic)};
}

void CRecordSpool::Pop()
{
    if (IsEmpty())
        return;
    const qint64 n = RecordSizeAt(m_nHead);
    m_nHead = (n > kRecordHeaderSize && m_nHead + n <= m_nEnd) ? m_nHead + n : m_nEnd;
    if (IsEmpty()) {
        m_nHead = m_nEnd = kHeaderSize;
        m_file.resize(kHeaderSize);
        m_bDropping = false;
    }
    WriteHead();
}
