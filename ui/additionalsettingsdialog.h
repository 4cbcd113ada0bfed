#pragma once
// CAdditionalSettingsDialog "Ustawienia dodatkowe": the one option that keeps
// the promotion dialog from showing at start-up.
//
// The caller sets m_bBoxState (true = the box ticked) and runs DoModal; OK
// takes the box into m_bBoxState and ends with IDOK, "Anuluj" ends with
// IDCANCEL and leaves it. RunAdditionalSettingsCommand is the whole command
// "Ustawienia dodatkowe". User-interface thread; made on the stack.

#include <functional>
#include <memory>

#include "platform/dialog.h"

class QCheckBox;

namespace Ui {
class CAdditionalSettingsDialog;
}

class CAdditionalSettingsDialog : public CDialog {
    Q_OBJECT
public:
    explicit CAdditionalSettingsDialog(QWidget* parent = nullptr);
    ~CAdditionalSettingsDialog() override;

    BOOL OnInitDialog() override;
    void OnOK() override;

    bool m_bBoxState = false;
    QCheckBox* m_check = nullptr;

private:
    std::unique_ptr<Ui::CAdditionalSettingsDialog> m_ui;
};

// The command: the box is ticked when the promotion is off (showAdv 0); with
// IDOK showAdv becomes 0 for a ticked box and 1 for a clear one, otherwise it
// stays. `run` runs the dialog and returns its result (DoModal when empty;
// tests script it). Returns the dialog's result. The change takes effect at
// the next start, once the settings are saved.
int RunAdditionalSettingsCommand(int& showAdv, QWidget* parent = nullptr,
                                 const std::function<int(CAdditionalSettingsDialog&)>& run = {});
