#include "tests/e2e/liverig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <csignal>
#include <thread>

namespace {
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSlowdown = 4;
#else
constexpr int kSlowdown = 1;
#endif
}

CLiveRig::CLiveRig() : m_sim(std::make_unique<CSimProcess>()), m_program(m_dir.path(), kTimeScale)
{
}

bool CLiveRig::WriteSettings(bool logs)
{
    if (!QDir().mkpath(FilePath(QStringLiteral("KM302"))))
        return false;
    QByteArray text = "[GENERAL]\r\nPORT_NR=40\r\nSHOW_ADV=0\r\n";
    if (logs) {
        text += "[LOG]\r\nFILE_LOG=1\r\nFILE_LOG_BIN=1\r\nFILE_NAME=" + TextLogPath().toLocal8Bit()
            + "\r\nFILE_NAME_BIN=" + BinaryLogPath().toLocal8Bit() + "\r\nFILE_INTERVAL=1\r\n";
    }
    text += "[PORTS]\r\nCOM40=" + LinkPath().toLocal8Bit() + "\r\n";
    QFile f(SettingsPath());
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
}

bool CLiveRig::StartSim(const std::vector<std::string>& args)
{
    std::vector<std::string> all {"--link", LinkPath().toStdString(), "--serial", std::to_string(kSerialNumber),
                                  "--interval", kFrameInterval};
    all.insert(all.end(), args.begin(), args.end());
    m_sim = std::make_unique<CSimProcess>();
    if (!m_sim->Start(all) || !m_sim->ReadLine(Slack(CSimProcess::kWaitMs)))
        return false;
    // The path is printed once the link points at it.
    return QFileInfo(LinkPath()).isSymLink() && QFileInfo(LinkPath()).exists();
}

int CLiveRig::StopSim(int signal)
{
    m_sim->Signal(signal);
    return m_sim->WaitExit(Slack(CSimProcess::kWaitMs));
}

int CLiveRig::StopProgram()
{
    m_program.Signal(SIGTERM);
    return m_program.WaitExit(Slack(20000));
}

bool CLiveRig::WaitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(Slack(timeoutMs));
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

int CLiveRig::Slack(int ms)
{
    return ms * kSlowdown;
}

QByteArray CLiveRig::ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int CLiveRig::LinesWith(const QByteArray& output, const QString& text)
{
    const QByteArray wanted = text.toUtf8();
    int n = 0;
    for (const QByteArray& line : output.split('\n'))
        n += line.contains(wanted) ? 1 : 0;
    return n;
}
