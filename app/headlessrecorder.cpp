#include "app/headlessrecorder.h"

#include <algorithm>

#include "app/metercore.h"
#include "platform/stringtable.h"
#include "platform/timerids.h"
#include "recording/recordinginterval.h"
#include "recording/writefailuretext.h"

namespace {

constexpr unsigned IDS_TEXT_LOG_UNAVAILABLE = 106;
constexpr unsigned IDS_BINARY_LOG_UNAVAILABLE = 107;

} // namespace

CHeadlessRecorder::CHeadlessRecorder(ITimerHost& timers, const CMeterCore& core)
    : m_timers(timers), m_core(core)
{
}

void CHeadlessRecorder::Start()
{
    if (!TextLogOn() && !BinaryLogOn())
        return;
    // A record at once, then one a tick; the timer runs whatever opened.
    OnRecordingTick();
    const int seconds = ClampRecordingInterval(m_nInterval);
    m_bTimerRunning = m_timers.SetTimer(kRecordingTimerId, UINT(seconds) * 1000) != 0;
}

void CHeadlessRecorder::OnRecordingTick()
{
    if (TextLogOn() && EnsureOpen(m_textLog, m_strFileName, IDS_TEXT_LOG_UNAVAILABLE, m_textTrouble))
        WriteText();
    if (BinaryLogOn()
        && EnsureOpen(m_binaryLog, m_strFileNameBin, IDS_BINARY_LOG_UNAVAILABLE, m_binaryTrouble))
        WriteBinary();
}

void CHeadlessRecorder::Reopen()
{
    m_textLog.Close();
    m_binaryLog.Close();
    if (TextLogOn())
        EnsureOpen(m_textLog, m_strFileName, IDS_TEXT_LOG_UNAVAILABLE, m_textTrouble);
    if (BinaryLogOn())
        EnsureOpen(m_binaryLog, m_strFileNameBin, IDS_BINARY_LOG_UNAVAILABLE, m_binaryTrouble);
}

template <class Log>
bool CHeadlessRecorder::EnsureOpen(Log& log, const QString& path, unsigned messageId, Trouble& trouble)
{
    if (log.IsOpen())
        return true;
    if (log.Open(path, false) == LogOpenResult::Failed) {
        if (!trouble.openFailed)
            m_report(QStringLiteral("%1 (%2)").arg(LoadString(messageId), path), ReportPriority::Warning);
        trouble.openFailed = true;
        return false;
    }
    trouble.openFailed = false;
    return true;
}

void CHeadlessRecorder::Written(int error, const QString& path, Trouble& trouble)
{
    if (error != 0 && !trouble.writeFailed)
        m_report(WriteFailureText(path, error), ReportPriority::Error);
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
