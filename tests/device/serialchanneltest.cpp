#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <memory>
#include <pty.h>
#include <span>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "device/portmap.h"
#include "device/serialbytesink.h"
#include "device/serialchannel.h"
#include "platform/rawutf8.h"
#include "tests/kit/ptypair.h"
#include "tests/kit/unprivileged.h"

namespace {

using namespace std::chrono_literals;

int OpenDescriptors()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            ++count;
        closedir(dir);
    }
    return count;
}

// Records every delivered byte, the thread it arrived on and the size of each
// batch; onBatch runs at the start of a batch, while the reader waits for it.
class RecordingSink : public ISerialByteSink {
public:
    void OnSerialBytes(std::span<const unsigned char> batch) override
    {
        batches.push_back(batch.size());
        if (onBatch)
            onBatch();
        ISerialByteSink::OnSerialBytes(batch);
    }
    void OnSerialByte(unsigned wParam) override
    {
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            wrongThread = true;
        bytes.push_back(char(wParam));
        if (delay.count() > 0)
            std::this_thread::sleep_for(delay);
    }
    std::string bytes;
    std::vector<std::size_t> batches;
    std::function<void()> onBatch;
    bool wrongThread = false;
    std::chrono::microseconds delay{0};
};

// Processes events until `done` holds or the (generous) limit passes.
template <typename Pred>
bool WaitFor(Pred done, std::chrono::milliseconds limit = 10s)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
         + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int OpenOn(CSerialChannel& channel, ISerialByteSink& sink, const QString& path)
{
    return channel.OpenPath(&sink, 40, path, kKm302Line);
}

// Runs `body` in a child with pseudo-terminals of its own: a fresh devpts
// instance over /dev/pts, so the numbers it hands out are the test's alone and
// no other program's terminal can be touched. Not root: a user namespace
// grants the mounts. Returns the child's exit status, or -1.
int RunWithOwnTerminals(const std::function<int()>& body)
{
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        alarm(20);
        if (uid != 0) {
            if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
                _exit(200);
            std::ofstream("/proc/self/setgroups") << "deny";
            std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
            std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
        } else if (unshare(CLONE_NEWNS) != 0) {
            _exit(200);
        }
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || mount("devpts", "/dev/pts", "devpts", 0, "newinstance,ptmxmode=0666,mode=0620") != 0
            || mount("/dev/pts/ptmx", "/dev/ptmx", nullptr, MS_BIND, nullptr) != 0)
            _exit(201);
        _exit(body());
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SerialChannel : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.Ok()); }
    CPtyPair pty;
    RecordingSink sink;
};

TEST_F(SerialChannel, FramesWrittenTogetherArriveByteByByteInOrder)
{
    CSerialChannel channel;
    ASSERT_EQ(1, OpenOn(channel, sink, pty.SlavePath()));
    ASSERT_EQ(1, channel.StartReader());
    const std::string frames = "\x40\x70\x3D\x32\x70\x34\x31\x70\x31\x73\x32\r"
                               "\x40\x70\x3D\x32\x70\x34\x31\x70\x31\x73\x33\r"
                               "\x40\x70\x3D\x32\x70\x34\x31\x70\x31\x73\x34\r";
    pty.Write(frames);
    ASSERT_TRUE(WaitFor([&] { return sink.bytes.size() >= frames.size(); }));
    EXPECT_EQ(frames, sink.bytes);
    EXPECT_FALSE(sink.wrongThread);
}

// Every complete line queued goes over as one batch, and the reader does not
// read again until the batch is done: lines arriving meanwhile stay queued and
// form the next batch, after the current one.
TEST_F(SerialChannel, TheQueuedLinesAreOneBatchAndTheReaderWaitsForIt)
{
    CSerialChannel channel;
    ASSERT_EQ(1, OpenOn(channel, sink, pty.SlavePath()));
    ASSERT_EQ(1, channel.StartReader());
    const std::string frames = "\x40\x70\x3D\x32\x70\x34\x31\x70\x31\x73\x32\r"
                               "\x40\x70\x3D\x32\x70\x34\x31\x70\x31\x73\x33\r";
    bool stayedQueued = false;
    sink.onBatch = [&] {
        if (sink.batches.size() == 1) {
            pty.Write(frames);
            stayedQueued = pty.WaitQueued(int(frames.size()));
        }
    };
    pty.Write("!\r");
    ASSERT_TRUE(WaitFor([&] { return sink.bytes.size() >= 2 + frames.size(); }));
    EXPECT_TRUE(stayedQueued);
    EXPECT_EQ("!\r" + frames, sink.bytes);
    EXPECT_EQ((std::vector<std::size_t>{2, frames.size()}), sink.batches);
    EXPECT_FALSE(sink.wrongThread);
}

// At 300 baud the characters come one by one, 30 ms apart. The kernel holds
// them until the carriage return ends the frame, so the program wakes once a
// frame, and then the whole frame goes over as one batch: every byte as sent
// (none of them is a terminal's editing or signal character), none lost.
TEST_F(SerialChannel, CharactersArrivingOneByOneGoOverAsTheirWholeFrame)
{
    CSerialChannel channel;
    ASSERT_EQ(1, OpenOn(channel, sink, pty.SlavePath()));
    ASSERT_EQ(1, channel.StartReader());
    std::string frame;
    for (int b = 0; b < 0x80; ++b) {
        if (b != '\r' && b != '\n')
            frame += char(b);
    }
    frame += '\r';
    for (std::size_t i = 0; i < frame.size(); ++i) {
        pty.Write(frame.substr(i, 1));
        if (i % 16 == 0)
            std::this_thread::sleep_for(2ms);
    }
    ASSERT_TRUE(WaitFor([&] { return sink.bytes.size() >= frame.size(); }));
    EXPECT_EQ(frame, sink.bytes);
    EXPECT_EQ((std::vector<std::size_t>{frame.size()}), sink.batches);
}

TEST_F(SerialChannel, BytesQueuedBeforeOpenAndBeforeTheReaderAreDiscarded)
{
    pty.Write("old\r");
    ASSERT_TRUE(pty.WaitQueued(4));
    CSerialChannel channel;
    ASSERT_EQ(1, OpenOn(channel, sink, pty.SlavePath()));
    pty.Write("mid\r");
    ASSERT_TRUE(pty.WaitQueued(4));
    ASSERT_EQ(1, channel.StartReader());
    pty.Write("new\r");
    ASSERT_TRUE(WaitFor([&] { return sink.bytes.size() >= 4; }));
    QCoreApplication::processEvents();
    EXPECT_EQ("new\r", sink.bytes);
}

TEST_F(SerialChannel, ClosingWhileTheFarEndFloodsEndsTheReaderAndLeavesNoDescriptor)
{
    const int before = OpenDescriptors();
    std::atomic<bool> flooding{true};
    std::thread flood;
    {
        CSerialChannel channel;
        ASSERT_EQ(1, OpenOn(channel, sink, pty.SlavePath()));
        ASSERT_EQ(1, channel.StartReader());
        sink.delay = 200us;
        fcntl(pty.MasterFd(), F_SETFL, O_NONBLOCK);
        flood = std::thread([&] {
            const std::string chunk = std::string(63, 'x') + '\r';
            while (flooding) {
                if (::write(pty.MasterFd(), chunk.data(), chunk.size()) < 0)
                    std::this_thread::sleep_for(100us);
            }
        });
        ASSERT_TRUE(WaitFor([&] { return sink.bytes.size() > 100; }));
        // The destructor runs while deliveries are in flight.
    }
    flooding = false;
    flood.join();
    EXPECT_EQ(before, OpenDescriptors());
}

TEST_F(SerialChannel, ReaderEndsWithExitCode100)
{
    CSerialChannel channel;
    ASSERT_EQ(1, OpenOn(channel, sink, pty.SlavePath()));
    EXPECT_EQ(1, channel.IsReaderFinished());
    ASSERT_EQ(1, channel.StartReader());
    EXPECT_EQ(0, channel.IsReaderFinished());
    pty.Write("abc\r");
    ASSERT_TRUE(WaitFor([&] { return sink.bytes.size() >= 4; }));
    channel.Close();
    EXPECT_EQ(1, channel.IsReaderFinished());
    EXPECT_EQ(kReaderExitCode, channel.ReaderExitCode());
}

TEST(SerialChannelOpen, MissingPathNotATerminalAndPortInUseAllFail)
{
    RecordingSink sink;
    QTemporaryDir dir;
    QFile plain(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    CPtyPair pty;
    ASSERT_TRUE(pty.Ok());

    const int before = OpenDescriptors();
    {
        CSerialChannel missing;
        EXPECT_EQ(0, OpenOn(missing, sink, dir.filePath(QStringLiteral("nothing"))));
        EXPECT_EQ(0, missing.StartReader());
        EXPECT_EQ(ENOENT, missing.LastError());
        CSerialChannel file;
        EXPECT_EQ(0, OpenOn(file, sink, plain.fileName()));
        EXPECT_EQ(ENOTTY, file.LastError());

        CSerialChannel first;
        ASSERT_EQ(1, OpenOn(first, sink, pty.SlavePath()));
        EXPECT_EQ(0, first.LastError());
        CSerialChannel second;
        EXPECT_EQ(0, OpenOn(second, sink, pty.SlavePath()));
        EXPECT_EQ(EBUSY, second.LastError());
    }
    EXPECT_EQ(before, OpenDescriptors());
}

TEST(SerialChannelOpen, PortNumberGoesThroughThePortMap)
{
    RecordingSink sink;
    CPtyPair pty;
    ASSERT_TRUE(pty.Ok());
    const auto saved = CPortMap::Instance().Entries();
    CPortMap::Instance().SetEntry(12, pty.SlavePath());
    CSerialChannel channel;
    EXPECT_EQ(1, channel.Open(&sink, 12, kKm302Line));
    EXPECT_EQ(12, channel.PortNumber());
    EXPECT_EQ(pty.SlavePath(), channel.DevicePath());

    // A hand-written path with a byte that is not UTF-8 ("ś" in Windows-1250),
    // as the settings reader hands it over, reaches the file system unchanged.
    CPtyPair otherPty;
    QTemporaryDir dir;
    const QByteArray link = QFile::encodeName(dir.path()) + "/port-ci\x9cnienie";
    ASSERT_EQ(0, ::symlink(otherPty.SlavePath().toLocal8Bit().constData(), link.constData()));
    CPortMap::Instance().SetEntry(13, CRawUtf8::Decode(link));
    CSerialChannel other;
    EXPECT_EQ(1, other.Open(&sink, 13, kKm302Line));
    ::unlink(link.constData());   // a name QTemporaryDir cannot remove
    CPortMap::Instance().SetEntries(saved);
}

// An ordinary user, unlike root, is kept out by a terminal's exclusive flag:
// closing, switching to another port and back must leave none behind.
TEST(SerialChannelOpen, AnOrdinaryUserOpensAPortAgainAfterClosingItAndAfterSwitchingAway)
{
    RecordingSink sink;
    CPtyPair first;
    CPtyPair second;
    ASSERT_TRUE(first.Ok() && second.Ok());
    ASSERT_TRUE(GiveToUnprivileged(first.SlavePath().toStdString()));
    ASSERT_TRUE(GiveToUnprivileged(second.SlavePath().toStdString()));
    const auto saved = CPortMap::Instance().Entries();
    CPortMap::Instance().SetEntry(40, first.SlavePath());
    CPortMap::Instance().SetEntry(41, second.SlavePath());

    // The far ends stay open throughout, as a running instrument's do.
    const int status = RunUnprivileged([&] {
        const int ports[] = {40, 40, 41, 40};
        for (int step = 0; step < 4; ++step) {
            CSerialChannel channel;
            if (channel.Open(&sink, ports[step], kKm302Line) != 1)
                return 10 + step;
        }
        return 0;
    });
    CPortMap::Instance().SetEntries(saved);
    EXPECT_EQ(0, status) << "10 + the open that failed";
}

// A KM302 killed with its port open (kill -9, a crash) leaves nothing behind
// that keeps an ordinary user out of the port while the instrument's end of
// it stays open; a port held by a running KM302 stays busy for another, and
// a port the user may not open says so.
TEST(SerialChannelOpen, AnOrdinaryUserReopensAPortAfterAKillAndIsToldWhyOneDoesNotOpen)
{
    RecordingSink sink;
    CPtyPair port;
    CPtyPair foreign;   // root's, as another user's terminal
    ASSERT_TRUE(port.Ok() && foreign.Ok());
    ASSERT_TRUE(GiveToUnprivileged(port.SlavePath().toStdString()));

    // Ends without closing anything, as a killed process does.
    const int killed = RunUnprivileged([&] {
        auto* channel = new CSerialChannel;
        return OpenOn(*channel, sink, port.SlavePath()) == 1 ? 0 : 1;
    });
    ASSERT_EQ(0, killed);
    const int status = RunUnprivileged([&] {
        CSerialChannel again;
        if (OpenOn(again, sink, port.SlavePath()) != 1)
            return 10 + again.LastError() % 100;
        CSerialChannel second;
        if (OpenOn(second, sink, port.SlavePath()) != 0 || second.LastError() != EBUSY)
            return 1;
        // Who holds it: this very process.
        if (!second.BusyHolder().endsWith(QStringLiteral(", PID %1").arg(::getpid())))
            return 3;
        CSerialChannel other;
        if (OpenOn(other, sink, foreign.SlavePath()) != 0 || other.LastError() != EACCES)
            return 2;
        return 0;
    });
    EXPECT_EQ(0, status) << "1: not busy, 2: not EACCES, 3: holder not named, 10 + errno: the port did not open again";
}

// A /dev/pts/N node that hung up is gone for good; its number goes to the next
// terminal anyone opens, which must not be switched to raw mode and read.
TEST(SerialChannelUnplug, APseudoTerminalNodeIsNotReopenedWhenItsNumberIsReused)
{
    const int status = RunWithOwnTerminals([] {
        auto instrument = std::make_unique<CPtyPair>();
        const QString path = instrument->SlavePath();
        RecordingSink sink;
        CSerialChannel channel;
        if (!instrument->Ok() || OpenOn(channel, sink, path) != 1 || channel.StartReader() != 1)
            return 10;
        instrument.reset();

        // A new terminal session: takes the lowest free number, the old one
        // as soon as the channel has let go of it.
        int master = -1;
        int slave = -1;
        std::string name;
        for (int i = 0; i < 400 && name != path.toStdString(); ++i) {
            char buffer[64] = {};
            if (openpty(&master, &slave, buffer, nullptr, nullptr) != 0)
                return 11;
            name = buffer;
            std::this_thread::sleep_for(5ms);
        }
        if (name != path.toStdString())
            return 12;
        // Longer than the first reopen attempts after a hang-up.
        std::this_thread::sleep_for(700ms);
        termios tio{};
        if (tcgetattr(slave, &tio) != 0 || (tio.c_lflag & (ICANON | ECHO)) != (ICANON | ECHO))
            return 13;
        channel.Close();
        return channel.ReaderExitCode() == kReaderExitCode ? 0 : 14;
    });
    EXPECT_EQ(0, status) << "13: the unrelated terminal was taken over";
}

TEST(SerialChannelUnplug, WaitsQuietlyAndResumesWhenTheDeviceIsBackAtTheSamePath)
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("port"));
    auto first = std::make_unique<CPtyPair>();
    ASSERT_TRUE(QFile::link(first->SlavePath(), link));

    RecordingSink sink;
    CSerialChannel channel;
    ASSERT_EQ(1, OpenOn(channel, sink, link));
    ASSERT_EQ(1, channel.StartReader());
    first->Write("a\r");
    ASSERT_TRUE(WaitFor([&] { return sink.bytes == "a\r"; }));

    // Unplug: the far end goes away and the link dangles.
    first.reset();
    QFile::remove(link);
    const double cpuBefore = ProcessCpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(2s);
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    const double share = cpu / wall;
    std::printf("CPU share while unplugged: %.2f %%\n", share * 100.0);
    RecordProperty("unplugged_cpu_percent", std::to_string(share * 100.0));
    EXPECT_LT(share, 0.05);

    // Replug under the same link; a new node behind it.
    CPtyPair second;
    ASSERT_TRUE(second.Ok());
    ASSERT_TRUE(QFile::link(second.SlavePath(), link));
    const auto replugged = std::chrono::steady_clock::now();
    // The reader reopens on its own; keep writing until a byte gets through
    // (bytes written before the reopen are flushed by it).
    ASSERT_TRUE(WaitFor([&] {
        second.Write("b\r");
        return sink.bytes.find('b') != std::string::npos;
    }));
    const double resumed = std::chrono::duration<double>(std::chrono::steady_clock::now() - replugged).count();
    std::printf("deliveries resumed %.2f s after the replug\n", resumed);
    RecordProperty("resume_seconds", std::to_string(resumed));
}

// The line the instrument speaks, as the terminal holds it after the opening.
// A pseudo-terminal always keeps 8 data bits without parity (the kernel sets
// them); its speed and stop bits are what was asked for.
TEST(SerialChannelOpen, TheInstrumentsLineIs300BaudOneStopBit)
{
    int master = -1;
    int slave = -1;
    char name[128] = {};
    ASSERT_EQ(0, openpty(&master, &slave, name, nullptr, nullptr));
    RecordingSink sink;
    {
        CSerialChannel channel;
        ASSERT_EQ(1, OpenOn(channel, sink, QString::fromLocal8Bit(name)));
        termios tio{};
        ASSERT_EQ(0, tcgetattr(slave, &tio));
        EXPECT_EQ(speed_t(B300), cfgetispeed(&tio));
        EXPECT_EQ(speed_t(B300), cfgetospeed(&tio));
        EXPECT_EQ(tcflag_t(0), tio.c_cflag & (CSTOPB | CRTSCTS));
    }
    ::close(slave);
    ::close(master);
}

} // namespace
