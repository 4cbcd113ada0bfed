#pragma once
// CPressureDisplay: the large field of the main window that shows the pressure.
// It paints everything itself: a label band across the top ("Ciśnienie") and,
// below it, the value formatted for its unit, or "???" while there is no value.
// It can blink the value (timer 1052, 500 ms) to draw attention to a faulty
// reading.
//
// The display is the single holder of what is shown: the recorders and the
// D-Bus service read its raw value, display unit, fine-resolution flag,
// no-value flag and blink state rather than the decoder.
//
// Every state change repaints at once (QWidget::repaint), and the paint draws
// into an off-screen buffer that is copied to the screen in one step.
// Formats, truncation, unit conversion and the W/m² layout arithmetic are free
// functions of ui/displayformat.h, tested without a window.
//
// The value font exists from CreateValueFont (or SetDisplayFont) on; until
// then the value area uses the widget's font. The label font is made in the
// constructor and never changes.
//
// Owned by the main window (control 1005); user-interface thread only.

#include <QFont>
#include <QString>
#include <QWidget>

#include <memory>

#include "platform/logfont.h"
#include "platform/timerhost.h"
#include "platform/windowtimers.h"
#include "platform/wintypes.h"

class QPainter;

class CPressureDisplay : public QWidget {
    Q_OBJECT
public:
    explicit CPressureDisplay(QWidget* parent = nullptr);
    ~CPressureDisplay() override;

    // The value in the source unit; repaints unless neither the value nor the
    // no-value state changes.
    void SetValue(double value);
    // Shows "???"; always repaints.
    void SetNoValue();
    // Repaints unless all three equal the current ones.
    void SetUnits(int sourceUnit, int displayUnit, bool showUnit);
    // On: starts timer 1052 unless it runs. Off: stops it and shows the value
    // at once if it was hidden.
    void SetBlinking(bool on);
    // Takes the whole description, makes the value font from it, repaints.
    void SetDisplayFont(const LOGFONT& lf);
    // The owner's initial creation of the value font from m_lfValueFont, once
    // the window exists (no repaint of its own).
    void CreateValueFont();

    // Read by the recorders and the D-Bus service.
    double GetRawValue() const { return m_dRawValue; }
    int GetDisplayUnit() const { return m_nDisplayUnit; }
    bool IsFineResolution() const { return m_bFineResolution; }
    bool HasNoValue() const { return m_bNoValue; }
    bool IsBlinking() const { return m_nBlinkTimer != 0; }

    // A tick of the display's own timer (1052 toggles the blink phase while
    // blinking).
    void OnTimer(UINT id);

    // Routes the blink timer through `host` instead of the display's own
    // window timers, whose ticks would call OnTimer. For tests, which fire
    // OnTimer themselves; call it while not blinking; `host` must outlive the
    // display.
    void SetTimerHost(ITimerHost& host);

    // How many times the control has painted itself (for tests and benchmarks).
    int PaintCount() const { return m_nPaintCount; }
    // What the last paint drew in the value area: the value with its unit
    // ("12.3 W/m2" for the W/m² layout), "???", or empty (hidden blink phase,
    // unit outside 1..9).
    const QString& ValueText() const { return m_strValueText; }
    bool IsBlinkPhaseHidden() const { return m_bBlinkHidden; }
    bool HasValueFont() const { return m_valueFont != nullptr; }
    const QFont* ValueFont() const { return m_valueFont.get(); }

    // Written directly by the owner: the label (string 118), the colours
    // (settings at start-up, the colours dialog) and the value font
    // description (settings at start-up, read back by the font dialog and at exit).
    QString m_strLabel;
    COLORREF m_crText = 0x804000;
    COLORREF m_crBackground = 0xFFE4CA;
    LOGFONT m_lfValueFont;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Redraw();
    void PaintValue(QPainter& painter, const RECT& valueArea);

    QString m_strValueText;              // the text last drawn in the value area
    bool m_bFineResolution = false;
    UINT m_nBlinkTimer = 0;
    bool m_bBlinkHidden = false;
    std::unique_ptr<QFont> m_valueFont;
    QFont m_labelFont;
    bool m_bShowUnit = true;
    double m_dDisplayedValue = 0.0;
    double m_dRawValue = 0.0;
    bool m_bNoValue = true;
    int m_nSourceUnit = 0;
    int m_nDisplayUnit = 0;
    CWindowTimers m_timers;
    ITimerHost* m_pTimerHost = &m_timers;
    int m_nPaintCount = 0;
};
