#include "platform/consoleservices.h"

#include <QDateTime>

#include "platform/reportline.h"

namespace {

constexpr int kNoAssociation = 31;
constexpr int kFileNotFound = 2;

} // namespace

ReportPriority PriorityOfMessageBox(UINT type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONSTOP: return ReportPriority::Error;
    case MB_ICONEXCLAMATION: return ReportPriority::Warning;
    default: return ReportPriority::Info;
    }
}

int CConsoleServices::MessageBox(const QString& text, UINT type)
{
    WriteReportLine(text, PriorityOfMessageBox(type));
    return (type & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
}

void CConsoleServices::MessageBeep(UINT) {}

bool CConsoleServices::ChooseOpenFile(const FileChooserRequest&, FileChooserResult&)
{
    return false;
}

bool CConsoleServices::ChooseColor(COLORREF&)
{
    return false;
}

bool CConsoleServices::ChooseFont(LOGFONT&)
{
    return false;
}

int CConsoleServices::ShellOpen(const QString&)
{
    return kNoAssociation;
}

int CConsoleServices::LaunchProgram(const QString&, const QStringList&)
{
    return kFileNotFound;
}

bool CConsoleServices::ShowHelp(int)
{
    return false;
}

bool CConsoleServices::ShowNotification(const QString&, const QString&)
{
    return false;
}

SYSTEMTIME CConsoleServices::GetLocalTime()
{
    return LocalTimeNow();
}

SYSTEMTIME LocalTimeNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    SYSTEMTIME time;
    time.wYear = static_cast<WORD>(now.date().year());
    time.wMonth = static_cast<WORD>(now.date().month());
    time.wDayOfWeek = static_cast<WORD>(now.date().dayOfWeek() % 7);   // Sunday is 0
    time.wDay = static_cast<WORD>(now.date().day());
    time.wHour = static_cast<WORD>(now.time().hour());
    time.wMinute = static_cast<WORD>(now.time().minute());
    time.wSecond = static_cast<WORD>(now.time().second());
    time.wMilliseconds = static_cast<WORD>(now.time().msec());
    return time;
}
