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
// The settings come in before the window runs and go back at exit as one
// RecordingSettings (the comment text is not saved: empty at every start).
// The logs themselves are a CRecordingSession's, which leaves a log that did
// not open to the user: this controller is its reporter.
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
#include <vector>

#include "platform/timerhost.h"
#include "recording/recordingsession.h"

class CDisplayState;
class CFrameDecoder;
class CRecordingDialog;
class QWidget;

class CRecordingController : private IRecordingReporter {
public:
    // Runs the dialog; DoModal unless a test scripts it.
    using DialogRunner = std::function<int(CRecordingDialog&)>;

    CRecordingController(ITimerHost& timers, const CDisplayState& display, const CFrameDecoder& decoder,
                         std::function<void()> updateStatusLine, std::function<void(bool)> enableRecordingCommand,
                         QWidget* dialogParent = nullptr, DialogRunner runDialog = {});
    CRecordingController(const CRecordingController&) = delete;
    CRecordingController& operator=(const CRecordingController&) = delete;

    void OnRecordingSettings();
    void OpenAtStartup();
    void OnRecordingTick();
    // "Rejestracja do pliku co hh:mm:ss. " while the recording timer runs, else empty.
    QString RecordingStatusText() const;
    // The recording interval in seconds as the timer uses it (1 to 86399).
    int IntervalSeconds() const { return Settings().IntervalSeconds(); }

    // The recording settings (section "LOG"): given before the start-up
    // opening, taken back at exit.
    const RecordingSettings& Settings() const { return m_session.Settings(); }
    void SetSettings(const RecordingSettings& settings) { m_session.SetSettings(settings); }
    const CRecordingSession& Session() const { return m_session; }
    // A receiver of every record beside the files (before the start-up opening).
    void AttachStream(IRecordStream* stream) { m_session.AttachStream(stream); }

private:
    struct OpenFailure {
        LogKind log;
        int error;
    };

    // One run of the command; true when it must run again (a file failed to open).
    bool RunSettingsOnce();
    void ShowOpenFailure(const OpenFailure& failure) const;

    // IRecordingReporter: a file that did not open waits for the step's end
    // (the dialog follows it); a write failure is a box at once.
    void OpenFailed(LogKind log, const QString& path, int error, bool first) override;
    void OpenedAgain(const QString&, int) override {}
    void WriteFailed(const std::vector<LogWriteFailure>& failures) override;
    void WriteResumed(const QString&) override {}

    ITimerHost& m_timers;
    const CDisplayState& m_display;
    const CFrameDecoder& m_decoder;
    std::function<void()> m_updateStatusLine;
    std::function<void(bool)> m_enableRecordingCommand;
    QWidget* m_pDialogParent;
    DialogRunner m_runDialog;
    CRecordingSession m_session;
    QString m_strComment;                    // the dialog's comment text, not saved
    std::vector<OpenFailure> m_openFailures; // of the step that just ran
    bool m_bWriteFailureShown = false;
};
