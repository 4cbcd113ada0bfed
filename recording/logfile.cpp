#include "recording/logfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/rawutf8.h"
#include "platform/services.h"
#include "platform/stringtable.h"

namespace {

// O_APPEND: every write lands at the current end, as the records must.
// O_NONBLOCK: a character device that cannot take the bytes (a terminal)
// fails the write instead of freezing the window.
constexpr int kOpenFlags = O_RDWR | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// Opens the file or creates it; `existed` says which (an empty file exists).
int OpenOrCreate(const QByteArray& name, bool& existed)
{
    int fd = ::open(name.constData(), kOpenFlags);
    if (fd >= 0) {
        existed = true;
        return fd;
    }
    if (errno != ENOENT)
        return -1;
    existed = false;
    fd = ::open(name.constData(), kOpenFlags | O_CREAT | O_EXCL, 0666);
    if (fd >= 0 || errno != EEXIST)
        return fd;
    // A symbolic link to a file that does not exist yet (O_EXCL does not
    // follow links), or a file made by someone else a moment ago.
    return ::open(name.constData(), kOpenFlags | O_CREAT, 0666);
}

int WriteAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        data += n;
        size -= n;
    }
    return 0;
}

int SyncData(int fd, bool regular)
{
    while (::fdatasync(fd) != 0) {
        if (errno == EINTR)
            continue;
        // Devices such as /dev/null have nothing to synchronise.
        if (!regular && (errno == EINVAL || errno == EROFS))
            return 0;
        return errno;
    }
    return 0;
}

} // namespace

CLogFile::~CLogFile()
{
    Close();
}

LogOpenResult CLogFile::Open(const QString& path, bool ask, unsigned questionId)
{
    Close();
    m_path = path;
    // An empty path has no reason to tell beyond the message itself.
    m_nLastError = 0;
    if (path.isEmpty())
        return LogOpenResult::Failed;

    bool existed = false;
    const int fd = OpenOrCreate(CRawUtf8::Encode(path), existed);
    if (fd < 0) {
        m_nLastError = errno;
        return LogOpenResult::Failed;
    }
    const auto fail = [this, fd](int error) {
        ::close(fd);
        m_nLastError = error;
        return LogOpenResult::Failed;
    };
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return fail(errno);
    if (S_ISDIR(info.st_mode))
        return fail(EISDIR);
    if (!(S_ISREG(info.st_mode) || S_ISCHR(info.st_mode)))
        return fail(EINVAL);
    // Taken before the question, so that a file another program is writing
    // is never emptied. Devices (/dev/null) are shared by everyone: no lock.
    if (S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);

    LogOpenResult result = existed ? LogOpenResult::Appended : LogOpenResult::Created;
    if (existed && ask) {
        const int answer = Services().MessageBox(LoadString(questionId), MB_YESNO | MB_ICONQUESTION);
        if (answer == IDNO) {
            if (S_ISREG(info.st_mode) && ::ftruncate(fd, 0) != 0)
                return fail(errno);
            result = LogOpenResult::Emptied;
        } else if (answer == IDYES) {
            result = LogOpenResult::AppendedByAnswer;
        }
    }
    m_fd = fd;
    m_nLastError = 0;
    return result;
}

int CLogFile::Append(const QByteArray& bytes)
{
    if (m_fd < 0)
        return EBADF;
    struct stat info {};
    if (::fstat(m_fd, &info) != 0)
        return errno;
    const bool regular = S_ISREG(info.st_mode);

    int error = WriteAll(m_fd, bytes.constData(), bytes.size());
    if (error == 0)
        error = SyncData(m_fd, regular);
    if (error != 0 && regular) {
        // What part of the bytes reached the file is cut off again: a reader
        // finds only whole lines and whole records.
        while (::ftruncate(m_fd, info.st_size) != 0 && errno == EINTR) {
        }
    }
    return error;
}

void CLogFile::Close()
{
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
}
