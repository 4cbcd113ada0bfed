#include "meter/displaystate.h"

void CDisplayState::SetValue(double value)
{
    if (value == m_dRawValue && !m_bNoValue)
        return;
    m_dRawValue = value;
    m_bNoValue = false;
    Notify(Change::Shown);
}

void CDisplayState::SetNoValue()
{
    m_bNoValue = true;
    Notify(Change::Shown);
}

void CDisplayState::SetUnits(int sourceUnit, int displayUnit, bool showUnit)
{
    if (sourceUnit == m_nSourceUnit && displayUnit == m_nDisplayUnit && showUnit == m_bShowUnit)
        return;
    m_nSourceUnit = sourceUnit;
    m_nDisplayUnit = displayUnit;
    m_bShowUnit = showUnit;
    Notify(Change::Shown);
}

void CDisplayState::SetBlinking(bool on)
{
    if (on == m_bBlinking)
        return;
    m_bBlinking = on;
    Notify(Change::Blinking);
}

void CDisplayState::Notify(Change change) const
{
    if (m_onChange)
        m_onChange(change);
}

DdeItemSource CDisplayState::GetDdeItemSource() const
{
    return {.rawValue = m_dRawValue,
            .displayUnit = m_nDisplayUnit,
            .fineResolution = m_bFineResolution,
            .noValue = m_bNoValue,
            .blinking = m_bBlinking};
}
