#pragma once
// CConsoleServices: the platform services without a display. What a message
// box would say becomes one line on the standard error (WriteReportLine);
// nobody can answer, so an OK box returns IDOK and every box with a choice
// returns IDCANCEL, which no caller takes for "No". There are no choosers, no
// desktop handler and no help viewer: those report failure. The local clock is
// the real one.
//
// The services in force until a program installs others (the windowed program
// installs CQtServices at start). Any thread that may call Services().

#include "platform/reportline.h"
#include "platform/services.h"

class CConsoleServices : public IServices {
public:
    int MessageBox(const QString& text, UINT type) override;
    void MessageBeep(UINT type) override;
    bool ChooseOpenFile(const FileChooserRequest& request, FileChooserResult& result) override;
    bool ChooseColor(COLORREF& color) override;
    bool ChooseFont(LOGFONT& font) override;
    int ShellOpen(const QString& target) override;
    int LaunchProgram(const QString& program, const QStringList& arguments) override;
    bool ShowHelp(int topic) override;
    // No desktop: false (the headless program writes its own line).
    bool ShowNotification(const QString& summary, const QString& body) override;
    SYSTEMTIME GetLocalTime() override;
};

// The local date and time now, to the millisecond.
SYSTEMTIME LocalTimeNow();
// The line priority of a message box: stop icon error, exclamation warning,
// else information.
ReportPriority PriorityOfMessageBox(UINT type);
