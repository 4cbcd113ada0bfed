#include "recording/recordingsession.h"

#include <utility>

#include "platform/timerids.h"

CRecordingSession::CRecordingSession(ITimerHost& timers, IRecordingReporter& reporter,
                                     std::function<RecordReading()> reading, ClosedLogs closedLogs)
    : m_timers(timers), m_reporter(reporter), m_reading(std::move(reading)), m_closedLogs(closedLogs)
{
}

void CRecordingSession::AttachStream(IRecordStream* stream)
{
    m_pStream = stream;
    if (!m_bStarted)
        return;
    if (m_pStream && m_nTimer == 0)
        StartTimer();
    else if (!m_pStream && !RecordsToFiles())
        StopTimer();
}

void CRecordingSession::Start(const Opening& opening)
{
    m_bStarted = true;
    m_lastOpening = opening;
    m_lastOpening.ask = false;
    Step step;
    // 1. The text log, then the binary log: opened when closed, then a record.
    RecordText(opening, true, step);
    RecordBinary(opening, true, step);
    // 2. The timer, before anything is told.
    if (RecordsToFiles() || m_pStream)
        StartTimer();
    else
        StopTimer();
    // 3. What failed, then the stream's record.
    Report(step);
    if (m_pStream)
        m_pStream->RecordTick();
}

void CRecordingSession::Apply(const RecordingSettings& next, const Opening& opening)
{
    const RecordingSettings previous = std::exchange(m_settings, next);
    if (!next.fileLog || next.fileName != previous.fileName || next.sepFormat != previous.sepFormat)
        m_textLog.Close();
    if (!next.fileLogBin || next.fileNameBin != previous.fileNameBin)
        m_binaryLog.Close();
    if (!next.fileLog && !next.fileLogBin && !m_pStream) {
        StopTimer();
        return;
    }
    Start(opening);
}

void CRecordingSession::Tick()
{
    // Each file on its own: a full disk under one log costs the other nothing.
    const bool openClosed = m_closedLogs == ClosedLogs::RetriedEachTick;
    Step step;
    RecordText(m_lastOpening, openClosed, step);
    RecordBinary(m_lastOpening, openClosed, step);
    Report(step);
    if (m_pStream)
        m_pStream->RecordTick();
}

void CRecordingSession::Reopen()
{
    Close();
    Step step;
    if (m_settings.TextLogOn())
        OpenText(m_lastOpening, step);
    if (m_settings.BinaryLogOn())
        OpenBinary(m_lastOpening, step);
    Report(step);
}

void CRecordingSession::Close()
{
    m_textLog.Close();
    m_binaryLog.Close();
}

void CRecordingSession::SwitchOffClosedLogs()
{
    if (!m_textLog.IsOpen())
        m_settings.fileLog = 0;
    if (!m_binaryLog.IsOpen())
        m_settings.fileLogBin = 0;
}

void CRecordingSession::RecordText(const Opening& opening, bool openClosed, Step& step)
{
    if (!m_settings.fileLog)
        return;
    if (!m_textLog.IsOpen() && !(openClosed && Tried(m_settings.fileName, opening) && OpenText(opening, step)))
        return;
    const RecordReading reading = m_reading();
    Written(m_textLog.WriteRecord(reading.bValid, reading.dValue, reading.bPascals, m_settings.sepFormat),
            m_textLog.Path(), m_textTrouble, step);
}

void CRecordingSession::RecordBinary(const Opening& opening, bool openClosed, Step& step)
{
    if (!m_settings.fileLogBin)
        return;
    if (!m_binaryLog.IsOpen()
        && !(openClosed && Tried(m_settings.fileNameBin, opening) && OpenBinary(opening, step)))
        return;
    const RecordReading reading = m_reading();
    Written(m_binaryLog.WriteRecord(reading.bValid, reading.dValue, reading.bPascals, reading.nSerialNumber),
            m_binaryLog.Path(), m_binaryTrouble, step);
}

bool CRecordingSession::RecordsToFiles() const
{
    return m_textLog.IsOpen() || m_binaryLog.IsOpen()
           || (m_closedLogs == ClosedLogs::RetriedEachTick && (m_settings.TextLogOn() || m_settings.BinaryLogOn()));
}

bool CRecordingSession::Tried(const QString& path, const Opening& opening)
{
    // A switched-on log without a path fails when the user has just chosen
    // it (so that they are told); otherwise it is simply not recorded.
    return !path.isEmpty() || opening.ask;
}

bool CRecordingSession::OpenText(const Opening& opening, Step& step)
{
    const LogOpenResult result = m_textLog.Open(m_settings.fileName, opening.ask);
    if (!Opened(LogKind::Text, result != LogOpenResult::Failed, m_settings.fileName, m_textLog.LastOpenError(),
                step))
        return false;
    if (!opening.comment || !m_settings.checkComment)
        return true;
    // The serial number of the instrument whose records follow; a comment
    // that did not go in leaves this opening without its record.
    const int error = m_textLog.WriteStartComment(result == LogOpenResult::AppendedByAnswer, opening.text,
                                                  m_settings.checkCommentSn != 0, m_reading().nSerialNumber);
    return Written(error, m_textLog.Path(), m_textTrouble, step);
}

bool CRecordingSession::OpenBinary(const Opening& opening, Step& step)
{
    const bool opened = m_binaryLog.Open(m_settings.fileNameBin, opening.ask) != LogOpenResult::Failed;
    return Opened(LogKind::Binary, opened, m_settings.fileNameBin, m_binaryLog.LastOpenError(), step);
}

bool CRecordingSession::Opened(LogKind log, bool opened, const QString& path, int error, Step& step)
{
    Trouble& trouble = log == LogKind::Text ? m_textTrouble : m_binaryTrouble;
    if (!opened) {
        step.openFailures.push_back({log, path, error, !trouble.openFailed});
        trouble.openFailed = true;
        trouble.openError = error;
        return false;
    }
    if (trouble.openFailed)
        m_reporter.OpenedAgain(path, trouble.openError);
    trouble.openFailed = false;
    return true;
}

bool CRecordingSession::Written(int error, const QString& path, Trouble& trouble, Step& step)
{
    if (error != 0)
        step.writeFailures.push_back({path, error, !trouble.writeFailed});
    else if (trouble.writeFailed)
        m_reporter.WriteResumed(path);
    trouble.writeFailed = error != 0;
    return error == 0;
}

void CRecordingSession::StartTimer()
{
    if (m_nTimer != 0)
        m_timers.KillTimer(m_nTimer);
    m_nTimer = m_timers.SetTimer(kRecordingTimerId, static_cast<unsigned>(m_settings.IntervalSeconds()) * 1000);
}

void CRecordingSession::StopTimer()
{
    // By its fixed id: a timer may run that this session did not note.
    m_timers.KillTimer(kRecordingTimerId);
    m_nTimer = 0;
}

void CRecordingSession::Report(const Step& step)
{
    if (!step.writeFailures.empty())
        m_reporter.WriteFailed(step.writeFailures);
    for (const OpenFailure& failure : step.openFailures)
        m_reporter.OpenFailed(failure.log, failure.path, failure.error, failure.first);
}
