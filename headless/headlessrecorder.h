#pragma once
// CHeadlessRecorder: both logs of the headless program, where nobody answers a
// box. Start does not open the logs: like the windowed program's start-up
// opening they open after 10 s (timer 1036, one tick), or at the first valid
// frame when that comes sooner (OpenLogs), so that a start does not put a
// record without a reading into the middle of a log. A port that stays
// silent gets its "???" records from then on. An existing file is appended
// to, never asked about. With the comment and its serial number switched on
// in the settings, each opening of the text log writes "KM-302 nr <serial>"
// before its first record. From the opening on, the recording timer (1034)
// runs while any log is switched on, even when its file did not open: each
// tick opens a log that is still closed and then writes a record to every
// open one, text log first. So recording resumes by itself once a folder
// appears, a disk is mounted, space returns or another program lets go of
// the file.
//
// What fails is written as one line on the standard error (CConsoleServices'
// form): a log that does not open, the windowed program's message with the
// path and the reason, once until it opens ("Otwarto plik ..." then); a
// record that cannot be written, the write failure text, once until a write
// to that file succeeds again ("Zapis do pliku ... wznowiony." then).
//
// Reopen closes both logs and opens them again by their paths (after
// logrotate moved them; the text log starts with a header in a new file).
//
// The records hold what the measurement shows at the tick (the same rule and
// the same log classes as the windowed program). The timer host and the
// measurement are the owner's and outlive the recorder. User-interface
// thread only.

#include <QString>

#include <functional>

#include "platform/reportline.h"
#include "platform/timerhost.h"
#include "recording/binarylog.h"
#include "recording/textlog.h"

class CMeterCore;

class CHeadlessRecorder {
public:
    CHeadlessRecorder(ITimerHost& timers, const CMeterCore& core);
    CHeadlessRecorder(const CHeadlessRecorder&) = delete;
    CHeadlessRecorder& operator=(const CHeadlessRecorder&) = delete;

    // Starts the wait for the opening (timer 1036) when any log is switched on.
    void Start();
    // Timer 1036, or the first valid frame: opens the logs with a record each
    // and starts the recording timer; nothing when not waiting for that.
    void OpenLogs();
    void OnRecordingTick();
    void Reopen();
    bool IsRecording() const { return m_bTimerRunning; }
    bool IsWaitingToOpen() const { return m_bWaitingToOpen; }

    // The recording settings, as the settings file (and the command line) set them.
    int m_bFileLog = 0;
    int m_bFileLogBin = 0;
    QString m_strFileName;
    QString m_strFileNameBin;
    int m_nSepFormat = 0;
    int m_nInterval = 1;
    int m_bCheckComment = 0;
    int m_bCheckCommentSn = 0;

    CTextLog m_textLog;
    CBinaryLog m_binaryLog;

    // Where the lines go: the standard error, or a test's list.
    std::function<void(const QString&, ReportPriority)> m_report = WriteReportLine;

private:
    struct Trouble {
        bool openFailed = false;
        int openError = 0;       // of the failed opening
        bool writeFailed = false;
    };
    enum class Opening { Failed, WasOpen, Opened };
    bool TextLogOn() const { return m_bFileLog && !m_strFileName.isEmpty(); }
    bool BinaryLogOn() const { return m_bFileLogBin && !m_strFileNameBin.isEmpty(); }
    // Opens a closed log.
    template <class Log>
    Opening EnsureOpen(Log& log, const QString& path, unsigned messageId, Trouble& trouble);
    bool EnsureTextOpen();
    bool EnsureBinaryOpen();
    void Written(int error, const QString& path, Trouble& trouble);
    void WriteText();
    void WriteBinary();

    ITimerHost& m_timers;
    const CMeterCore& m_core;
    Trouble m_textTrouble;
    Trouble m_binaryTrouble;
    bool m_bTimerRunning = false;
    bool m_bWaitingToOpen = false;
};
