#pragma once
// LOGFONT: the font description the display keeps and the settings store
// (FONT_HEIGHT_, FONT_WEIGHT_, FONT_ITALIC_, FONT_NAME_PRESSURE). Only the
// fields the program uses are kept.
//
// lfHeight > 0 is the character cell height in pixels, < 0 the character height
// (cell minus internal leading) in pixels, 0 the default size. lfWeight 0 is the
// default weight, otherwise 100..900 (400 normal, 700 bold). lfItalic is a byte,
// non-zero for italic. lfFaceName holds at most 31 characters of any script, in
// UTF-16 as QString holds them (a character outside the Basic Multilingual
// Plane takes two of the 31 places and is never cut in half).

#include <QString>
#include <QStringView>

#include <array>
#include <string>

#include "platform/wintypes.h"

constexpr BYTE EASTEUROPE_CHARSET = 238;
constexpr int LF_FACESIZE = 32;

struct LOGFONT {
    LONG lfHeight = 0;
    LONG lfWeight = 0;
    BYTE lfItalic = 0;
    BYTE lfCharSet = 0;
    std::array<char16_t, LF_FACESIZE> lfFaceName = {};   // UTF-16, NUL-terminated

    // Takes at most the first 31 characters of `name`; the text is kept unit
    // for unit (a name read from the settings comes back as it was).
    void SetFaceName(QStringView name);
    // The same for a UTF-8 name.
    void SetFaceName(const std::string& name);
    QString FaceNameText() const;
    // FaceNameText in UTF-8.
    std::string FaceName() const;

    friend bool operator==(const LOGFONT&, const LOGFONT&) = default;
};
