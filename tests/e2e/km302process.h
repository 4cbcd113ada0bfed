#pragma once
// CKm302Process: the real km302 binary run as a child, as a user's desktop
// would start it, with its settings folder (XDG_CONFIG_HOME), the offscreen
// platform and a time scale for its window timers (KM302_TIME_SCALE), so that
// the 10 s start-up opening of the logs and the 5 s no-communication timeout
// shrink for the tests. Its standard output goes to the test's; its standard
// error goes through a pipe, is kept for ErrorOutput and copied to the test's
// (a pipe, not a file: a file-size limit set on the program would cut a file).
//
// It also reads the child's processor time and resident memory from /proc,
// for the reliability figures. Every wait is bounded. The destructor kills
// (SIGKILL) and collects a child still running; a test process that dies
// without running it takes the child with it (parent-death signal). Test
// thread only; a reader thread of its own drains the pipe while a child runs.

#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/kit/childprocess.h"

class CKm302Process {
public:
    CKm302Process(QString configHome, double timeScale);
    ~CKm302Process();
    CKm302Process(const CKm302Process&) = delete;
    CKm302Process& operator=(const CKm302Process&) = delete;

    // "NAME=value" entries that replace or add to those Start sets (a
    // display and a desktop instead of offscreen); for the next Start.
    void SetEnvironment(std::vector<std::string> entries) { m_environment = std::move(entries); }
    // Command-line arguments, and names of variables removed from the
    // environment (the offscreen platform too, when named), for the next Start.
    void SetArguments(std::vector<std::string> args) { m_arguments = std::move(args); }
    void SetRemovedVariables(std::vector<std::string> names) { m_removed = std::move(names); }
    // False when the binary cannot be spawned or one is still running.
    bool Start();
    bool IsRunning();
    pid_t Pid() const { return m_child.Pid(); }

    void Signal(int signal);
    // The exit status; 128 + signal when a signal ended it; -1 when it does
    // not end within `timeoutMs` (it is then killed) or none was started.
    int WaitExit(int timeoutMs);

    // Processor time, resident memory and read calls (a count that a reader
    // looping on a dead descriptor drives up whatever the machine's load,
    // where its processor share depends on what else runs).
    CProcStats Stats() const { return m_child.Stats(); }

    // What the child has written on its standard error since Start.
    QByteArray ErrorOutput() const;

private:
    void ReadErrors(int fd);
    void StopReader();

    QString m_strConfigHome;
    double m_dTimeScale;
    std::vector<std::string> m_environment;
    std::vector<std::string> m_arguments;
    std::vector<std::string> m_removed;
    CChildProcess m_child;

    std::thread m_reader;
    std::atomic<bool> m_bChildGone {false};
    mutable std::mutex m_mutex;
    QByteArray m_errors;   // guarded by m_mutex
};
