#pragma once
// CLiveRig: the real km302 and the real km302-sim on one bench. A private
// folder holds the settings (XDG_CONFIG_HOME), the simulator's link (the
// pseudo-terminal that km302 knows as COM40) and both logs. The simulator can
// be stopped and started again on the same link, as an adapter is unplugged
// and plugged in again.
//
// Waits are bounded polls; their bounds are generous and grow in the slower
// sanitizer build, and no test reads anything into how long a wait took.
//
// Owns the folder (removed with it), the simulator and the program process.
// Test thread only.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/km302process.h"
#include "tests/tools/simprocess.h"

class CLiveRig {
public:
    static constexpr int kSerialNumber = 1234;
    // Window timers run ten times faster: logs open after 1 s, the
    // no-communication timeout is 0.5 s, a 1 s recording interval is 0.1 s.
    static constexpr double kTimeScale = 0.1;
    // Frames every 0.1 s, well inside the shortened timeout.
    static constexpr const char* kFrameInterval = "0.1";

    CLiveRig();

    bool IsValid() const { return m_dir.isValid(); }
    QString FilePath(const QString& name) const { return m_dir.filePath(name); }
    QString LinkPath() const { return FilePath(QStringLiteral("km302-port")); }
    QString TextLogPath() const { return FilePath(QStringLiteral("pomiary.txt")); }
    QString BinaryLogPath() const { return FilePath(QStringLiteral("pomiary.vrd")); }
    QString SettingsPath() const { return FilePath(QStringLiteral("KM302/KM302.ini")); }

    // Settings of a user who chose COM40 (the link), no promotion, and, with
    // `logs`, both logs in the folder every second.
    bool WriteSettings(bool logs);

    // Starts the simulator on the link with its serial number and frame
    // interval and then `args`; true once its link points at the terminal.
    bool StartSim(const std::vector<std::string>& args = {});
    CSimProcess& Sim() { return *m_sim; }
    // Signals the simulator and collects it; its exit status.
    int StopSim(int signal);

    bool StartProgram() { return m_program.Start(); }
    CKm302Process& Program() { return m_program; }
    // SIGTERM, as a logout; the exit status.
    int StopProgram();

    // Polls `condition` every 20 ms until it holds or `timeoutMs` (stretched
    // in the sanitizer build) has passed; whether it held.
    static bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);
    // `ms` stretched in the sanitizer build.
    static int Slack(int ms);

    static QByteArray ReadFile(const QString& path);
    // Lines of `output` (e.g. the program's standard error) that contain `text`.
    static int LinesWith(const QByteArray& output, const QString& text);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CSimProcess> m_sim;
    CKm302Process m_program;
};
