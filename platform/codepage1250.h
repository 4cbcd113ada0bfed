#pragma once
// CCodePage1250: the Windows-1250 (Central European) code page, in which the
// program writes its log files and which older installations read.
//
// Bytes 0x00..0x7F are ASCII. The five bytes the code page leaves undefined
// (0x81, 0x83, 0x88, 0x90, 0x98) decode to the C1 control characters of the
// same number (U+0081, ...), as Windows' own conversion does, and those
// characters encode back to them: bytes read and written again never change.
// Every other character the code page lacks encodes as '?', one '?' per
// character (a surrogate pair is one character; a lone surrogate is one '?').
//
// Stateless; any thread.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

class CCodePage1250 {
public:
    static QByteArray FromUnicode(QStringView text);
    static QString ToUnicode(QByteArrayView bytes);

    // One character; '?' when the code page lacks it.
    static char EncodeChar(char32_t c);
    static char16_t DecodeByte(unsigned char byte);
};
