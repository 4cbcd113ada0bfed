#include <QByteArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/consoleservices.h"
#include "platform/reportline.h"
#include "platform/servicenotify.h"

namespace {

TEST(ConsoleServices, ABoxIsOneLineAndOnlyOkIsEverAnswered)
{
    EXPECT_EQ(QByteArray("km302: Plik binarny już istnieje. Wybierz Tak\n"),
              ReportLineBytes(QStringLiteral("Plik binarny już istnieje.\r\n  Wybierz Tak\n"),
                              ReportPriority::Info, false));
    EXPECT_EQ(QByteArray("<3>Błąd inicjalizacji DDE!\n"),
              ReportLineBytes(QStringLiteral("Błąd inicjalizacji DDE!"), ReportPriority::Error, true));
    EXPECT_EQ(ReportPriority::Warning, PriorityOfMessageBox(MB_OK | MB_ICONEXCLAMATION));

    // Nobody answers: a question is never taken for "Yes" nor for "No".
    CConsoleServices console;
    EXPECT_EQ(IDOK, console.MessageBox(QStringLiteral("test"), MB_OK | MB_ICONSTOP));
    EXPECT_EQ(IDCANCEL, console.MessageBox(QStringLiteral("test"), MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(IDCANCEL, console.MessageBox(QStringLiteral("test"), MB_OKCANCEL));
}

// The service manager's socket, by path and by abstract name; without one
// nothing is sent.
TEST(ServiceNotify, ReachesTheSocketNamedInTheEnvironment)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath(QStringLiteral("notify")).toStdString();
    const std::string abstractName = "km302-test-" + std::to_string(getpid());
    for (const std::string& name : {path, "@" + abstractName}) {
        const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(fd, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.data(), name.size());
        if (name[0] == '@')
            address.sun_path[0] = '\0';
        ASSERT_EQ(0, ::bind(fd, reinterpret_cast<sockaddr*>(&address),
                            socklen_t(offsetof(sockaddr_un, sun_path) + name.size())));
        ::setenv("NOTIFY_SOCKET", name.c_str(), 1);
        EXPECT_TRUE(NotifyServiceManager("READY=1\nSTATUS=Pomiar prawidłowy."));
        char buffer[128] = {};
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        EXPECT_EQ(std::string("READY=1\nSTATUS=Pomiar prawidłowy."), std::string(buffer, std::size_t(std::max<ssize_t>(got, 0))));
        ::close(fd);
    }
    ::unsetenv("NOTIFY_SOCKET");
    EXPECT_FALSE(NotifyServiceManager("READY=1"));
}

} // namespace
