#include "plot/core/logreader.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <future>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "plot/core/logparser.h"

namespace {

// Parsed between progress calls: a small fraction of a second's work.
constexpr qsizetype kChunk = qsizetype(16) << 20;
// Room before each block for the unparsed end of the one before (a record, or
// a line of a text log, is far shorter).
constexpr qsizetype kRoom = qsizetype(1) << 20;

// The bytes of the log: the file's own, or those a gzip file (a log rotated
// with compression) holds, inflated as they are read.
class Source {
public:
    explicit Source(int fd) : m_fd(fd)
    {
        unsigned char magic[2] = {0, 0};
        if (::pread(fd, magic, 2, 0) == 2 && magic[0] == 0x1f && magic[1] == 0x8b) {
            const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
            m_gz = copy >= 0 ? gzdopen(copy, "rb") : nullptr;
            if (m_gz)
                gzbuffer(m_gz, 1u << 20);
            else if (copy >= 0)
                ::close(copy);
            m_bBroken = !m_gz;
            m_bCompressed = true;
        }
    }
    ~Source()
    {
        if (m_gz)
            gzclose(m_gz);
    }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    // Reads up to kChunk bytes, fewer only at the end; -1 on an error of the
    // file (errno). Compressed data that breaks off or is corrupt ends the
    // bytes there, and Broken() tells.
    qsizetype ReadBlock(char* into)
    {
        qsizetype total = 0;
        while (total < kChunk && !m_bBroken) {
            const qsizetype want = kChunk - total;
            if (m_gz) {
                const int n = gzread(m_gz, into + total, unsigned(std::min<qsizetype>(want, INT_MAX)));
                int code = Z_OK;
                gzerror(m_gz, &code);
                if (n < 0 || (code != Z_OK && code != Z_BUF_ERROR)) {
                    if (code == Z_ERRNO)
                        return -1;
                    m_bBroken = true;
                    break;
                }
                // Z_BUF_ERROR: the file ends inside the compressed data.
                m_bBroken = code == Z_BUF_ERROR;
                if (n == 0)
                    break;
                total += n;
                m_nPosition = gzoffset(m_gz);
                continue;
            }
            const ssize_t n = ::read(m_fd, into + total, std::size_t(want));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return -1;
            if (n == 0)
                break;
            total += n;
            m_nPosition += n;
        }
        return total;
    }
    // Bytes of the file read so far.
    qint64 Position() const { return m_nPosition; }
    bool Compressed() const { return m_bCompressed; }
    bool Broken() const { return m_bBroken; }

private:
    int m_fd;
    gzFile m_gz = nullptr;
    qint64 m_nPosition = 0;
    bool m_bCompressed = false;
    bool m_bBroken = false;
};

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

QString NotAFile(const QString& path, mode_t mode)
{
    return S_ISDIR(mode)
        ? QStringLiteral("%1 jest folderem, a nie plikiem dziennika.").arg(Quoted(path))
        : QStringLiteral("%1 nie jest zwykłym plikiem dziennika, tylko potokiem, gniazdem lub urządzeniem.")
              .arg(Quoted(path));
}

struct FdCloser {
    int fd;
    ~FdCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

int CLogReader::OpenRegular(const QString& path, QString& error)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        error = errno == ENOENT || errno == ENOTDIR
            ? QStringLiteral("Plik %1 nie istnieje.").arg(Quoted(path))
            : QStringLiteral("Nie można otworzyć pliku %1: %2.").arg(Quoted(path), qt_error_string(errno));
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        error = NotAFile(path, st.st_mode);
        return -1;
    }
    // Without blocking: a file swapped for a pipe in between would wait for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno == EACCES || errno == EPERM
            ? QStringLiteral("Brak uprawnień do odczytu pliku %1.").arg(Quoted(path))
            : QStringLiteral("Nie można otworzyć pliku %1: %2.").arg(Quoted(path), qt_error_string(errno));
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = NotAFile(path, st.st_mode);
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool CLogReader::IsCompressed(const QString& path)
{
    QString error;
    const FdCloser file{OpenRegular(path, error)};
    unsigned char magic[2] = {0, 0};
    return file.fd >= 0 && ::pread(file.fd, magic, 2, 0) == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
}

LogReadResult CLogReader::Read(const QString& path, const std::function<bool(double)>& progress)
{
    QString error;
    const FdCloser file{OpenRegular(path, error)};
    if (file.fd < 0)
        return Failure(error);
    struct stat st {};
    ::fstat(file.fd, &st);
    Source source(file.fd);

    // Read in blocks, not mapped: a file cut short by its writer while it is
    // read ends the reading early instead of faulting. The next block is read
    // on another thread while this one is parsed, into the other of two
    // buffers, behind room for the unparsed end of this one.
    const qint64 size = std::max<qint64>(st.st_size, 1);
    std::vector<char> buffers[2] = {std::vector<char>(std::size_t(kRoom + kChunk)),
                                    std::vector<char>(std::size_t(kRoom + kChunk))};
    qsizetype got = source.ReadBlock(buffers[0].data() + kRoom);
    if (got < 0)
        return Failure(QStringLiteral("Błąd odczytu pliku %1: %2.").arg(Quoted(path), qt_error_string(errno)));
    const QByteArrayView first(buffers[0].data() + kRoom, got);
    const CLogParser::Kind kind = CLogParser::Detect(first);
    if (kind == CLogParser::Kind::Empty && source.Broken())
        return Failure(QStringLiteral("Plik %1 jest uszkodzonym archiwum gzip.").arg(Quoted(path)));
    if (kind == CLogParser::Kind::Empty)
        return Failure(QStringLiteral("Plik %1 jest pusty.").arg(Quoted(path)));
    if (kind == CLogParser::Kind::Binary)
        return Failure(QStringLiteral("Plik %1 nie jest dziennikiem KM302: zawiera dane binarne, a nie tekst "
                                      "ani zapisy dziennika binarnego (.vrd).").arg(Quoted(path)));
    const std::unique_ptr<CLogParser> parser = CLogParser::Create(kind, path);
    // The first block tells how many records the whole file holds, a little
    // over (for a compressed file, through the bytes of the file it took).
    const double perByte = double(parser->EstimateRecords(first))
        / double(source.Compressed() ? std::max<qint64>(source.Position(), 1) : got);
    parser->ReserveFirst(qsizetype(perByte * double(size) * 1.02) + 16);

    LogReadResult result;
    qint64 done = 0;
    int current = 0;
    qsizetype begin = kRoom;
    qsizetype end = kRoom + got;
    for (;;) {
        const bool final = got == 0;
        const qint64 position = source.Position();
        std::vector<char>& other = buffers[1 - current];
        std::future<qsizetype> next;
        if (!final)
            next = std::async(std::launch::async, [&source, &other] { return source.ReadBlock(other.data() + kRoom); });
        const qsizetype consumed = parser->Parse(
            QByteArrayView(buffers[current].data() + begin, end - begin), final, result.series);
        done += consumed;
        if (final)
            break;
        got = next.get();
        if (got < 0)
            return Failure(QStringLiteral("Błąd odczytu pliku %1: %2.").arg(Quoted(path), qt_error_string(errno)));
        if (progress && !progress(std::min(1.0, double(source.Compressed() ? position : done) / double(size))))
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
    // Compressed data that breaks off loses what followed: one damaged stretch.
    result.nDamaged = parser->Damaged() + (source.Broken() ? 1 : 0);
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
