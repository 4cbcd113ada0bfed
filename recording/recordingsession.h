#pragma once
// CRecordingSession: the two logs of one measurement, as both programs record
// them. It owns the text log and the binary log, opens them, writes a record
// into every open log at each tick of the recording timer (1034, the text log
// first), closes and reopens them, and tells its reporter what failed once per
// step: every file on its own, a failure of one log never keeping the other
// or the timer waiting.
//
// What decides a step:
//   - a log is on when its switch is on and its path is not empty; a switch
//     without a path is tried (and fails) only in an opening that asks, the
//     one that follows the user's choice;
//   - an opening appends to an existing file, or with `ask` lets the user
//     choose (CLogFile); with `comment` and the settings' comment switch a new
//     opening of the text log starts with the comment block (its text, and the
//     serial number when that switch is on); a comment that cannot be written
//     leaves that opening without its first record;
//   - a log that is on but closed at a tick (its file did not open) is opened
//     again at the tick when the session retries (the headless program); the
//     window leaves it to its user, who is shown the dialog instead;
//   - the recording timer runs while something is to be recorded: an open log,
//     with retries a log that is on, or a record stream (IRecordStream), which
//     is told after the files at every opening and tick.
// Failures are told after the step, the timer already set: the write
// failures of the step together, then each file that did not open. Each
// carries whether it is news (a file's first failure since it last worked),
// so that a reporter may tell it only once.
//
// The record's contents come from `reading` at the moment it is written. The
// timer host and the reporter are the owner's and outlive the session.
// User-interface thread only; a reporter may run a nested event loop in which
// ticks arrive (the session is in a consistent state whenever it reports).

#include <QString>

#include <functional>
#include <vector>

#include "platform/timerhost.h"
#include "recording/binarylog.h"
#include "recording/recordingreporter.h"
#include "recording/recordingsettings.h"
#include "recording/recordstream.h"
#include "recording/recordreading.h"
#include "recording/textlog.h"

class CRecordingSession {
public:
    enum class ClosedLogs { LeftToTheUser, RetriedEachTick };

    struct Opening {
        bool ask = false;        // an existing file: the user chooses append or empty
        bool comment = false;    // the comment block, when the settings switch it on
        QString text;            // the comment's text (lines separated by CR LF)
    };

    CRecordingSession(ITimerHost& timers, IRecordingReporter& reporter, std::function<RecordReading()> reading,
                      ClosedLogs closedLogs);
    CRecordingSession(const CRecordingSession&) = delete;
    CRecordingSession& operator=(const CRecordingSession&) = delete;

    const RecordingSettings& Settings() const { return m_settings; }
    // New settings for what comes next; the open logs stay as they are.
    void SetSettings(const RecordingSettings& settings) { m_settings = settings; }

    // Opens every log that is on and closed, writes a record into every open
    // log and (re)starts the recording timer, or stops it with nothing to record.
    void Start(const Opening& opening);
    // Settings the user accepted: a log switched off is closed (with both off
    // the recording stops and nothing else happens); a log whose path (or,
    // for the text log, separator) changed is closed to be opened anew; then
    // Start.
    void Apply(const RecordingSettings& next, const Opening& opening);
    // Timer 1034: a record into every open log (with retries, a closed log
    // that is on is opened first, as the last Start opened it, without a question).
    void Tick();
    // Closes both logs and opens those that are on again by their paths,
    // without a record (after logrotate moved the files).
    void Reopen();
    void Close();
    // Switches off every log whose file is not open (the user declined to
    // choose another file).
    void SwitchOffClosedLogs();

    // A receiver of every record beside the files; nullptr detaches it. The
    // owner keeps it alive while attached. Once the session has started, the
    // timer starts or stops at once with what is left to record.
    void AttachStream(IRecordStream* stream);

    // The timer runs for a log file (not only for the stream).
    bool IsRecording() const { return m_nTimer != 0 && RecordsToFiles(); }
    const CTextLog& TextLog() const { return m_textLog; }
    const CBinaryLog& BinaryLog() const { return m_binaryLog; }

private:
    // The state of one file, to tell each failure once.
    struct Trouble {
        bool openFailed = false;
        int openError = 0;      // of the failed opening
        bool writeFailed = false;
    };
    struct OpenFailure {
        LogKind log;
        QString path;
        int error;
        bool first;
    };
    struct Step {
        std::vector<LogWriteFailure> writeFailures;
        std::vector<OpenFailure> openFailures;
    };

    void RecordText(const Opening& opening, bool openClosed, Step& step);
    void RecordBinary(const Opening& opening, bool openClosed, Step& step);
    static bool Tried(const QString& path, const Opening& opening);
    bool RecordsToFiles() const;
    // Opens a closed log; true when it is open afterwards.
    bool OpenText(const Opening& opening, Step& step);
    bool OpenBinary(const Opening& opening, Step& step);
    bool Opened(LogKind log, bool opened, const QString& path, int error, Step& step);
    // Notes the outcome of a write; true when it succeeded.
    bool Written(int error, const QString& path, Trouble& trouble, Step& step);
    void StartTimer();
    void StopTimer();
    void Report(const Step& step);

    ITimerHost& m_timers;
    IRecordingReporter& m_reporter;
    std::function<RecordReading()> m_reading;
    const ClosedLogs m_closedLogs;
    RecordingSettings m_settings;
    Opening m_lastOpening;
    CTextLog m_textLog;
    CBinaryLog m_binaryLog;
    Trouble m_textTrouble;
    Trouble m_binaryTrouble;
    IRecordStream* m_pStream = nullptr;
    bool m_bStarted = false;   // Start has run
    unsigned m_nTimer = 0;   // the id SetTimer returned; 0 while the timer does not run
};
