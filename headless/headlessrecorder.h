#pragma once
// CHeadlessRecorder: both logs of the headless program, where nobody answers a
// box: a CRecordingSession that retries a closed log at every tick, and its
// reporter, which writes lines on the standard error.
//
// Start does not open the logs: like the windowed program's start-up opening
// they open after 10 s (timer 1036, one tick), or at the first valid frame
// when that comes sooner (OpenLogs), so that a start does not put a record
// without a reading into the middle of a log. A port that stays silent gets
// its "???" records from then on. An existing file is appended to, never
// asked about. With the comment and its serial number switched on in the
// settings, each opening of the text log writes "KM-302 nr <serial>" before
// its first record. From the opening on, the recording timer (1034) runs
// while any log is switched on, even when its file did not open, so recording
// resumes by itself once a folder appears, a disk is mounted, space returns or
// another program lets go of the file.
//
// Lines (CConsoleServices' form): a log that does not open, the windowed
// program's message with the path and the reason, once until it opens
// ("Otwarto plik ..." then); a record that cannot be written, the write
// failure text, once until a write to that file succeeds again ("Zapis do
// pliku ... wznowiony." then).
//
// Reopen closes both logs and opens them again by their paths (after
// logrotate moved them; the text log starts with a header in a new file).
//
// The records hold what the measurement shows at the tick (the same rule and
// the same session as the windowed program). The timer host and the
// measurement are the owner's and outlive the recorder. User-interface
// thread only.

#include <QString>

#include <functional>
#include <vector>

#include "platform/reportline.h"
#include "platform/timerhost.h"
#include "recording/recordingsession.h"

class CMeterCore;

class CHeadlessRecorder : private IRecordingReporter {
public:
    using Reporter = std::function<void(const QString&, ReportPriority)>;

    // `report` receives every line (the standard error, or a test's list).
    CHeadlessRecorder(ITimerHost& timers, const CMeterCore& core, Reporter report);
    CHeadlessRecorder(const CHeadlessRecorder&) = delete;
    CHeadlessRecorder& operator=(const CHeadlessRecorder&) = delete;

    // The recording settings, as the settings file and the command line set them.
    const RecordingSettings& Settings() const { return m_session.Settings(); }
    void SetSettings(const RecordingSettings& settings) { m_session.SetSettings(settings); }

    // A receiver of every record beside the files (before Start).
    void AttachStream(IRecordStream* stream) { m_session.AttachStream(stream); m_bStream = stream != nullptr; }

    // Starts the wait for the opening (timer 1036) when any log is switched on
    // or a stream is attached.
    void Start();
    // Timer 1036, or the first valid frame: opens the logs with a record each
    // and starts the recording timer; nothing when not waiting for that.
    void OpenLogs();
    void OnRecordingTick() { m_session.Tick(); }
    void Reopen();
    void Close() { m_session.Close(); }
    bool IsRecording() const { return m_session.IsRecording(); }
    bool IsWaitingToOpen() const { return m_bWaitingToOpen; }
    const CRecordingSession& Session() const { return m_session; }

private:
    void OpenFailed(LogKind log, const QString& path, int error, bool first) override;
    void OpenedAgain(const QString& path, int previousError) override;
    void WriteFailed(const std::vector<LogWriteFailure>& failures) override;
    void WriteResumed(const QString& path) override;

    ITimerHost& m_timers;
    Reporter m_report;
    CRecordingSession m_session;
    bool m_bWaitingToOpen = false;
    bool m_bStream = false;
};
