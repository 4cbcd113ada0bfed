#pragma once
// A pseudo-terminal for serial tests: the test writes to the master side as the
// instrument would; the channel opens the slave path.

#include <QString>

#include <string>

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    int master() const { return m_master; }

    void Write(const std::string& bytes);
    // Waits until the slave's input queue holds at least `count` bytes.
    bool WaitQueued(int count);
    // The far end goes away: the slave sees a hang-up.
    void CloseMaster();

private:
    int m_master = -1;
    int m_slave = -1;   // kept open so the queue can be inspected
    QString m_slavePath;
};
