#pragma once
// CDisplayState: what the pressure field shows, without the field: the raw
// value in the source unit, the source and display units, whether the unit is
// shown, the fine-resolution flag, the no-value state ("???") and whether the
// value blinks. The rules that set it live here once; the windowed program's
// display widget paints from it, and the recorders and the D-Bus service read
// it, in the windowed and the headless program alike.
//
// A setter that changes what would be drawn calls the change handler with
// Shown; a change of the blinking calls it with Blinking. The widget repaints
// and starts or stops its blink timer there; without a widget nothing is
// attached.
//
// Owned by whoever runs the measurement (CMeterCore); user-interface thread
// only.

#include <functional>
#include <utility>

#include "dde/ddedisplay.h"

class CDisplayState : public IDdeDisplay {
public:
    enum class Change { Shown, Blinking };
    using ChangeHandler = std::function<void(Change)>;

    // The value in the source unit; Shown unless neither the value nor the
    // no-value state changes.
    void SetValue(double value);
    // "???"; always Shown.
    void SetNoValue();
    // Shown unless all three equal the current ones.
    void SetUnits(int sourceUnit, int displayUnit, bool showUnit);
    // Blinking when it changes.
    void SetBlinking(bool on);

    double GetRawValue() const { return m_dRawValue; }
    int GetSourceUnit() const { return m_nSourceUnit; }
    int GetDisplayUnit() const { return m_nDisplayUnit; }
    bool IsUnitShown() const { return m_bShowUnit; }
    bool IsFineResolution() const { return m_bFineResolution; }
    bool HasNoValue() const { return m_bNoValue; }
    bool IsBlinking() const { return m_bBlinking; }
    // What the DDE items are made from: the value, the display unit, the
    // resolution, the no-value state and the blinking.
    DdeItemSource GetDdeItemSource() const override;

    // At most one handler; an empty one detaches it.
    void SetChangeHandler(ChangeHandler handler) { m_onChange = std::move(handler); }

private:
    void Notify(Change change) const;

    double m_dRawValue = 0.0;
    bool m_bNoValue = true;
    int m_nSourceUnit = 0;
    int m_nDisplayUnit = 0;
    bool m_bShowUnit = true;
    bool m_bFineResolution = false;
    bool m_bBlinking = false;
    ChangeHandler m_onChange;
};
