#include "device/serialchannel.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QObject>
#include <QSemaphore>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <span>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

#include "device/portmap.h"
#include "device/serialbytesink.h"
#include "platform/rawutf8.h"

namespace {

constexpr int kFirstBackoffMs = 100;
constexpr int kLongestBackoffMs = 1600;

speed_t SpeedFor(int baud)
{
    switch (baud) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B300;
    }
}

tcflag_t SizeFor(int dataBits)
{
    switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 8: return CS8;
    default: return CS7;
    }
}

// Unix98 pseudo-terminal slaves (the nodes of /dev/pts) have the major
// numbers 136..143, fixed by the kernel.
bool IsPseudoTerminalDevice(const struct stat& node)
{
    const unsigned major = ::major(node.st_rdev);
    return S_ISCHR(node.st_mode) && major >= 136 && major <= 143;
}

// Whether the path as given, not resolved, is a pseudo-terminal node: a
// symbolic link to one is not.
bool IsPseudoTerminalNode(const QString& path)
{
    struct stat node {};
    return ::lstat(CRawUtf8::Encode(path).constData(), &node) == 0 && IsPseudoTerminalDevice(node);
}

// Who holds the flock on the device open as `fd`: "name, PID n" from
// /proc/locks and the holder's /proc/<pid>/comm; empty when unknown.
QString LockHolder(int fd)
{
    struct stat node {};
    QFile locks(QStringLiteral("/proc/locks"));
    if (::fstat(fd, &node) != 0 || !locks.open(QIODevice::ReadOnly))
        return {};
    // "1: FLOCK  ADVISORY  WRITE 1234 00:19:5 0 EOF"; a waiter's line has "->".
    const QByteArray file = QByteArray::number(::major(node.st_dev), 16).rightJustified(2, '0') + ':'
                            + QByteArray::number(::minor(node.st_dev), 16).rightJustified(2, '0') + ':'
                            + QByteArray::number(qulonglong(node.st_ino));
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields[1] != "FLOCK" || fields[5] != file)
            continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(QString::fromLatin1(fields[4])));
        if (!comm.open(QIODevice::ReadOnly))
            return {};
        return QStringLiteral("%1, PID %2").arg(QString::fromLocal8Bit(comm.readAll().trimmed()),
                                               QString::fromLatin1(fields[4]));
    }
    return {};
}

void SetModemLines(int fd, bool raise)
{
    // Pseudo-terminals refuse the modem-line requests (ENOTTY); that is harmless.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)ioctl(fd, raise ? TIOCMBIS : TIOCMBIC, &lines);
}

} // namespace

CSerialChannel::CSerialChannel() = default;

int CSerialChannel::Open(ISerialByteSink* owner, int portNr, int baud, char parity, int dataBits,
                         int stopBits, DWORD eventMask, int bufferSize)
{
    return OpenPath(owner, portNr, CPortMap::Instance().PathFor(portNr), baud, parity, dataBits,
                    stopBits, eventMask, bufferSize);
}

int CSerialChannel::Open(ISerialByteSink* owner, int portNr, const LineSettings& line)
{
    return Open(owner, portNr, line.baud, line.parity, line.dataBits, line.stopBits, line.eventMask,
                line.bufferSize);
}

int CSerialChannel::OpenPath(ISerialByteSink* owner, int portNr, const QString& path,
                             const LineSettings& line)
{
    return OpenPath(owner, portNr, path, line.baud, line.parity, line.dataBits, line.stopBits,
                    line.eventMask, line.bufferSize);
}

int CSerialChannel::OpenPath(ISerialByteSink* owner, int portNr, const QString& path, int baud,
                             char parity, int dataBits, int stopBits, std::uint32_t eventMask, int bufferSize)
{
    // 1. The stop request.
    if (m_hStop < 0)
        m_hStop = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);

    // 2. Owner and port number; the receiver lives on the owner's thread.
    m_pOwner = owner;
    m_nPortNr = portNr;
    if (!m_pReceiver)
        m_pReceiver = new QObject;

    // 3.
    std::lock_guard lock(m_portLock);

    // 4. The device and the line definition.
    m_devicePath = path;
    m_nBaud = baud;
    m_cParity = parity;
    m_nDataBits = dataBits;
    m_nStopBits = stopBits;
    m_dwEventMask = eventMask;
    m_nBufferSize = bufferSize;

    // 5.-10. Open exclusively, configure, flush.
    m_busyHolder.clear();
    const int fd = ConfigureAndOpen(path, &m_busyHolder);
    if (fd < 0)
        return 0;
    m_nLastError = 0;
    m_hPort = fd;
    // Decided while the node is there: after a hang-up it is gone, and its
    // number soon names someone else's terminal.
    m_bReopenAfterHangup = !IsPseudoTerminalNode(path);
    return 1;
}

int CSerialChannel::ConfigureAndOpen(const QString& path, QString* holder)
{
    const auto fail = [this](int fd, int error) {
        if (fd >= 0)
            ::close(fd);
        m_nLastError = error;
        return -1;
    };
    if (path.isEmpty())
        return fail(-1, ENOENT);
    const QByteArray name = CRawUtf8::Encode(path);
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(-1, errno);

    // Only a terminal is a serial port; anything else would read as garbage.
    termios tio{};
    if (!isatty(fd) || tcgetattr(fd, &tio) != 0)
        return fail(fd, ENOTTY);
    // No sharing. The lock keeps every other KM302 out (root too), and the
    // kernel releases it when this process ends, however it ends.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        if (holder && error == EBUSY)
            *holder = LockHolder(fd);
        return fail(fd, error);
    }
    // The exclusive flag keeps other programs out too, but only where the
    // last close clears it: a pseudo-terminal keeps it while its far end is
    // open, so after a kill -9 it would lock every ordinary user out of the
    // terminal. It is cleared before every close (CloseDevice).
    struct stat node {};
    if (::fstat(fd, &node) == 0 && !IsPseudoTerminalDevice(node))
        (void)ioctl(fd, TIOCEXCL);

    // Raw line: baud, data bits, parity, stop bits; no flow control, no
    // translation of any byte (a carriage return must stay 0x0D).
    cfmakeraw(&tio);
    cfsetispeed(&tio, SpeedFor(m_nBaud));
    cfsetospeed(&tio, SpeedFor(m_nBaud));
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= SizeFor(m_nDataBits) | CLOCAL | CREAD;
    if (m_cParity == 'E' || m_cParity == 'e')
        tio.c_cflag |= PARENB;
    else if (m_cParity == 'O' || m_cParity == 'o')
        tio.c_cflag |= PARENB | PARODD;
    if (m_nStopBits == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    // The kernel gathers each frame: in canonical mode the reader wakes once
    // a carriage return (the frame's end, VEOL) or a line feed is queued,
    // not for every character, which at 300 baud is 33 wakeups a second of
    // two threads. No character is special otherwise: echo, signals, the
    // extended characters and every editing character are off (a disabled
    // character, 0, matches no byte), so every byte arrives as sent.
    tio.c_lflag |= ICANON;
    for (const int special : {VINTR, VQUIT, VERASE, VKILL, VEOF, VEOL2, VSTART, VSTOP, VSUSP,
                              VREPRINT, VDISCARD, VWERASE, VLNEXT})
        tio.c_cc[special] = _POSIX_VDISABLE;
    tio.c_cc[VEOL] = '\r';
    (void)tcsetattr(fd, TCSANOW, &tio);

    SetModemLines(fd, true);
    (void)tcflush(fd, TCIOFLUSH);
    return fd;
}

int CSerialChannel::StartReader()
{
    if (m_bReaderStarted || m_hPort < 0 || m_hStop < 0)
        return 0;
    // Whatever was queued before the reader starts is discarded; done here
    // rather than in the thread so that it is over when StartReader returns.
    {
        std::lock_guard lock(m_portLock);
        (void)tcflush(m_hPort, TCIFLUSH);
    }
    try {
        m_nExitCode = STILL_ACTIVE;
        m_reader = std::thread(&CSerialChannel::ReaderMain, this);
    } catch (const std::system_error&) {
        m_nExitCode = 0;
        return 0;
    }
    m_bReaderStarted = true;
    return 1;
}

int CSerialChannel::IsReaderFinished()
{
    if (!m_bReaderStarted)
        return 1;
    return m_nExitCode.load() != STILL_ACTIVE ? 1 : 0;
}

bool CSerialChannel::StopRequested() const
{
    pollfd stop{m_hStop, POLLIN, 0};
    return poll(&stop, 1, 0) > 0;
}

void CSerialChannel::ReaderMain()
{
    // Wait for the stop request (first, so it wins) or data.
    for (;;) {
        int fd;
        {
            std::lock_guard lock(m_portLock);
            fd = m_hPort;
        }
        if (fd < 0) {
            if (!WaitForDevice())
                break;
            continue;
        }

        pollfd wait[2] = {{m_hStop, POLLIN, 0}, {fd, POLLIN, 0}};
        const int n = poll(wait, 2, -1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            CloseDevice();
            continue;
        }
        if (wait[0].revents != 0)
            break;
        if (wait[1].revents & POLLIN) {
            ReceivePass();
        } else if (wait[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // A hang-up without data: the device is gone.
            CloseDevice();
        }
    }
    // The last batch is the owner's until it is done (Close delivers it).
    AwaitBatch();
    m_nExitCode = kReaderExitCode;
}

void CSerialChannel::ReceivePass()
{
    unsigned char* const buffer = m_buffer.data();
    for (;;) {
        AwaitBatch();
        // A canonical read returns one line at most: every complete line
        // queued (a flood queues many) goes into the same batch.
        std::size_t filled = 0;
        bool gone = false;
        bool drained = false;
        {
            std::lock_guard lock(m_portLock);
            if (m_hPort < 0)
                return;
            while (filled < m_buffer.size()) {
                const ssize_t got = ::read(m_hPort, buffer + filled, m_buffer.size() - filled);
                if (got > 0) {
                    filled += std::size_t(got);
                } else if (got < 0 && errno == EINTR) {
                    continue;
                } else {
                    // 0 or EIO after a hang-up, ENXIO after an unplug; EAGAIN
                    // when no complete line is left.
                    gone = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
                    drained = true;
                    break;
                }
            }
        }
        if (filled > 0 && !Deliver(std::span<const unsigned char>(buffer, filled)))
            return;
        if (gone)
            CloseDevice();
        if (drained)
            return;
    }
}

bool CSerialChannel::Deliver(std::span<const unsigned char> batch)
{
    if (StopRequested())
        return false;
    // One cross-thread call for the whole batch: the hand-over, not the
    // decoding, is what a byte costs. The reader does not sleep until the
    // call is done but goes back to waiting for the port; it waits for the
    // call (AwaitBatch) before it reads again, so the batch (the buffer)
    // stays untouched until the owner is done with it, and a frame costs
    // the reader one wakeup, not two.
    ISerialByteSink* owner = m_pOwner;
    QSemaphore* done = &m_batchDone;
    m_bBatchOutstanding = true;
    QMetaObject::invokeMethod(
        m_pReceiver,
        [owner, batch, done] {
            owner->OnSerialBytes(batch);
            done->release();
        },
        Qt::QueuedConnection);
    return true;
}

void CSerialChannel::AwaitBatch()
{
    if (!m_bBatchOutstanding)
        return;
    m_batchDone.acquire();
    m_bBatchOutstanding = false;
}

void CSerialChannel::CloseDevice()
{
    std::lock_guard lock(m_portLock);
    if (m_hPort >= 0) {
        // The exclusive flag outlives the descriptor on a terminal whose far
        // end stays open; left set, it keeps every ordinary user out.
        (void)ioctl(m_hPort, TIOCNXCL);
        ::close(m_hPort);
        m_hPort = -1;
    }
}

bool CSerialChannel::WaitForDevice()
{
    // A pseudo-terminal node that hung up never comes back as the same
    // device: wait for the stop request only.
    if (!m_bReopenAfterHangup) {
        pollfd stop{m_hStop, POLLIN, 0};
        while (poll(&stop, 1, -1) < 0 && errno == EINTR) {
        }
        return false;
    }
    // Reopen the configured path (a replugged adapter may come back under the
    // same link with another node), never a cached device node.
    int backoffMs = kFirstBackoffMs;
    for (;;) {
        pollfd stop{m_hStop, POLLIN, 0};
        const int n = poll(&stop, 1, backoffMs);
        if (n > 0)
            return false;
        const int fd = ConfigureAndOpen(m_devicePath);
        if (fd >= 0) {
            std::lock_guard lock(m_portLock);
            m_nLastError = 0;
            m_hPort = fd;
            return true;
        }
        backoffMs = std::min(backoffMs * 2, kLongestBackoffMs);
    }
}

CSerialChannel::~CSerialChannel()
{
    Close();
}

void CSerialChannel::Close()
{
    // 1. Drop DTR and RTS.
    {
        std::lock_guard lock(m_portLock);
        if (m_hPort >= 0)
            SetModemLines(m_hPort, false);
    }

    // 2. The stop request.
    if (m_hStop >= 0) {
        const std::uint64_t one = 1;
        (void)!::write(m_hStop, &one, sizeof one);
    }

    // 3. Until the reader has ended, deliver its pending batch (it may be
    //    blocked in a delivery to this very thread).
    while (!IsReaderFinished()) {
        if (m_pReceiver)
            QCoreApplication::sendPostedEvents(m_pReceiver, QEvent::MetaCall);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    // 4. The thread has ended; collect it.
    if (m_reader.joinable())
        m_reader.join();
    m_bReaderStarted = false;

    // 5. Close the port and the stop request.
    CloseDevice();
    if (m_hStop >= 0) {
        ::close(m_hStop);
        m_hStop = -1;
    }
    delete m_pReceiver;
    m_pReceiver = nullptr;
}
