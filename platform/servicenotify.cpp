#include "platform/servicenotify.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

bool NotifyServiceManager(const QByteArray& state)
{
    const char* name = std::getenv("NOTIFY_SOCKET");
    if (!name || (name[0] != '/' && name[0] != '@'))
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t length = std::strlen(name);
    if (length >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, name, length);
    if (name[0] == '@')
        address.sun_path[0] = '\0';
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const auto size = socklen_t(offsetof(sockaddr_un, sun_path) + length);
    const bool sent = ::sendto(fd, state.constData(), size_t(state.size()), MSG_NOSIGNAL,
                               reinterpret_cast<const sockaddr*>(&address), size)
                      == state.size();
    ::close(fd);
    return sent;
}
