#pragma once
// CColorsDialog "Kolory": the background ("Tło") and text ("Tekst") colours of
// the pressure display, each in a swatch that opens the colour chooser.
//
// The caller sets m_pDisplay before the dialog runs. Each choice is a live
// preview: a colour chosen in the chooser goes into the display at once, the
// display repaints (also when the chooser was cancelled), and the swatch then
// shows the display's colour. The dialog never restores anything: the command
// (RunColorsCommand) saves the colours before and puts them back unless the
// dialog ends with OK. Without a display the swatches stay grey and do
// nothing.
//
// User-interface thread; made on the stack of the command, which keeps the
// display alive while the dialog runs.

#include <functional>
#include <memory>

#include "platform/dialog.h"

class CColorSwatch;
class CPressureDisplay;

namespace Ui {
class CColorsDialog;
}

class CColorsDialog : public CDialog {
    Q_OBJECT
public:
    explicit CColorsDialog(QWidget* parent = nullptr);
    ~CColorsDialog() override;

    BOOL OnInitDialog() override;
    // Clicks on the background swatch and on the text swatch.
    void OnBackground();
    void OnText();

    CPressureDisplay* m_pDisplay = nullptr;
    CColorSwatch* m_textSwatch = nullptr;
    CColorSwatch* m_backgroundSwatch = nullptr;

private:
    void ChooseColorOf(COLORREF& displayColor, CColorSwatch& swatch);

    std::unique_ptr<Ui::CColorsDialog> m_ui;
};

// The command "Kolory": saves the display's background and text colours, runs
// the dialog on it, and unless the result is IDOK puts both back and repaints
// the display. `run` runs the dialog and returns its result (DoModal when
// empty; tests script it). Returns the dialog's result.
int RunColorsCommand(CPressureDisplay& display, const std::function<int(CColorsDialog&)>& run = {});
