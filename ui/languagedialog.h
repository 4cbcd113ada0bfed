#pragma once
// CLanguageDialog "KM302": the choice "Polski" / "English".
//
// The caller sets m_nSelection (0 Polish, 1 English) and runs DoModal. The
// dialog opens with "English" selected for 1 and "Polski" for any other
// value. OK takes the selected button into m_nSelection and ends with IDOK;
// Escape ends with IDCANCEL. RunLanguageCommand is the whole command.
//
// No menu entry leads here: the main window handles the command (32796) but
// nothing sends it, so the user never sees this dialog. The code it would set
// changes no text of the program; it is kept in the "LANGUAGE" setting,
// which can be edited in the settings file.
// User-interface thread; made on the stack.

#include <QString>

#include <functional>
#include <memory>

#include "platform/dialog.h"

class QRadioButton;

namespace Ui {
class CLanguageDialog;
}

class CLanguageDialog : public CDialog {
    Q_OBJECT
public:
    explicit CLanguageDialog(QWidget* parent = nullptr);
    ~CLanguageDialog() override;

    BOOL OnInitDialog() override;
    void OnOK() override;

    int m_nSelection = 0;
    QRadioButton* m_english = nullptr;
    QRadioButton* m_polish = nullptr;

private:
    std::unique_ptr<Ui::CLanguageDialog> m_ui;
};

// The command: hands the dialog 0 for "pl", 1 for "en" and -1 for any other
// code (the empty one of a first start included), which shows "Polski"; with
// IDOK `language` becomes "pl" or "en" as chosen, otherwise it stays. `run`
// runs the dialog and returns its result (DoModal when empty; tests script
// it). Returns the dialog's result. Only the "LANGUAGE" setting keeps the
// code: no text of the program changes with it.
int RunLanguageCommand(QString& language, QWidget* parent = nullptr,
                       const std::function<int(CLanguageDialog&)>& run = {});
