#pragma once
// CRecordingController: the recording state of the main window and what it
// does with it: the recording command (32773, the dialog "Rejestracja do
// pliku"), the opening of the logs 10 s after start-up (timer 1036) and the
// recording tick (timer 1034: a text record, then a binary record).
//
// The main window owns one as a member and forwards to it:
//   command 32773  -> OnRecordingSettings()
//   timer 1036     -> OpenAtStartup()   (kills 1036, enables 32773 at its end)
//   timer 1034     -> OnRecordingTick()
//   UpdateStatusLine appends RecordingStatusText().
// CMeterApp reads the settings members before the window runs and writes them
// back at exit (m_strComment is not saved).
//
// What a record holds is taken at the moment it is written (ReadingToRecord,
// the rule the headless program shares).
//
// A log file that cannot be opened: message 106 (text) or 107 (binary), the
// reason on a line under it (WithErrorReason), then
// the dialog again with the failing path; cancelling it switches off every log
// whose file is not open. No message or dialog is shown before both logs had
// their turn and the recording timer runs (while any log is open), so a box
// left open never holds up the recording. A dialog closed because the program
// is stopping (CDialog::CancelAllModal) changes no setting. A record or comment that cannot be written concerns
// only its own file: the file stays open, the record is tried again at the
// next tick, and a message box (stop icon) names the file and the cause. At
// most one such message is open at a time; failures meanwhile (a tick every
// second while the user is away) are not shown again.
//
// The timer host, display state and decoder are the main window's and outlive this
// object. User-interface thread only; the message boxes and the dialog run
// nested event loops in which ticks keep arriving.

#include <QString>

#include <functional>
#include <utility>
#include <vector>

#include "platform/timerhost.h"
#include "platform/wintypes.h"
#include "recording/binarylog.h"
#include "recording/textlog.h"

class CDisplayState;
class CFrameDecoder;
class CRecordingDialog;
class QWidget;

class CRecordingController {
public:
    // Runs the dialog; DoModal unless a test scripts it.
    using DialogRunner = std::function<int(CRecordingDialog&)>;

    CRecordingController(ITimerHost& timers, const CDisplayState& display,
                         const CFrameDecoder& decoder, std::function<void()> updateStatusLine,
                         std::function<void(bool)> enableRecordingCommand);
    CRecordingController(const CRecordingController&) = delete;
    CRecordingController& operator=(const CRecordingController&) = delete;

    void OnRecordingSettings();
    void OpenAtStartup();
    void OnRecordingTick();
    // "Rejestracja do pliku co hh:mm:ss. " while the recording timer runs, else empty.
    QString RecordingStatusText() const;
    // The recording interval in seconds as the timer uses it (1 to 86399).
    int IntervalSeconds() const;

    // The recording settings (section "LOG").
    int m_bFileLog = 0;            // FILE_LOG
    int m_bFileLogBin = 0;         // FILE_LOG_BIN
    QString m_strFileName;         // FILE_NAME
    QString m_strFileNameBin;      // FILE_NAME_BIN
    int m_nSepFormat = 0;          // FILE_SEP_FORMAT: 1 comma, 2 semicolon, else tab
    int m_nInterval = 1;           // FILE_INTERVAL, seconds
    int m_bCheckComment = 0;       // FILE_CHECK_COMMENT
    int m_bCheckCommentSn = 0;     // FILE_CHECK_COMMENT_SN
    QString m_strComment;          // not saved: empty at every start
    // The id SetTimer returned for the recording timer; 0 while it does not run.
    UINT m_nRecordingTimer = 0;

    CTextLog m_textLog;
    CBinaryLog m_binaryLog;

    DialogRunner m_runDialog;
    QWidget* m_pDialogParent = nullptr;   // parent of the dialog (the main window)

private:
    using WriteFailures = std::vector<std::pair<QString, int>>;   // path, errno

    // One run of the command; true when it must run again (a file failed to open).
    bool RunSettingsOnce();
    void StartRecordingTimer();
    void StopRecordingTimer();
    int WriteTextRecord();
    int WriteBinaryRecord();
    void ReportWriteFailures(const WriteFailures& failures);

    ITimerHost& m_timers;
    const CDisplayState& m_display;
    const CFrameDecoder& m_decoder;
    std::function<void()> m_updateStatusLine;
    std::function<void(bool)> m_enableRecordingCommand;
    bool m_bWriteFailureShown = false;
};
