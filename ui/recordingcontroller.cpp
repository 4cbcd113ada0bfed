#include "ui/recordingcontroller.h"

#include <QStringList>

#include <utility>

#include "device/framedecoder.h"
#include "meter/recordrule.h"
#include "platform/errortext.h"
#include "platform/messageids.h"
#include "platform/services.h"
#include "platform/stringtable.h"
#include "platform/timerids.h"
#include "recording/writefailuretext.h"
#include "ui/recordingdialog.h"

CRecordingController::CRecordingController(ITimerHost& timers, const CDisplayState& display,
                                           const CFrameDecoder& decoder, std::function<void()> updateStatusLine,
                                           std::function<void(bool)> enableRecordingCommand,
                                           QWidget* dialogParent, DialogRunner runDialog)
    : m_timers(timers),
      m_display(display),
      m_decoder(decoder),
      m_updateStatusLine(std::move(updateStatusLine)),
      m_enableRecordingCommand(std::move(enableRecordingCommand)),
      m_pDialogParent(dialogParent),
      m_runDialog(runDialog ? std::move(runDialog) : [](CRecordingDialog& dialog) { return dialog.DoModal(); }),
      m_session(timers, *this, [this] { return ReadingToRecord(m_display, m_decoder); },
                CRecordingSession::ClosedLogs::LeftToTheUser)
{
}

void CRecordingController::OnRecordingSettings()
{
    // A file that failed to open shows the dialog again, until the user
    // accepts settings that open or cancels.
    while (RunSettingsOnce()) {
    }
}

bool CRecordingController::RunSettingsOnce()
{
    // 1. The dialog shows the recording state.
    CRecordingDialog dialog(m_pDialogParent);
    dialog.Load(Settings(), m_strComment);

    // 2.-3. Cancel switches off a log whose file did not open. A dialog that
    // the program closed because it was asked to stop is no answer of the
    // user's: everything stays as it was, for the settings saved at exit.
    if (m_runDialog(dialog) != IDOK) {
        if (!dialog.WasCancelledByStop())
            m_session.SwitchOffClosedLogs();
        m_updateStatusLine();
        return false;
    }

    // 4. The dialog's values.
    m_strComment = dialog.m_strComment;

    // 5.-9. A log switched off is closed (both off: the recording stops); the
    // text log is reopened when its path, switch or separator changed, the
    // binary log when its path or switch did, each with a record; the
    // recording runs while any log is open. Every box waits until both logs
    // had their turn and the timer runs: a box left open (or a full disk) must
    // not keep the other log or the recording waiting.
    m_openFailures.clear();
    m_session.Apply(dialog.Settings(), {true, true, m_strComment});
    m_updateStatusLine();

    // A file that did not open is told now (the text log's first) and brings
    // the dialog back.
    if (m_openFailures.empty())
        return false;
    ShowOpenFailure(m_openFailures.front());
    return true;
}

void CRecordingController::OpenAtStartup()
{
    m_timers.KillTimer(kOpenLogsTimerId);

    // 1.-2. Both logs, appended to without a question or comment, each with
    // a record; the timer runs when any opened. A box left open must not keep
    // the recording from running (a full disk or a missing folder at start-up
    // is reported, and recording goes on once it is cured).
    m_openFailures.clear();
    m_session.Start({false, false, QString()});
    const std::vector<OpenFailure> failures = std::move(m_openFailures);

    // 3. Whatever happened above. The status line shows the running recording
    // at once rather than with the next frame.
    m_enableRecordingCommand(true);
    m_updateStatusLine();

    // 4. Then what did not open. The dialog that follows a file that did not
    // open may open the other one too; it is asked about only if still closed.
    for (const OpenFailure& failure : failures) {
        const bool stillClosed = failure.log == LogKind::Text
                                     ? true
                                     : Settings().fileLogBin && !m_session.BinaryLog().IsOpen();
        if (!stillClosed)
            continue;
        ShowOpenFailure(failure);
        OnRecordingSettings();
    }
}

void CRecordingController::OnRecordingTick()
{
    m_session.Tick();
}

QString CRecordingController::RecordingStatusText() const
{
    if (!m_session.IsRecording())
        return {};
    const int seconds = IntervalSeconds();
    return QString::asprintf(LoadString(IDS_RECORDING_STATUS).toUtf8().constData(), seconds / 3600,
                             seconds % 3600 / 60, seconds % 60);
}

void CRecordingController::ShowOpenFailure(const OpenFailure& failure) const
{
    const unsigned message = failure.log == LogKind::Text ? IDS_TEXT_LOG_UNAVAILABLE : IDS_BINARY_LOG_UNAVAILABLE;
    Services().MessageBox(WithErrorReason(LoadString(message), failure.error, ErrorSubject::File),
                          MB_OK | MB_ICONEXCLAMATION);
}

void CRecordingController::OpenFailed(LogKind log, const QString&, int error, bool)
{
    m_openFailures.push_back({log, error});
}

void CRecordingController::WriteFailed(const std::vector<LogWriteFailure>& failures)
{
    // At most one such box at a time: ticks go on while it is open, and
    // their failures are not shown again until it is closed.
    if (m_bWriteFailureShown)
        return;
    QStringList texts;
    for (const LogWriteFailure& failure : failures)
        texts << WriteFailureText(failure.path, failure.error);
    m_bWriteFailureShown = true;
    Services().MessageBox(texts.join(QStringLiteral("\n\n")), MB_OK | MB_ICONSTOP);
    m_bWriteFailureShown = false;
}
