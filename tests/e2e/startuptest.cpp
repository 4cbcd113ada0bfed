// The real km302 in its first moments: a logout that comes while it is still
// reading a large settings file, and settings edited by hand with a window
// larger than any screen and a log path that is not UTF-8.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <unistd.h>

#include "tests/e2e/km302process.h"

namespace {

// Whether process `pid` has a handler for `signal` (SigCgt of /proc/<pid>/status).
bool Catches(pid_t pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) & (1ULL << (signal - 1))) != 0;
    }
    return false;
}

// The one line of `file` that starts with `key` and "=", or "<missing>"/"<twice>".
QByteArray Line(const QByteArray& file, const QByteArray& key)
{
    QByteArray found = "<missing>";
    for (const QByteArray& line : file.split('\n')) {
        if (line.startsWith(key + '='))
            found = found == "<missing>" ? line.chopped(line.endsWith('\r') ? 1 : 0) : QByteArray("<twice>");
    }
    return found;
}

class StartupTest : public ::testing::Test {
protected:
    QString SettingsPath() const { return m_config.filePath(QStringLiteral("KM302/KM302.ini")); }

    void WriteSettings(const QByteArray& bytes)
    {
        ASSERT_TRUE(QDir().mkpath(m_config.filePath(QStringLiteral("KM302"))));
        QFile f(SettingsPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(bytes.size(), f.write(bytes));
    }

    QByteArray Saved() const
    {
        QFile f(SettingsPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir m_config;
};

TEST_F(StartupTest, ASignalWhileAHugeSettingsFileIsReadClosesTheProgramNormally)
{
    QByteArray sections;
    for (int n = 0; n < 40000; ++n)
        sections += "[S" + QByteArray::number(n) + "]\r\nk=" + QByteArray::number(n) + "\r\n";
    for (int delayMs : {0, 20}) {
        SCOPED_TRACE(delayMs);
        WriteSettings(sections + "[GENERAL]\r\nSHOW_ADV=0\r\n");
        CKm302Process program(m_config.path(), 1.0);
        ASSERT_TRUE(program.Start());
        // The program catches the stop signals from the start of main; the
        // old one only once the settings were read, seconds later with a
        // file this size. A bounded wait, then the signal in any case.
        for (int i = 0; i < 250 && !Catches(program.Pid(), SIGTERM); ++i)
            QThread::msleep(20);
        QThread::msleep(delayMs);
        program.Signal(SIGTERM);
        EXPECT_EQ(0, program.WaitExit(60000));
        const QByteArray saved = Saved();
        EXPECT_TRUE(saved.startsWith(sections)) << "the user's sections were lost";
        EXPECT_EQ("SHOW_ADV=0", Line(saved, "SHOW_ADV"));
        EXPECT_EQ("FONT_NAME_PRESSURE=Arial", Line(saved, "FONT_NAME_PRESSURE"));
    }
}

TEST_F(StartupTest, HandEditedSettingsOpenAScreenSizedWindowAndKeepTheirBytes)
{
    QTemporaryDir logs;
    const QByteArray logPath = QFile::encodeName(logs.path()) + "/ci\x9cnienie.txt";   // "ś" in Windows-1250
    WriteSettings("[GENERAL]\r\n PORT_NR = 0 \r\nWINDOW_LEFT=100\r\nWINDOW_TOP=50\r\nWINDOW_RIGHT=1000000\r\n"
                  "WINDOW_BOTTOM=500\r\nSHOW_ADV=0\r\n[LOG]\r\nFILE_NAME=" + logPath
                  + " ; a remark\r\nFILE_LOG=1\r\n");
    // Timers a hundred times faster: the logs open 0.1 s after the start.
    CKm302Process program(m_config.path(), 0.01);
    ASSERT_TRUE(program.Start());
    bool logged = false;
    long largestKb = 0;
    for (int i = 0; i < 100 && program.IsRunning() && !(logged && i >= 30); ++i) {
        QThread::msleep(50);
        logged = ::access(logPath.constData(), F_OK) == 0;
        largestKb = std::max(largestKb, program.Stats().ResidentKb().value_or(0));
    }
    EXPECT_TRUE(logged) << "the log did not open at the path's own bytes";
    // A window a million pixels wide takes hundreds of megabytes a second
    // to paint.
    EXPECT_LT(largestKb, 300 * 1024);
    program.Signal(SIGTERM);
    ASSERT_EQ(0, program.WaitExit(10000));

    const QByteArray saved = Saved();
    EXPECT_EQ("FILE_NAME=" + logPath, Line(saved, "FILE_NAME"));
    EXPECT_EQ(1, saved.count("PORT_NR"));
    const long width = Line(saved, "WINDOW_RIGHT").mid(13).toLong() - Line(saved, "WINDOW_LEFT").mid(12).toLong();
    const long height = Line(saved, "WINDOW_BOTTOM").mid(14).toLong() - Line(saved, "WINDOW_TOP").mid(11).toLong();
    // The offscreen screen is 800 × 800.
    EXPECT_TRUE(width > 0 && width <= 800 && height > 0 && height <= 800) << width << " x " << height;
    ::unlink(logPath.constData());   // a name QDir could not remove
}

} // namespace
