#include "ui/recordingcontroller.h"

#include <QStringList>

#include <algorithm>

#include "meter/recordreading.h"
#include "device/framedecoder.h"
#include "platform/errortext.h"
#include "platform/messageids.h"
#include "platform/services.h"
#include "platform/stringtable.h"
#include "platform/timerids.h"
#include "recording/writefailuretext.h"
#include "recording/recordinginterval.h"
#include "ui/recordingdialog.h"

CRecordingController::CRecordingController(ITimerHost& timers, const CDisplayState& display,
                                           const CFrameDecoder& decoder,
                                           std::function<void()> updateStatusLine,
                                           std::function<void(bool)> enableRecordingCommand)
    : m_runDialog([](CRecordingDialog& dialog) { return dialog.DoModal(); }),
      m_timers(timers),
      m_display(display),
      m_decoder(decoder),
      m_updateStatusLine(std::move(updateStatusLine)),
      m_enableRecordingCommand(std::move(enableRecordingCommand))
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
    // 1. The dialog shows the recording state; remember what decides a reopening.
    CRecordingDialog dialog(m_pDialogParent);
    dialog.m_bCheckComment = m_bCheckComment;
    dialog.m_bCheckCommentSn = m_bCheckCommentSn;
    dialog.m_strComment = m_strComment;
    dialog.m_nSepFormat = m_nSepFormat;
    dialog.m_nInterval = m_nInterval;
    dialog.m_strFileName = m_strFileName;
    dialog.m_strFileNameBin = m_strFileNameBin;
    dialog.m_bFileLog = m_bFileLog;
    dialog.m_bFileLogBin = m_bFileLogBin;
    const QString previousFileName = m_strFileName;
    const QString previousFileNameBin = m_strFileNameBin;
    const int previousFileLog = m_bFileLog;
    const int previousFileLogBin = m_bFileLogBin;
    const int previousSepFormat = m_nSepFormat;

    // 2.-3. Cancel switches off a log whose file did not open. A dialog that
    // the program closed because it was asked to stop is no answer of the
    // user's: everything stays as it was, for the settings saved at exit.
    if (m_runDialog(dialog) != IDOK) {
        if (!dialog.WasCancelledByStop()) {
            if (!m_textLog.IsOpen())
                m_bFileLog = 0;
            if (!m_binaryLog.IsOpen())
                m_bFileLogBin = 0;
        }
        m_updateStatusLine();
        return false;
    }

    // 4.
    m_bCheckComment = dialog.m_bCheckComment;
    m_bCheckCommentSn = dialog.m_bCheckCommentSn;
    m_strComment = dialog.m_strComment;
    m_nSepFormat = dialog.m_nSepFormat;
    m_nInterval = dialog.m_nInterval;
    m_strFileName = dialog.m_strFileName;
    m_strFileNameBin = dialog.m_strFileNameBin;
    m_bFileLog = dialog.m_bFileLog;
    m_bFileLogBin = dialog.m_bFileLogBin;

    // 5. A log switched off is closed; with both off the recording stops.
    if (!m_bFileLog || !m_bFileLogBin) {
        if (!m_bFileLog && !m_bFileLogBin && m_nRecordingTimer != 0)
            m_timers.KillTimer(m_nRecordingTimer);
        // With one log left on, the timer is restarted under the same id in step 8.
        m_nRecordingTimer = 0;
        if (m_textLog.IsOpen() && !m_bFileLog)
            m_textLog.Close();
        if (m_binaryLog.IsOpen() && !m_bFileLogBin)
            m_binaryLog.Close();
        if (!m_bFileLog && !m_bFileLogBin) {
            m_updateStatusLine();
            return false;
        }
    }

    // Every box waits until both logs had their turn and the timer runs: a
    // box left open (or a full disk) must not keep the other log or the
    // recording waiting.
    WriteFailures failures;
    UINT openFailure = 0;
    int openError = 0;

    // 6. The text log: reopened when its path, switch or separator changed.
    if (m_bFileLog) {
        int error = 0;
        bool opened = true;
        if (!(m_textLog.IsOpen() && m_strFileName == previousFileName
              && m_bFileLog == previousFileLog && m_nSepFormat == previousSepFormat)) {
            m_textLog.Close();
            const LogOpenResult result = m_textLog.Open(m_strFileName, true);
            opened = result != LogOpenResult::Failed;
            if (!opened) {
                openFailure = IDS_TEXT_LOG_UNAVAILABLE;
                openError = m_textLog.LastOpenError();
            }
            else if (m_bCheckComment)
                error = m_textLog.WriteStartComment(result == LogOpenResult::AppendedByAnswer,
                                                    m_strComment, m_bCheckCommentSn != 0,
                                                    m_decoder.m_nSerialNumber);
        }
        if (opened && error == 0)
            error = WriteTextRecord();
        if (error != 0)
            failures.emplace_back(m_textLog.Path(), error);
    }

    // 7. The binary log: reopened when its path or switch changed.
    if (m_bFileLogBin) {
        bool opened = true;
        if (!(m_binaryLog.IsOpen() && m_strFileNameBin == previousFileNameBin
              && m_bFileLogBin == previousFileLogBin)) {
            m_binaryLog.Close();
            opened = m_binaryLog.Open(m_strFileNameBin, true) != LogOpenResult::Failed;
            if (!opened && openFailure == 0) {
                openFailure = IDS_BINARY_LOG_UNAVAILABLE;
                openError = m_binaryLog.LastOpenError();
            }
        }
        if (opened) {
            if (const int error = WriteBinaryRecord(); error != 0)
                failures.emplace_back(m_binaryLog.Path(), error);
        }
    }

    // 8.-9. Recording runs while any log is open.
    if (m_textLog.IsOpen() || m_binaryLog.IsOpen())
        StartRecordingTimer();
    else
        StopRecordingTimer();
    m_updateStatusLine();

    // What failed, told now; a file that did not open brings the dialog back.
    ReportWriteFailures(failures);
    if (openFailure == 0)
        return false;
    Services().MessageBox(WithErrorReason(LoadString(openFailure), openError, ErrorSubject::File),
                          MB_OK | MB_ICONEXCLAMATION);
    return true;
}

void CRecordingController::OpenAtStartup()
{
    m_timers.KillTimer(kOpenLogsTimerId);

    // Both logs are opened and the timer started before any box: a box left
    // open must not keep the recording from running (a full disk or a missing
    // folder at start-up is reported, and recording goes on once it is cured).
    WriteFailures failures;
    bool textFailed = false;
    bool binaryFailed = false;
    int textError = 0;
    int binaryError = 0;

    // 1. The text log, appended to without a question.
    if (!m_strFileName.isEmpty() && m_bFileLog && !m_textLog.IsOpen()) {
        if (m_textLog.Open(m_strFileName, false) == LogOpenResult::Failed) {
            textFailed = true;
            textError = m_textLog.LastOpenError();
        } else {
            if (const int error = WriteTextRecord(); error != 0)
                failures.emplace_back(m_textLog.Path(), error);
            StartRecordingTimer();
        }
    }

    // 2. The binary log likewise.
    if (!m_strFileNameBin.isEmpty() && m_bFileLogBin && !m_binaryLog.IsOpen()) {
        if (m_binaryLog.Open(m_strFileNameBin, false) == LogOpenResult::Failed) {
            binaryFailed = true;
            binaryError = m_binaryLog.LastOpenError();
        } else {
            if (const int error = WriteBinaryRecord(); error != 0)
                failures.emplace_back(m_binaryLog.Path(), error);
            StartRecordingTimer();
        }
    }

    // 3. Whatever happened above. The status line shows the running recording
    // at once rather than with the next frame.
    m_enableRecordingCommand(true);
    m_updateStatusLine();

    // 4. Then what failed. The dialog that follows a file that did not open
    // may open the other one too; it is asked about only if still closed.
    ReportWriteFailures(failures);
    if (textFailed) {
        Services().MessageBox(WithErrorReason(LoadString(IDS_TEXT_LOG_UNAVAILABLE), textError, ErrorSubject::File),
                              MB_OK | MB_ICONEXCLAMATION);
        OnRecordingSettings();
    }
    if (binaryFailed && m_bFileLogBin && !m_binaryLog.IsOpen()) {
        Services().MessageBox(
            WithErrorReason(LoadString(IDS_BINARY_LOG_UNAVAILABLE), binaryError, ErrorSubject::File),
            MB_OK | MB_ICONEXCLAMATION);
        OnRecordingSettings();
    }
}

void CRecordingController::OnRecordingTick()
{
    // Each file on its own: a full disk under one log costs the other nothing.
    WriteFailures failures;
    if (const int error = WriteTextRecord(); error != 0)
        failures.emplace_back(m_textLog.Path(), error);
    if (const int error = WriteBinaryRecord(); error != 0)
        failures.emplace_back(m_binaryLog.Path(), error);
    ReportWriteFailures(failures);
}

QString CRecordingController::RecordingStatusText() const
{
    if (m_nRecordingTimer == 0)
        return {};
    const int seconds = IntervalSeconds();
    return QString::asprintf(LoadString(IDS_RECORDING_STATUS).toUtf8().constData(), seconds / 3600,
                             seconds % 3600 / 60, seconds % 60);
}

int CRecordingController::IntervalSeconds() const
{
    return ClampRecordingInterval(m_nInterval);
}

void CRecordingController::StartRecordingTimer()
{
    if (m_nRecordingTimer != 0)
        m_timers.KillTimer(m_nRecordingTimer);
    m_nRecordingTimer = m_timers.SetTimer(kRecordingTimerId, static_cast<UINT>(IntervalSeconds()) * 1000);
}

void CRecordingController::StopRecordingTimer()
{
    // By its fixed id: a timer handed over for a restart has no id noted.
    m_timers.KillTimer(kRecordingTimerId);
    m_nRecordingTimer = 0;
}

int CRecordingController::WriteTextRecord()
{
    const RecordReading reading = ReadingToRecord(m_display, m_decoder);
    return m_textLog.WriteRecord(reading.bValid, reading.dValue, reading.bPascals, m_nSepFormat);
}

int CRecordingController::WriteBinaryRecord()
{
    const RecordReading reading = ReadingToRecord(m_display, m_decoder);
    return m_binaryLog.WriteRecord(reading.bValid, reading.dValue, reading.bPascals,
                                   reading.nSerialNumber);
}

void CRecordingController::ReportWriteFailures(const WriteFailures& failures)
{
    if (failures.empty() || m_bWriteFailureShown)
        return;
    QStringList texts;
    for (const auto& [path, error] : failures)
        texts << WriteFailureText(path, error);
    m_bWriteFailureShown = true;
    Services().MessageBox(texts.join(QStringLiteral("\n\n")), MB_OK | MB_ICONSTOP);
    m_bWriteFailureShown = false;
}
