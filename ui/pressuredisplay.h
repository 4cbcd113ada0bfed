#pragma once
// CPressureDisplay: the large field of the main window that shows the pressure.
// It paints everything itself: a label band across the top ("Ciśnienie") and,
// below it, the value formatted for its unit, or "???" while there is no value.
// It can blink the value (timer 1052, 500 ms) to draw attention to a faulty
// reading. Under the value, at the foot of the field, one line of the weather
// station (e.g. "QNH 1016.4 hPa  ↘ −2.3 hPa / 3 h, spada") in the label font
// and the text colour; it never blinks, and nothing is drawn while it is
// empty.
//
// What is shown (value, units, no-value, blinking) is a CDisplayState: the
// display's own until UseState points it at the state that the measurement
// (CMeterCore) sets and the recorders and the D-Bus service read. The setters
// below set that state; every change of it repaints or starts and stops the
// blink timer, whoever made it.
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

#include "meter/displaystate.h"
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
    // The station's line under the value; repaints when it changes.
    void SetStationLine(const QString& line);
    // Takes the whole description, makes the value font from it, repaints.
    void SetDisplayFont(const LOGFONT& lf);
    // The owner's initial creation of the value font from m_lfValueFont, once
    // the window exists (no repaint of its own).
    void CreateValueFont();

    // Shows `state` from now on (nullptr: the display's own). A state must
    // outlive the display or be replaced first.
    void UseState(CDisplayState* state);
    const CDisplayState& State() const { return *m_pState; }
    double GetRawValue() const { return m_pState->GetRawValue(); }
    int GetDisplayUnit() const { return m_pState->GetDisplayUnit(); }
    bool HasNoValue() const { return m_pState->HasNoValue(); }
    bool IsBlinking() const { return m_pState->IsBlinking(); }

    // A tick of the display's own timer (1052 toggles the blink phase while
    // blinking).
    void OnTimer(unsigned id);

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
    // The station's line as set, and as the last paint drew it (empty: none).
    const QString& StationLine() const { return m_strStationLine; }
    const QString& StationLineText() const { return m_strDrawnStationLine; }
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
    void OnStateChanged(CDisplayState::Change change);
    void PaintValue(QPainter& painter, const RECT& valueArea);

    QString m_strValueText;              // the text last drawn in the value area
    QString m_strStationLine;            // the station's line to draw
    QString m_strDrawnStationLine;       // the station's line last drawn
    CDisplayState m_ownState;
    CDisplayState* m_pState = &m_ownState;
    std::uint32_t m_nBlinkTimer = 0;
    bool m_bBlinkHidden = false;
    std::unique_ptr<QFont> m_valueFont;
    QFont m_labelFont;
    double m_dDisplayedValue = 0.0;
    CWindowTimers m_timers;
    ITimerHost* m_pTimerHost = &m_timers;
    int m_nPaintCount = 0;
};
