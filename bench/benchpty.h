#pragma once
// CBenchPty: a pseudo-terminal for the benchmarks. The benchmark writes the
// master side as the instrument would; the program under measurement opens
// the slave path as its serial port. The slave stays open here too, so the
// line never hangs up between the program's opens. Both descriptors are
// owned and closed by this object and are not inherited by child processes.
// Write may be called from one thread at a time.

#include <QString>

#include <cstddef>
#include <string>

class CBenchPty {
public:
    CBenchPty();
    ~CBenchPty();
    CBenchPty(const CBenchPty&) = delete;
    CBenchPty& operator=(const CBenchPty&) = delete;

    bool Ok() const { return m_master >= 0; }
    QString SlavePath() const { return m_slavePath; }

    // Waits while the line's queue is full, as a flooding far end does;
    // false when the master side refuses the bytes or the queue stays full
    // for `timeoutMs` (the reader has stopped reading).
    bool Write(const char* bytes, std::size_t size, int timeoutMs = 10000);
    bool Write(const std::string& bytes) { return Write(bytes.data(), bytes.size()); }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};
