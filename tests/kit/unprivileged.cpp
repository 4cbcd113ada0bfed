#include "tests/kit/unprivileged.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <grp.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

int RunUnprivileged(const std::function<int()>& body, int timeoutMs)
{
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::geteuid() == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setresgid(kUnprivilegedGid, kUnprivilegedGid, kUnprivilegedGid) != 0
                || ::setresuid(kUnprivilegedUid, kUnprivilegedUid, kUnprivilegedUid) != 0)
                ::_exit(255);
        }
        ::_exit(body() & 0xFF);
    }
    // Polled rather than blocked on, so a body that hangs is ended.
    int status = 0;
    for (int waited = 0;; waited += 5) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return -1;
        if (waited >= timeoutMs) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

bool GiveToUnprivileged(const std::string& path)
{
    namespace fs = std::filesystem;
    if (::geteuid() != 0)
        return true;
    if (::lchown(path.c_str(), kUnprivilegedUid, kUnprivilegedGid) != 0)
        return false;
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(path, ec)))
        return true;
    for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (::lchown(it->path().c_str(), kUnprivilegedUid, kUnprivilegedGid) != 0)
            return false;
    }
    return !ec;
}
