#pragma once
// CRawUtf8: UTF-8 that keeps every byte. Text read from files that users edit
// (the settings) and file names from there may hold bytes that are not UTF-8,
// such as a path written in an older single-byte code page; they must come
// back, and reach the file system, as the same bytes.
//
// Decode reads valid UTF-8 as usual and turns every byte that is not part of a
// valid sequence into the lone low surrogate U+DC00 + byte (U+DC80..U+DCFF; a
// byte below 0x80 is always valid). Encode writes UTF-8 and turns each such
// lone surrogate back into its byte; any other lone surrogate becomes U+FFFD.
// So Encode(Decode(b)) == b for every byte string b, and text that is valid
// Unicode encodes to plain UTF-8. Overlong forms, encoded surrogates and code
// points above U+10FFFF are not valid sequences.
//
// Stateless; any thread.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

class CRawUtf8 {
public:
    static QString Decode(QByteArrayView bytes);
    static QByteArray Encode(QStringView text);
};
