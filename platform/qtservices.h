#pragma once
// CQtServices: the platform services on the Linux desktop (Qt Widgets).
//
// - MessageBox: a QMessageBox titled "KM302" with Polish buttons ("OK",
//   "Anuluj", "Tak", "Nie"). As on Windows, a Yes/No box cannot be escaped or
//   closed without an answer; OK and OK/Cancel boxes end with Escape as OK and
//   Cancel. A box ended by CDialog::CancelAllModal returns IDCANCEL whatever
//   its buttons: callers must not take that for "No". Each box is also
//   written to the standard error as it opens, as one line "km302: <text>"
//   with every run of white space (line breaks too) as one blank.
// - ChooseOpenFile: QFileDialog in open mode that accepts names of files that
//   do not exist yet. It neither applies the default extension nor asks about
//   overwriting (the Windows open dialog ignores that flag too); the caller
//   does what the program needs.
// - ChooseColor, ChooseFont: QColorDialog, QFontDialog (Qt's own, without
//   underline and strike-out, which nothing keeps).
// - ShellOpen: QDesktopServices; 42 on success, 31 (SE_ERR_NOASSOC) when no
//   handler took the target, 2 (SE_ERR_FNF) for an empty target.
// - LaunchProgram: a name without '/' is looked for in the program's
//   directory, the current directory and PATH, as WinExec searches; started
//   detached. 33 on success, 2 (ERROR_FILE_NOT_FOUND) otherwise.
// - ShowHelp: KM302.html#topic<N> (HelpPagePath) through the desktop's URL
//   handler, only when something on the desktop shows HTML
//   (HtmlViewerAvailable); false without one, without the page, or when the
//   handler fails.
// - ShowNotification: Notify("KM302", 0, "", summary, body, [], {}, -1) of
//   org.freedesktop.Notifications on the session bus, sent without waiting
//   for the reply; false without a session bus.
//
// Every modal window runs through CDialog::RunModal, owned by the active
// window so that it stays above an always-on-top main window.
// User-interface thread only.

#include "platform/services.h"

class CQtServices : public IServices {
public:
    int MessageBox(const QString& text, UINT type) override;
    void MessageBeep(UINT type) override;
    bool ChooseOpenFile(const FileChooserRequest& request, FileChooserResult& result) override;
    bool ChooseColor(COLORREF& color) override;
    bool ChooseFont(LOGFONT& font) override;
    int ShellOpen(const QString& target) override;
    int LaunchProgram(const QString& program, const QStringList& arguments) override;
    bool ShowHelp(int topic) override;
    bool ShowNotification(const QString& summary, const QString& body) override;
    SYSTEMTIME GetLocalTime() override;
};
