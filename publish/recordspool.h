#pragma once
// CRecordSpool: the records that could not be delivered yet (broker down,
// network gone, not yet connected), kept in one file until they are, oldest
// first. Survives a restart and a kill -9 (at most the record being written
// is lost); bounded in bytes, dropping the oldest records when full. One
// thread.
//
// The file: a 24-byte header, then the records one after the other.
//   header: "KM302SP1", the read offset (u64 LE), CRC-32 of those 8 bytes
//           (u32 LE), 4 zero bytes.
//   record: body length (u32 LE), CRC-32 of the body (u32 LE), body =
//           topic length (u16 LE), topic (UTF-8), payload.
// Append writes a whole record at the end with one write and syncs it to the
// disk. Pop only moves the read offset and rewrites those 12 header bytes in
// place (no sync): after a crash the last few delivered records may be sent
// again, which a QoS 1 receiver has to accept anyway, and none is lost. When
// the spool is drained the file is cut back to its header; when the records
// already passed take more room than half the bound, the live ones are
// copied to a new file that then replaces the old one (rename), so the file
// stays below about one and a half times the bound.
//
// Opening checks every record from the read offset on. A record cut short at
// the end (a write torn by a kill) is cut off. Anything else that does not
// check (a bad header, a bad record in the middle) means the file is
// damaged: it is renamed to <path>.damaged, kept for whoever wants to look,
// and a new file starts with the records that were still good before the
// damage.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

class CRecordSpool {
public:
    struct Record {
        QString topic;
        QByteArray payload;
    };
    struct AppendResult {
        bool bStored = false;   // false: the file cannot be written (disk full, gone)
        int nDropped = 0;       // oldest records dropped to make room
        bool bFirstDrop = false; // the first drop since the spool was last empty: say so once
    };

    CRecordSpool(const QString& path, qint64 nBoundBytes);
    ~CRecordSpool();
    CRecordSpool(const CRecordSpool&) = delete;
    CRecordSpool& operator=(const CRecordSpool&) = delete;

    // Opens or creates the file (and its folder). False when it cannot be
    // opened or created at all.
    bool Open();
    AppendResult Append(const QString& topic, const QByteArray& payload);
    // The oldest record after `nSkip` others (so several can be on their
    // way at once), left in the spool; none when there are not that many.
    std::optional<Record> Peek(int nSkip = 0);
    // Removes the oldest record, once it is delivered.
    void Pop();
    bool IsEmpty() const { return m_nHead == m_nEnd; }
    // Bytes of the records still waiting.
    qint64 Bytes() const { return m_nEnd - m_nHead; }
    // Where Open put a damaged file; empty when it found none.
    QString DamagedPath() const { return m_damagedPath; }

    // $XDG_STATE_HOME/km302, by default ~/.local/state/km302.
    static QString DefaultFolder();
    // The spool of the settings file `name` ("KM302" by default) there.
    static QString DefaultPath(const QString& name);

    static constexpr qint64 kHeaderSize = 24;
    static constexpr qint64 kRecordHeaderSize = 8;
    static constexpr quint32 kMaxBody = 1 << 20;

private:
    enum class EScan { Clean, Torn, Damaged };
    bool Load();
    EScan Scan(qint64& nGoodEnd);
    bool StartOver(qint64 nCopyFrom, qint64 nCopyTo);
    bool Rewrite(const QString& fromPath, qint64 nCopyFrom, qint64 nCopyTo);
    bool WriteHead();
    qint64 RecordSizeAt(qint64 nPos);
    void Compact();

    QString m_path;
    qint64 m_nBound;
    QFile m_file;
    qint64 m_nHead = kHeaderSize;
    qint64 m_nEnd = kHeaderSize;
    bool m_bDropping = false;
    QString m_damagedPath;
};
