#pragma once
// The platform services the program's logic calls: message boxes, choosers,
// shell open, program launch, help, beep, desktop notifications and the local
// clock. The program runs
// with CQtServices; tests install a scripted implementation so that nothing ever
// blocks on a modal window; without a display the program runs with
// CConsoleServices. Services() is used on the user-interface thread only.
//
// Message boxes take the Windows button and icon kinds of wintypes.h (MB_OK,
// MB_OKCANCEL, MB_YESNO with MB_ICONSTOP, ...) and return IDOK, IDCANCEL, IDYES
// or IDNO; the title is always "KM302". A box that the program ends itself
// while stopping (CDialog::CancelAllModal) returns IDCANCEL whatever its
// buttons, so a Yes/No question is answered "No" only by IDNO: code that would
// destroy data on "No" must test for IDNO, not for "not IDYES".

#include <QString>
#include <QStringList>

#include "platform/logfont.h"
#include "platform/wintypes.h"

// An open-file chooser in the Windows style: the filter is "Name|pattern|...||".
// The chooser does not apply the default extension itself (the caller appends
// one when the result has none) and, like the Windows open dialog, does not ask
// about overwriting.
struct FileChooserRequest {
    QString title;
    QString filter;
    QString defaultExtension;        // without the dot
    int filterIndex = 1;             // 1-based, the filter selected at the start
    bool overwritePrompt = false;
};

struct FileChooserResult {
    QString path;                    // full path as chosen
    int filterIndex = 1;             // 1-based, the filter selected at the end
    int extensionOffset = 0;         // 0 when the chosen name has no extension
};

class IServices {
public:
    virtual ~IServices() = default;

    virtual int MessageBox(const QString& text, UINT type) = 0;
    virtual void MessageBeep(UINT type) = 0;

    // true with `result` filled when the user chose a file.
    virtual bool ChooseOpenFile(const FileChooserRequest& request, FileChooserResult& result) = 0;
    // The colour chooser, fully open; true with `color` changed on OK.
    virtual bool ChooseColor(COLORREF& color) = 0;
    // The font chooser, screen fonts only, no effects; true with `font` changed on OK.
    virtual bool ChooseFont(LOGFONT& font) = 0;

    // Open a URL or document with the desktop's handler. Returns a Windows
    // ShellExecute-style code: above 32 on success, an error code otherwise.
    virtual int ShellOpen(const QString& target) = 0;
    // Start a program detached, WinExec-style: a name without a directory is
    // looked for in the program's directory, the current directory and PATH.
    // Above 31 on success.
    virtual int LaunchProgram(const QString& program, const QStringList& arguments) = 0;
    // Open the help page at a topic with the desktop's viewer; false when
    // there is no page, nothing on the desktop shows HTML, or the viewer could
    // not be started (the program then shows the page in its own window).
    virtual bool ShowHelp(int topic) = 0;

    // A desktop notification from "KM302" (the freedesktop notification
    // service on the session bus); sent without waiting for the desktop.
    // False when it could not be sent (no desktop: the caller says it its way).
    virtual bool ShowNotification(const QString& summary, const QString& body) = 0;

    virtual SYSTEMTIME GetLocalTime() = 0;
};

// The services in force: those installed last (the windowed program installs
// CQtServices, tests a scripted implementation), else CConsoleServices.
IServices& Services();
// Installs `services` (not owned) and returns the previous one; nullptr
// restores the default.
IServices* SetServices(IServices* services);
