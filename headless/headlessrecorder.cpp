#include "headless/headlessrecorder.h"

#include <algorithm>
#include <cerrno>

#include "meter/metercore.h"
#include "platform/errortext.h"
#include "platform/messageids.h"
#include "platform/stringtable.h"
#include "platform/timerids.h"
#include "recording/recordinginterval.h"
#include "recording/writefailuretext.h"

namespace {

constexpr UINT kOpenLogsDelayMs = 10000;

} // namespace

CHeadlessRecorder::CHeadlessRecorder(ITimerHost& timers, const CMeterCore& core)
    : m_timers(timers), m_core(core)
{
}

void CHeadlessRecorder::Start()
{
    if (!TextLogOn() && !BinaryLogOn())
        return;
    m_bWaitingToOpen = m_timers.SetTimer(kOpenLogsTimerId, kOpenLogsDelayMs) != 0;
}

void CHeadlessRecorder::OpenLogs()
{
    if (!m_bWaitingToOpen)
        return;
    m_bWaitingToOpen = false;
    m_timers.KillTimer(kOpenLogsTimerId);
    // A record at once, then one a tick; the timer runs whatever opened.
    OnRecordingTick();
    const int seconds = ClampRecordingInterval(m_nInterval);
    m_bTimerRunning = m_timers.SetTimer(kRecordingTimerId, UINT(seconds) * 1000) != 0;
}

void CHeadlessRecorder::OnRecordingTick()
{
    if (TextLogOn() && EnsureTextOpen())
        WriteText();
    if (BinaryLogOn() && EnsureBinaryOpen())
        WriteBinary();
}

void CHeadlessRecorder::Reopen()
{
    m_textLog.Close();
    m_binaryLog.Close();
    // Before the opening nothing is open, and nothing is opened early.
    if (m_bWaitingToOpen)
        return;
    if (TextLogOn())
        EnsureTextOpen();
    if (BinaryLogOn())
        EnsureBinaryOpen();
}

bool CHeadlessRecorder::EnsureTextOpen()
{
    const Opening opening = EnsureOpen(m_textLog, m_strFileName, IDS_TEXT_LOG_UNAVAILABLE, m_textTrouble);
    // The serial number of the instrument whose records follow, as the
    // recording command writes it (the comment text itself is never saved).
    if (opening == Opening::Opened && m_bCheckComment && m_bCheckCommentSn)
        Written(m_textLog.WriteStartComment(false, QString(), true, m_core.Reading().nSerialNumber),
                m_textLog.Path(), m_textTrouble);
    return opening != Opening::Failed;
}

bool CHeadlessRecorder::EnsureBinaryOpen()
{
    return EnsureOpen(m_binaryLog, m_strFileNameBin, IDS_BINARY_LOG_UNAVAILABLE, m_binaryTrouble)
           != Opening::Failed;
}

template <class Log>
CHeadlessRecorder::Opening CHeadlessRecorder::EnsureOpen(Log& log, const QString& path, unsigned messageId,
                                                         Trouble& trouble)
{
    if (log.IsOpen())
        return Opening::WasOpen;
    if (log.Open(path, false) == LogOpenResult::Failed) {
        if (!trouble.openFailed) {
            trouble.openError = log.LastOpenError();
            m_report(WithErrorReason(QStringLiteral("%1 (%2)").arg(LoadString(messageId), path), trouble.openError,
                                     ErrorSubject::File),
                     ReportPriority::Warning);
        }
        trouble.openFailed = true;
        return Opening::Failed;
    }
    if (trouble.openFailed) {
        m_report(trouble.openError == EBUSY
                     ? QStringLiteral("Otwarto plik %1, zwolniony przez inny program.").arg(path)
                     : QStringLiteral("Otwarto plik %1.").arg(path),
                 ReportPriority::Info);
    }
    trouble.openFailed = false;
    return Opening::Opened;
}

void CHeadlessRecorder::Written(int error, const QString& path, Trouble& trouble)
{
    if (error != 0 && !trouble.writeFailed)
        m_report(WriteFailureText(path, error), ReportPriority::Error);
    else if (error == 0 && trouble.writeFailed)
        m_report(QStringLiteral("Zapis do pliku %1 wznowiony.").arg(path), ReportPriority::Info);
    trouble.writeFailed = error != 0;
}

void CHeadlessRecorder::WriteText()
{
    const RecordReading reading = m_core.Reading();
    Written(m_textLog.WriteRecord(reading.bValid, reading.dValue, reading.bPascals, m_nSepFormat),
            m_textLog.Path(), m_textTrouble);
}

void CHeadlessRecorder::WriteBinary()
{
    const RecordReading reading = m_core.Reading();
    Written(m_binaryLog.WriteRecord(reading.bValid, reading.dValue, reading.bPascals, reading.nSerialNumber),
            m_binaryLog.Path(), m_binaryTrouble);
}
