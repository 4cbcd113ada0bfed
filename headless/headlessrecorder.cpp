#include "headless/headlessrecorder.h"

#include <cerrno>
#include <utility>

#include "meter/metercore.h"
#include "platform/errortext.h"
#include "platform/messageids.h"
#include "platform/stringtable.h"
#include "platform/timerids.h"
#include "recording/writefailuretext.h"

namespace {

constexpr unsigned kOpenLogsDelayMs = 10000;

// Every opening appends without a question; the comment, when the settings
// switch it on, is the serial number alone (no text is ever typed here).
const CRecordingSession::Opening kHeadlessOpening{false, true, QString()};

} // namespace

CHeadlessRecorder::CHeadlessRecorder(ITimerHost& timers, const CMeterCore& core, Reporter report)
    : m_timers(timers),
      m_report(std::move(report)),
      m_session(timers, *this, [&core] { return core.Reading(); }, CRecordingSession::ClosedLogs::RetriedEachTick)
{
}

void CHeadlessRecorder::Start()
{
    if (!Settings().TextLogOn() && !Settings().BinaryLogOn() && !m_bStream)
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
    m_session.Start(kHeadlessOpening);
}

void CHeadlessRecorder::Reopen()
{
    // Before the opening nothing is open, and nothing is opened early.
    if (m_bWaitingToOpen)
        m_session.Close();
    else
        m_session.Reopen();
}

void CHeadlessRecorder::OpenFailed(LogKind log, const QString& path, int error, bool first)
{
    if (!first)
        return;
    const unsigned message = log == LogKind::Text ? IDS_TEXT_LOG_UNAVAILABLE : IDS_BINARY_LOG_UNAVAILABLE;
    m_report(WithErrorReason(QStringLiteral("%1 (%2)").arg(LoadString(message), path), error, ErrorSubject::File),
             ReportPriority::Warning);
}

void CHeadlessRecorder::OpenedAgain(const QString& path, int previousError)
{
    m_report(previousError == EBUSY ? QStringLiteral("Otwarto plik %1, zwolniony przez inny program.").arg(path)
                                    : QStringLiteral("Otwarto plik %1.").arg(path),
             ReportPriority::Info);
}

void CHeadlessRecorder::WriteFailed(const std::vector<LogWriteFailure>& failures)
{
    for (const LogWriteFailure& failure : failures) {
        if (failure.first)
            m_report(WriteFailureText(failure.path, failure.error), ReportPriority::Error);
    }
}

void CHeadlessRecorder::WriteResumed(const QString& path)
{
    m_report(QStringLiteral("Zapis do pliku %1 wznowiony.").arg(path), ReportPriority::Info);
}
