#include "tests/kit/childprocess.h"
#include "tests/kit/procstats.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <unistd.h>

namespace {

// A pipe whose write end goes to a child; Output reads the read end to its end.
class CapturePipe {
public:
    CapturePipe() { EXPECT_EQ(0, ::pipe2(m_fds, O_CLOEXEC)); }
    ~CapturePipe()
    {
        CloseWriteEnd();
        ::close(m_fds[0]);
    }
    int WriteEnd() const { return m_fds[1]; }
    void CloseWriteEnd()
    {
        if (m_fds[1] >= 0)
            ::close(m_fds[1]);
        m_fds[1] = -1;
    }
    std::string Output()
    {
        CloseWriteEnd();
        std::string text;
        char buffer[4096];
        for (;;) {
            pollfd ready {m_fds[0], POLLIN, 0};
            if (::poll(&ready, 1, 5000) <= 0)
                break;
            const ssize_t n = ::read(m_fds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            text.append(buffer, size_t(n));
        }
        return text;
    }

private:
    int m_fds[2] = {-1, -1};
};

bool Exists(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

} // namespace

TEST(ChildProcessTest, ReportsTheExitStatusWithStandardInputAtItsEnd)
{
    // A child reading the test runner's terminal would never end.
    CChildProcess child;
    ASSERT_TRUE(child.Start("/bin/sh", {"-c", "cat; exit 3"}));
    EXPECT_EQ(3, child.WaitExit(5000));
    EXPECT_EQ(-1, child.Pid());
    EXPECT_EQ(3, child.WaitExit(5000));
}

TEST(ChildProcessTest, ReportsASignalAs128PlusItsNumber)
{
    CChildProcess child;
    ASSERT_TRUE(child.Start("/bin/sleep", {"30"}));
    EXPECT_TRUE(child.IsRunning());
    child.Signal(SIGTERM);
    EXPECT_EQ(128 + SIGTERM, child.WaitExit(5000));
    EXPECT_FALSE(child.IsRunning());
}

TEST(ChildProcessTest, KillsAndCollectsAChildThatOutlastsTheWait)
{
    CChildProcess child;
    ASSERT_TRUE(child.Start("/bin/sleep", {"30"}));
    const pid_t pid = child.Pid();
    EXPECT_EQ(-1, child.WaitExit(20));
    EXPECT_FALSE(Exists(pid));
    EXPECT_FALSE(child.IsRunning());
}

TEST(ChildProcessTest, DestructorKillsAndCollectsTheChild)
{
    pid_t pid = -1;
    {
        CChildProcess child;
        ASSERT_TRUE(child.Start("/bin/sleep", {"30"}));
        pid = child.Pid();
    }
    EXPECT_FALSE(Exists(pid));
}

TEST(ChildProcessTest, RefusesASecondStartWhileOneRuns)
{
    CChildProcess child;
    ASSERT_TRUE(child.Start("/bin/sleep", {"30"}));
    const pid_t pid = child.Pid();
    EXPECT_FALSE(child.Start("/bin/sleep", {"30"}));
    EXPECT_EQ(pid, child.Pid());
}

TEST(ChildProcessTest, EnvironmentEntriesReplaceInheritedOnesAndAddNewOnes)
{
    ASSERT_EQ(0, ::setenv("KM302_CHILD_OLD", "inherited", 1));
    ASSERT_EQ(0, ::setenv("KM302_CHILD_KEPT", "kept", 1));
    CapturePipe out;
    CChildProcess child;
    ASSERT_TRUE(child.Start("/usr/bin/env", {}, {"KM302_CHILD_OLD=replaced", "KM302_CHILD_NEW=added"},
                            out.WriteEnd()));
    const std::string text = out.Output();
    EXPECT_EQ(0, child.WaitExit(5000));
    ::unsetenv("KM302_CHILD_OLD");
    ::unsetenv("KM302_CHILD_KEPT");

    int old = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("KM302_CHILD_OLD=", 0) == 0) {
            ++old;
            EXPECT_EQ("KM302_CHILD_OLD=replaced", line);
        }
    }
    EXPECT_EQ(1, old) << text;
    EXPECT_NE(std::string::npos, text.find("KM302_CHILD_NEW=added\n")) << text;
    EXPECT_NE(std::string::npos, text.find("KM302_CHILD_KEPT=kept\n")) << text;
}

TEST(ChildProcessTest, StandardErrorGoesWhereItIsSent)
{
    CapturePipe out;
    CapturePipe err;
    CChildProcess child;
    ASSERT_TRUE(child.Start("/bin/sh", {"-c", "echo out; echo err >&2"}, {}, out.WriteEnd(), err.WriteEnd()));
    err.CloseWriteEnd();
    EXPECT_EQ("out\n", out.Output());
    EXPECT_EQ("err\n", err.Output());
    EXPECT_EQ(0, child.WaitExit(5000));
}

TEST(ProcStatsTest, ReadsTheFiguresOfALiveProcessAndNoneOfAGoneOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath(QStringLiteral("open")).toStdString();
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const CProcStats self(::getpid());
    EXPECT_TRUE(self.CpuSeconds().has_value());
    EXPECT_GT(self.ThreadCpuSeconds().value_or(0), 0);
    EXPECT_TRUE(self.ContextSwitches().has_value());
    EXPECT_GT(self.ResidentKb().value_or(0), 0);
    EXPECT_GT(self.ReadCalls().value_or(0), 0);
    EXPECT_TRUE(self.HasOpen(path));
    ::close(fd);
    EXPECT_FALSE(self.HasOpen(path));

    const CProcStats gone(-1);
    EXPECT_FALSE(gone.CpuSeconds() || gone.ThreadCpuSeconds() || gone.ContextSwitches() || gone.ResidentKb()
                 || gone.ReadCalls());
    EXPECT_FALSE(gone.HasOpen(path));
}
