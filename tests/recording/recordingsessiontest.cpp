#include <gtest/gtest.h>

#include <vector>

#include "platform/timerids.h"
#include "recording/recordingsession.h"
#include "tests/recording/logtestsupport.h"
#include "tests/support/faketimerhost.h"
#include "tests/support/scriptedservices.h"

namespace {

class SilentReporter : public IRecordingReporter {
public:
    void OpenFailed(LogKind, const QString&, int, bool) override {}
    void OpenedAgain(const QString&, int) override {}
    void WriteFailed(const std::vector<LogWriteFailure>&) override {}
    void WriteResumed(const QString&) override {}
};

// What the stream saw: the binary log's size when it was told.
class Stream : public IRecordStream {
public:
    explicit Stream(const QString& log) : m_log(log) {}
    void RecordTick() override { sizes.push_back(CScratchFolder::Read(m_log).size()); }
    std::vector<qsizetype> sizes;

private:
    QString m_log;
};

// A stream keeps the timer running with no log on, without the session
// claiming to record to a file, and hears of each record after the files.
TEST(RecordingSession, AStreamHasItsTicksWithOrWithoutLogsAndComesAfterTheFiles)
{
    CScriptedServices services;
    CFakeTimerHost timers;
    SilentReporter reporter;
    CScratchFolder folder;
    const QString binary = folder.Path(QStringLiteral("s.vrd"));
    Stream stream(binary);
    CRecordingSession session(timers, reporter, [] { return RecordReading{true, 1013.2, false, 7}; },
                              CRecordingSession::ClosedLogs::LeftToTheUser);
    session.AttachStream(&stream);

    RecordingSettings settings;
    settings.interval = 5;
    session.SetSettings(settings);
    session.Start({});
    EXPECT_TRUE(timers.IsRunning(kRecordingTimerId));
    EXPECT_EQ(5000u, timers.Period(kRecordingTimerId));
    EXPECT_FALSE(session.IsRecording());
    session.Tick();
    EXPECT_EQ((std::vector<qsizetype>{0, 0}), stream.sizes);

    // The binary log switched on and off again: the stream's ticks go on.
    settings.fileLogBin = 1;
    settings.fileNameBin = binary;
    session.Apply(settings, {});
    EXPECT_TRUE(session.IsRecording());
    session.Tick();
    settings.fileLogBin = 0;
    session.Apply(settings, {});
    EXPECT_TRUE(timers.IsRunning(kRecordingTimerId));
    EXPECT_FALSE(session.IsRecording());
    EXPECT_EQ((std::vector<qsizetype>{0, 0, 35, 70, 70}), stream.sizes);

    // Detached and attached again while running (a new broker chosen).
    session.AttachStream(nullptr);
    EXPECT_FALSE(timers.IsRunning(kRecordingTimerId));
    session.AttachStream(&stream);
    EXPECT_TRUE(timers.IsRunning(kRecordingTimerId));
}

} // namespace
