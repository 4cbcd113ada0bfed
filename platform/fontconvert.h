#pragma once
// LOGFONT to and from QFont, in pixels of the screen.
//
// lfHeight < 0 is the character height: the font's pixel size. lfHeight > 0 is
// the cell height (ascent + descent); the pixel size is scaled so that the
// chosen family's cell comes out at that height. lfHeight 0 keeps the
// application's default size. Heights beyond 4096 pixels
// are taken as 4096. lfWeight 0 is normal; 1..1000 are used as they
// are (QFont weights follow the same 100..900 scale). The face name is the
// family.
//
// A QFont given in points is converted with the primary screen's logical DPI
// (96 without a screen). The LOGFONT made from a QFont always has the
// character height (lfHeight < 0), the weight (0 becomes 400) and the
// program's EASTEUROPE_CHARSET.
//
// Needs the Qt GUI application object; user-interface thread only.

#include <QFont>

#include "platform/logfont.h"

QFont QFontFromLogFont(const LOGFONT& logFont);
LOGFONT LogFontFromQFont(const QFont& font);
// The same font with its size in points, as the font chooser shows sizes.
QFont QFontInPoints(const QFont& font);
