#pragma once
// CSerialChannel: one open serial port and its reader thread. The channel only
// receives; the program never writes to the instrument.
//
// Threads. The user-interface thread constructs, opens, starts and destroys the
// channel. The reader thread waits in poll() on [stop, port] (the stop entry
// first, so a stop request wins over pending data) and hands every complete
// line the port holds, as one batch in arrival order, to the owner's
// OnSerialBytes on the user-interface thread with a queued call. The reader
// goes back to waiting for the port at once, but it waits until the whole
// batch has been processed before it reads again (and before it ends), so
// the order and the back-pressure are those of a blocking call at one wakeup
// a frame instead of two. The stop request is checked before each delivery.
//
// Lines: the port is in canonical mode with the carriage return (the end of
// every frame) as an end of line besides the line feed, and with every other
// special character off, so no byte is changed or dropped, but poll() wakes
// the reader once a frame is complete rather than for each character (33 a
// second at 300 baud). Bytes of a line not yet ended wait in the kernel; a
// line that grows past the kernel's 4095 bytes without an end keeps only its
// first 4095 (the frame assembler would have discarded such a run anyway).
//
// Closing (the destructor) lowers DTR and RTS, raises the stop request and then
// keeps delivering the reader's pending call on the user-interface thread until
// the reader has ended (exit code 100), so it never deadlocks against a delivery
// in progress; only then are the descriptors closed.
//
// A device that goes away (a USB adapter unplugged, the far end of a
// pseudo-terminal closed) makes read() return 0 or poll() report a hang-up at
// once and forever. The reader then closes the descriptor and reopens the
// configured path with a back-off from 100 ms doubling to 1.6 s, stop-aware,
// configuring it as Open did; meanwhile nothing is delivered and the owner's
// no-communication timeout takes effect. A configured path that is itself a
// pseudo-terminal node (/dev/pts/N, not a link to one) is not reopened: such a
// node never comes back as the same device, and its number is soon reused by
// an unrelated terminal that must not be taken over. The reader then only
// waits for the stop request.
//
// The port is opened exclusively: an flock on the device keeps every other
// KM302 out and dies with the process however it ends (kill -9 too); a real
// serial device also gets the exclusive flag (TIOCEXCL), which keeps other
// programs out and which the kernel clears at its last close. A
// pseudo-terminal does not get the flag: it would outlive a killed process
// while the far end stays open and lock every ordinary user out. The flag is
// cleared before every close of the descriptor. The reopening after a
// hang-up opens exactly as Open does.
//
// The port number maps to a device path through the port map (CPortMap).

#include <QPointer>
#include <QSemaphore>
#include <QString>

#include <array>
#include <atomic>
#include <mutex>
#include <span>
#include <thread>

#include "device/linesettings.h"
#include "platform/wintypes.h"

class ISerialByteSink;
class QObject;

constexpr std::uint32_t STILL_ACTIVE = 259;
constexpr std::uint32_t kReaderExitCode = 100;

class CSerialChannel {
public:
    CSerialChannel();
    virtual ~CSerialChannel();
    CSerialChannel(const CSerialChannel&) = delete;
    CSerialChannel& operator=(const CSerialChannel&) = delete;

    // Opens COM<portNr> through the port map and configures the line. The
    // owner must outlive the channel and live on the calling (user-interface)
    // thread. Returns 1 when the port could be opened, 0 when it does not
    // exist, is not a terminal or is held by another program. Later
    // configuration failures are not reported. bufferSize is kept and unused.
    int Open(ISerialByteSink* owner, int portNr, int baud, char parity, int dataBits, int stopBits,
             DWORD eventMask, int bufferSize);
    // Opens a device path directly (Open resolves the number to a path first).
    int OpenPath(ISerialByteSink* owner, int portNr, const QString& path, int baud, char parity,
                 int dataBits, int stopBits, std::uint32_t eventMask, int bufferSize);
    // The same two with the line given as one definition (kKm302Line).
    int Open(ISerialByteSink* owner, int portNr, const LineSettings& line);
    int OpenPath(ISerialByteSink* owner, int portNr, const QString& path, const LineSettings& line);

    // Starts the reader thread: 1 on success, 0 when there is no open port or
    // the thread cannot be created.
    int StartReader();
    // 1 when there is no reader thread or it has ended, 0 while it runs.
    int IsReaderFinished();
    // STILL_ACTIVE while the reader runs, then its exit code (100).
    std::uint32_t ReaderExitCode() const { return m_nExitCode.load(); }

    // The close sequence of the destructor; afterwards the channel holds
    // nothing and ReaderExitCode() tells how the reader ended.
    void Close();

    int PortNumber() const { return m_nPortNr; }
    // The errno value of the last failed opening (Open, OpenPath or a
    // reopening after a hang-up): ENOENT, EACCES, EBUSY (held by another
    // program or KM302), ENOTTY (not a terminal), ...; 0 after a success.
    int LastError() const { return m_nLastError.load(); }
    // After Open or OpenPath failed because another program holds the
    // device's lock (EBUSY): that program, "name, PID n", when it can be
    // found; else empty.
    QString BusyHolder() const { return m_busyHolder; }
    QString DevicePath() const { return m_devicePath; }

private:
    void ReaderMain();
    void ReceivePass();
    bool WaitForDevice();
    bool Deliver(std::span<const unsigned char> batch);
    void AwaitBatch();
    bool StopRequested() const;
    // -1 on failure (m_nLastError says why; `holder`, when given, names the
    // program holding the lock of a busy device).
    int ConfigureAndOpen(const QString& path, QString* holder = nullptr);
    void CloseDevice();

    int m_nPortNr = 0;
    std::thread m_reader;
    std::atomic<std::uint32_t> m_nExitCode{STILL_ACTIVE};
    bool m_bReaderStarted = false;
    std::mutex m_portLock;          // guards m_hPort between the two threads
    int m_hStop = -1;               // eventfd: the stop request
    int m_hPort = -1;               // the open device, or -1 while it is gone
    std::atomic<int> m_nLastError{0};
    QString m_busyHolder;           // user-interface thread only
    bool m_bReopenAfterHangup = true; // false for a pseudo-terminal node
    QString m_devicePath;
    int m_nBaud = 300;
    char m_cParity = 'N';
    int m_nDataBits = 7;
    int m_nStopBits = 1;
    std::uint32_t m_dwEventMask = EV_RXCHAR;
    int m_nBufferSize = 0;
    ISerialByteSink* m_pOwner = nullptr;
    QObject* m_pReceiver = nullptr; // lives on the owner's thread; the target of deliveries
    // Reader thread only, but for the release of m_batchDone: the bytes of
    // the batch handed over last, whether the owner may still be reading
    // them, and the owner's signal that it is done.
    std::array<unsigned char, 1024> m_buffer{};
    bool m_bBatchOutstanding = false;
    QSemaphore m_batchDone;
};
