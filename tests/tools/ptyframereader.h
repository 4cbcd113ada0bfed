#pragma once
// CPtyFrameReader: the reading end of the line in the simulator's tests. Opens
// a serial device path as the program does (no controlling terminal, leaving
// the line settings as the simulator made them) and cuts the bytes into
// frames at each carriage return, as the program's byte assembler does.
// Test-thread only; closes the device in its destructor.

#include <string>

class CPtyFrameReader {
public:
    enum class Result { Frame, HangUp, Timeout };

    CPtyFrameReader() = default;
    CPtyFrameReader(const CPtyFrameReader&) = delete;
    CPtyFrameReader& operator=(const CPtyFrameReader&) = delete;
    ~CPtyFrameReader();

    bool Open(const std::string& path);
    void Close();

    // The next frame (carriage return included) in `frame`; HangUp when the
    // device hangs up, Timeout when nothing completes within `timeoutMs`.
    Result Next(std::string& frame, int timeoutMs = 5000);

private:
    int m_nFd = -1;
    std::string m_sBuffer;
};
