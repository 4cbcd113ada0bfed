// The real km302 binary, started as a user would start it, with its own
// settings folder; stopped with a signal as a logout would stop it.

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Whether process `pid` has a handler for `signal` (SigCgt of /proc/<pid>/status).
bool Catches(pid_t pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:")) {
            bool ok = false;
            const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
            return ok && (mask & (1ULL << (signal - 1))) != 0;
        }
    }
    return false;
}

class ProgramTest : public ::testing::Test {
protected:
    QString SettingsPath() const { return config.filePath(QStringLiteral("KM302/KM302.ini")); }

    void WriteSettings(const QByteArray& bytes)
    {
        QDir().mkpath(config.filePath(QStringLiteral("KM302")));
        QFile f(SettingsPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    // Runs km302 for `ms`, then sends `signal`; returns the exit code (-1 on a crash).
    int RunFor(int ms, int signal = SIGTERM)
    {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(KM302_PATH), {});
        if (!program.waitForStarted(10000))
            return -2;
        QThread::msleep(ms);
        // A signal that comes before the program has installed its handler
        // would end it the default way; wait (bounded) until it is caught.
        const pid_t pid = pid_t(program.processId());
        for (int i = 0; i < 400 && !Catches(pid, signal); ++i)
            QThread::msleep(50);
        ::kill(pid, signal);
        if (!program.waitForFinished(20000)) {
            program.kill();
            program.waitForFinished();
            return -3;
        }
        return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    }

    QTemporaryDir config;
};

TEST_F(ProgramTest, FirstRunStopsWithAModalDialogOpenAndWritesTheDefaults)
{
    // With no port stored the port dialog opens half a second after the
    // window; the signal arrives while it is open.
    EXPECT_EQ(0, RunFor(1500, SIGTERM));
    const QByteArray file = ReadAll(SettingsPath());
    EXPECT_TRUE(file.startsWith("[PRESSURE]\r\nBACKGROUND_PRESSURE=16770250\r\nTEXT_PRESSURE=8404992\r\n"
                                "FONT_HEIGHT_PRESSURE=60\r\nFONT_NAME_PRESSURE=Arial\r\n"))
        << file.toStdString();
    EXPECT_TRUE(file.contains("[GENERAL]\r\nPORT_NR=0\r\nWINDOW_TOP=100\r\nWINDOW_BOTTOM=500\r\n"
                              "WINDOW_LEFT=100\r\nWINDOW_RIGHT=700\r\nTOPMOST=0\r\nLANGUAGE=\r\nSHOW_ADV=1\r\n"
                              "[LOG]\r\n"));
}

TEST_F(ProgramTest, AnUnchangedRunLeavesTheFileUntouched)
{
    ASSERT_EQ(0, RunFor(300, SIGINT));
    const QByteArray before = ReadAll(SettingsPath());
    const QDateTime modified = QFileInfo(SettingsPath()).lastModified();
    QThread::msleep(1100);   // a rewrite would show in the modification time
    ASSERT_EQ(0, RunFor(300, SIGHUP));
    EXPECT_EQ(before, ReadAll(SettingsPath()));
    EXPECT_EQ(modified, QFileInfo(SettingsPath()).lastModified());
}

TEST_F(ProgramTest, ARemarkIsDroppedAndTheRestKept)
{
    WriteSettings("[GENERAL]\r\nPORT_NR=0 ; no instrument yet\r\nTOPMOST=1\r\n[PORTS]\r\nCOM40=/tmp/nowhere\r\n");
    ASSERT_EQ(0, RunFor(300));
    const QByteArray file = ReadAll(SettingsPath());
    EXPECT_TRUE(file.startsWith("[GENERAL]\r\nPORT_NR=0\r\nTOPMOST=1\r\n")) << file.toStdString();
    EXPECT_TRUE(file.contains("[PORTS]\r\nCOM40=/tmp/nowhere\r\n"));
}

TEST_F(ProgramTest, DamagedSettingsStartWithDefaultsAndExitCleanly)
{
    // Embedded NUL bytes: the size comes from the array, not from strlen.
    static const char damaged[] =
        "\xEF\xBB\xBF[GENERAL\r\n\0\0\xFF\xFE=\r\n[PRESSURE]\r\nFONT_HEIGHT_PRESSURE=-2147483648\r\n"
        "FONT_NAME_PRESSURE=\r\nWINDOW_LEFT=abc\r\n[GENERAL]\r\nWINDOW_RIGHT=99999999999\r\n"
        "WINDOW_BOTTOM=-5\r\nPORT_NR=999\r\n";
    QByteArray garbage(damaged, sizeof damaged - 1);
    garbage.append(QByteArray(200000, 'x'));
    WriteSettings(garbage);
    EXPECT_EQ(0, RunFor(800));
    const QByteArray file = ReadAll(SettingsPath());
    EXPECT_TRUE(file.contains("BACKGROUND_PRESSURE=16770250\r\n"));
}

} // namespace
