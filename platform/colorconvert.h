#pragma once
// COLORREF (0x00BBGGRR) to and from QColor. The top byte of a COLORREF is not
// a colour component and is ignored; a QColor's alpha is dropped.

#include <QColor>

#include "platform/wintypes.h"

inline QColor QColorFromColorRef(COLORREF color)
{
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

inline COLORREF ColorRefFromQColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return RGB(static_cast<BYTE>(rgb.red()), static_cast<BYTE>(rgb.green()),
               static_cast<BYTE>(rgb.blue()));
}
