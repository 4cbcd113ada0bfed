#include "tests/kit/childprocess.h"

#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// "NAME=" of an environment entry.
std::string NameOf(const std::string& entry)
{
    return entry.substr(0, entry.find('=') + 1);
}

std::vector<char*> Pointers(std::vector<std::string>& words)
{
    std::vector<char*> pointers;
    for (std::string& word : words)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

CChildProcess::~CChildProcess()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

bool CChildProcess::Start(const std::string& path, const std::vector<std::string>& args,
                          const std::vector<std::string>& env, int stdoutFd, int stderrFd)
{
    if (m_pid > 0)
        return false;
    // Everything the child needs is built here: after the fork only
    // async-signal-safe calls may run, since another thread of this process
    // may hold the allocator's lock.
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text(*entry);
        bool replaced = false;
        for (const std::string& mine : env)
            replaced = replaced || NameOf(text) == NameOf(mine);
        if (!replaced)
            entries.push_back(text);
    }
    entries.insert(entries.end(), env.begin(), env.end());
    std::vector<char*> envp = Pointers(entries);
    std::vector<std::string> words {path};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv = Pointers(words);

    const pid_t parent = ::getpid();
    m_startedAt = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        // The parent may have died before the signal was armed.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (null >= 0)
            ::dup2(null, 0);
        if (stdoutFd >= 0)
            ::dup2(stdoutFd, 1);
        if (stderrFd >= 0)
            ::dup2(stderrFd, 2);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    m_pid = pid;
    m_nStatus = -1;
    return true;
}

bool CChildProcess::Reap(int options)
{
    if (m_pid <= 0)
        return true;
    int status = 0;
    if (::waitpid(m_pid, &status, options) != m_pid)
        return false;
    m_pid = -1;
    if (WIFEXITED(status))
        m_nStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        m_nStatus = 128 + WTERMSIG(status);
    return true;
}

bool CChildProcess::IsRunning()
{
    return !Reap(WNOHANG);
}

void CChildProcess::Signal(int signal)
{
    if (m_pid > 0)
        ::kill(m_pid, signal);
}

int CChildProcess::WaitExit(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!Reap(WNOHANG)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return m_nStatus;
}
