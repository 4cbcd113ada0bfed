#pragma once
// CFontsDialog "Czcionki": the value font of the pressure display, previewed
// in "0123456789."; a click on the preview opens the font chooser.
//
// The caller sets m_pDisplay before the dialog runs. Each choice is a live
// preview: a font chosen in the chooser goes into the display at once
// (SetDisplayFont), and the preview then shows the display's value font,
// also when the chooser was cancelled. The dialog never restores anything:
// the command (RunFontsCommand) saves the whole font description before and
// puts it back unless the dialog ends with OK. Without a display the preview
// does nothing.
//
// User-interface thread; made on the stack of the command, which keeps the
// display alive while the dialog runs.

#include <functional>
#include <memory>

#include "platform/dialog.h"

class CPressureDisplay;
class QLabel;

namespace Ui {
class CFontsDialog;
}

class CFontsDialog : public CDialog {
    Q_OBJECT
public:
    explicit CFontsDialog(QWidget* parent = nullptr);
    ~CFontsDialog() override;

    BOOL OnInitDialog() override;
    // A click on the preview.
    void OnPreview();

    CPressureDisplay* m_pDisplay = nullptr;
    QLabel* m_preview = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowDisplayFont();

    std::unique_ptr<Ui::CFontsDialog> m_ui;
    bool m_bPreviewPressed = false;
};

// The command "Czcionki": copies the display's whole value font description,
// runs the dialog on it, and unless the result is IDOK gives the copy back
// through SetDisplayFont. `run` runs the dialog and returns its result
// (DoModal when empty; tests script it). Returns the dialog's result.
int RunFontsCommand(CPressureDisplay& display, const std::function<int(CFontsDialog&)>& run = {});
