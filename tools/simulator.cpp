#include "tools/simulator.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <poll.h>
#include <unistd.h>

#include "tools/frameencoder.h"

namespace {
constexpr unsigned kSeed = 302;
constexpr size_t kFloodBatch = 4096;
constexpr auto kDrainPoll = std::chrono::milliseconds(10);
constexpr auto kDrainBeforeHangup = std::chrono::seconds(1);
constexpr auto kDrainAtEnd = std::chrono::seconds(2);

int TimeoutMs(std::chrono::steady_clock::duration remaining)
{
    if (remaining <= std::chrono::steady_clock::duration::zero())
        return 0;
    // Rounded up, so the loop does not wake just before the deadline and spin.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(remaining).count();
    return int(std::min<long long>(ms, INT_MAX));
}

std::chrono::steady_clock::duration Seconds(double seconds)
{
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
}
}

CSimulator::CSimulator(const CSimulatorOptions& options, std::FILE* out, std::FILE* err)
    : m_options(options)
    , m_pOut(out)
    , m_pErr(err)
    , m_link(options.m_sLink)
    , m_pattern(options.m_pattern, options.m_dValue, options.Step(), kSeed)
    , m_faults(options.m_faults, options.m_nFaultEvery, kSeed)
{
}

int CSimulator::Run()
{
    std::string error;
    bool ok = m_stop.Install(error) && Connect(error);
    auto due = Clock::now();
    const auto interval = Seconds(m_options.m_dInterval);

    while (ok && !m_stop.Raised()) {
        if (m_nWritten < m_pending.size()) {
            ok = WritePending(error);
            continue;
        }
        if (Finished()) {
            WaitUntilRead(kDrainAtEnd);
            break;
        }
        if (!m_options.m_bFlood && Clock::now() < due) {
            WaitUntil(due);
            continue;
        }
        if (m_faults.ForFrame(m_nFrame) == CFaultSchedule::Fault::Hangup) {
            ++m_nFrame;
            ok = HangUp(error);
            due = Clock::now();
            continue;
        }
        MakeFrames();
        due += interval;
        if (due < Clock::now())
            due = Clock::now() + interval;
    }

    m_link.Remove();
    m_terminal.Close();
    if (!ok) {
        std::fprintf(m_pErr, "km302-sim: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

bool CSimulator::Connect(std::string& error)
{
    if (!m_terminal.Open(error) || !m_link.PointAt(m_terminal.SlavePath(), error))
        return false;
    std::fprintf(m_pOut, "%s\n", m_terminal.SlavePath().c_str());
    std::fflush(m_pOut);
    return true;
}

bool CSimulator::HangUp(std::string& error)
{
    // Frames that are out belong to the reader; a hang-up would discard them.
    WaitUntilRead(kDrainBeforeHangup);
    m_link.Remove();
    m_terminal.Close();
    std::fprintf(m_pErr, "km302-sim: hung up, back in %g s\n", m_options.m_dHangupSeconds);
    std::fflush(m_pErr);
    WaitUntil(Clock::now() + Seconds(m_options.m_dHangupSeconds));
    if (m_stop.Raised())
        return true;
    return Connect(error);
}

bool CSimulator::Finished() const
{
    return m_options.m_nCount > 0 && m_nFrame >= m_options.m_nCount;
}

std::string CSimulator::NextFrame()
{
    FrameContent content;
    content.serialNumber = m_options.m_nSerialNumber;
    content.number = CFrameEncoder::NumberFor(m_pattern.Next(), m_options.m_bWholeUnits);
    content.valueError = m_options.m_bValueError;
    content.pascals = m_options.m_bPascals;
    content.calibrationError = m_options.m_bCalibrationError;
    content.wholeUnits = m_options.m_bWholeUnits;
    const CFaultSchedule::Fault fault = m_faults.ForFrame(m_nFrame++);
    return m_faults.Corrupt(fault, CFrameEncoder::Encode(content));
}

void CSimulator::MakeFrames()
{
    m_pending.clear();
    m_nWritten = 0;
    do {
        m_pending += NextFrame();
    } while (m_options.m_bFlood && m_pending.size() < kFloodBatch && !Finished()
        && m_faults.ForFrame(m_nFrame) != CFaultSchedule::Fault::Hangup);
}

bool CSimulator::WritePending(std::string& error)
{
    const ssize_t written = ::write(m_terminal.MasterFd(), m_pending.data() + m_nWritten, m_pending.size() - m_nWritten);
    if (written > 0) {
        m_nWritten += size_t(written);
        return true;
    }
    if (written < 0 && errno == EINTR)
        return true;
    if (written < 0 && errno != EAGAIN) {
        error = std::string("cannot write to the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    // Full: nobody is reading fast enough. Sleep until it takes more.
    pollfd fds[2] = {{m_stop.Fd(), POLLIN, 0}, {m_terminal.MasterFd(), POLLIN | POLLOUT, 0}};
    if (::poll(fds, 2, -1) < 0)
        return errno == EINTR;
    if (fds[1].revents & POLLIN)
        m_terminal.DiscardInput();
    if ((fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) && !(fds[1].revents & POLLOUT)) {
        error = "the pseudo-terminal failed";
        return false;
    }
    return true;
}

void CSimulator::WaitUntil(Clock::time_point deadline)
{
    while (!m_stop.Raised()) {
        const int timeout = TimeoutMs(deadline - Clock::now());
        if (timeout == 0)
            return;
        pollfd fds[2] = {{m_stop.Fd(), POLLIN, 0}, {m_terminal.MasterFd(), POLLIN, 0}};
        // A closed terminal (-1) is skipped by poll.
        if (::poll(fds, 2, timeout) > 0 && (fds[1].revents & POLLIN))
            m_terminal.DiscardInput();
    }
}

void CSimulator::WaitUntilRead(Clock::duration limit)
{
    // The kernel moves written bytes to the reader's queue a moment after the
    // write, so an empty queue counts only when seen twice in a row.
    const auto deadline = Clock::now() + limit;
    int emptyChecks = 0;
    while (emptyChecks < 2 && Clock::now() < deadline && !m_stop.Raised()) {
        WaitUntil(std::min(deadline, Clock::now() + kDrainPoll));
        emptyChecks = m_terminal.UnreadBytes() == 0 ? emptyChecks + 1 : 0;
    }
}
