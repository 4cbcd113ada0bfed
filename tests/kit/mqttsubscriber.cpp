#include "tests/kit/mqttsubscriber.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

bool CMqttSubscriber::Start(const QString& path, int nPort, const std::vector<std::string>& options)
{
    m_path = path;
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    // An empty payload (a removed retained message) stays empty, not "(null)".
    std::vector<std::string> args {"-h", "127.0.0.1", "-p", std::to_string(nPort), "-F", "%t %p"};
    args.insert(args.end(), options.begin(), options.end());
    const bool bStarted = m_process.Start("/usr/bin/mosquitto_sub", args, {}, fd, CChildProcess::kInherit);
    ::close(fd);
    return bStarted;
}

std::vector<std::pair<QString, QByteArray>> CMqttSubscriber::Messages() const
{
    std::vector<std::pair<QString, QByteArray>> out;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (space > 0)
            out.emplace_back(QString::fromUtf8(line.left(space)), line.mid(space + 1));
    }
    return out;
}

std::vector<QByteArray> CMqttSubscriber::On(const QString& topic) const
{
    std::vector<QByteArray> out;
    for (const auto& [t, payload] : Messages()) {
        if (t == topic)
            out.push_back(payload);
    }
    return out;
}
