#include "tools/devicelink.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

CDeviceLink::CDeviceLink(std::string path)
    : m_sPath(std::move(path))
{
}

CDeviceLink::~CDeviceLink()
{
    Remove();
}

bool CDeviceLink::PointAt(const std::string& target, std::string& error)
{
    if (m_sPath.empty())
        return true;
    struct stat st {};
    if (lstat(m_sPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = m_sPath + " exists and is not a symbolic link; it is left as it is";
        return false;
    }
    const std::string temporary = m_sPath + ".km302-sim." + std::to_string(getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0) {
        error = "cannot make the link " + temporary + ": " + std::strerror(errno);
        return false;
    }
    if (std::rename(temporary.c_str(), m_sPath.c_str()) != 0) {
        error = "cannot make the link " + m_sPath + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    m_sTarget = target;
    return true;
}

void CDeviceLink::Remove()
{
    if (m_sPath.empty() || m_sTarget.empty())
        return;
    std::array<char, 4096> buffer {};
    const ssize_t length = ::readlink(m_sPath.c_str(), buffer.data(), buffer.size() - 1);
    if (length >= 0 && std::string(buffer.data(), size_t(length)) == m_sTarget)
        ::unlink(m_sPath.c_str());
    m_sTarget.clear();
}
