#include "tests/kit/smalltmpfs.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

CSmallTmpfs::CSmallTmpfs(const QString& path) : m_path(QFile::encodeName(path).toStdString())
{
    m_bMounted = QDir().mkpath(path)
        && ::mount("km302-test", m_path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k,mode=0755") == 0;
    m_nError = m_bMounted ? 0 : errno;
}

CSmallTmpfs::~CSmallTmpfs()
{
    if (m_bMounted)
        ::umount2(m_path.c_str(), MNT_DETACH);
}

const char* CSmallTmpfs::Error() const
{
    return std::strerror(m_nError);
}

bool CSmallTmpfs::Fill(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const std::string block(4096, 'f');
    ssize_t put = 0;
    while ((put = ::write(fd, block.data(), block.size())) > 0) {
    }
    const bool full = put < 0 && errno == ENOSPC;
    ::close(fd);
    return full;
}
