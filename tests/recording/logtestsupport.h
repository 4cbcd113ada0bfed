#pragma once
// Helpers of the log tests, beside the kit's scratch folder: another process
// that holds a log file's lock, and a child process that writes under a
// file-size limit (a disk that fills up mid-record).

#include <QString>

#include "tests/kit/scratchfolder.h"

#include <functional>
#include <sys/resource.h>
#include <sys/types.h>

// A child process that opens `path` and holds an exclusive flock on it, as a
// second KM302 writing the same log would, until this object is destroyed.
class CForeignLock {
public:
    explicit CForeignLock(const QString& path);
    ~CForeignLock();
    CForeignLock(const CForeignLock&) = delete;
    CForeignLock& operator=(const CForeignLock&) = delete;
    bool IsHeld() const { return m_bHeld; }

private:
    pid_t m_pid = -1;
    int m_releaseFd = -1;
    bool m_bHeld = false;
};

// Runs `body` in a forked child with SIGXFSZ ignored, so that growing a file
// past RLIMIT_FSIZE fails with EFBIG instead of killing the child. Returns the
// child's exit code (`body`'s result), or -1 when it did not exit normally.
int RunInChild(const std::function<int()>& body);
// Limits the size of files this process may write (for RunInChild bodies);
// RLIM_INFINITY lifts the limit.
bool LimitFileSize(rlim_t bytes);
// Whether the tests run as root, whom file permissions do not stop.
bool RunningAsRoot();
