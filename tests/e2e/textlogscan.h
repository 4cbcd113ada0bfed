#pragma once
// CTextLogScan: reads a text log as another program would and sorts every line
// into what it is. With the tab separator and no comment text a well-formed
// log holds only:
//   a serial number line "KM-302 nr 1234" (or "KM-302 nr ???"),
//   a header  "Data i Godzina" TAB "Ciśnienie hPa" or "Ciśnienie Pa"
//             (Windows-1250, so "ś" is the byte 0x9C),
//   a record  "YYYY.MM.DD HH:MM:SS" TAB a value with one decimal, or "???",
// each ended by CR LF. Anything else, a bare CR or LF, and a last line
// without its CR LF are malformed.
//
// A value object; any thread.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

class CTextLogScan {
public:
    enum class Kind { SerialNumber, HeaderHpa, HeaderPa, Value, NoValue, Malformed };

    struct Line {
        Kind kind = Kind::Malformed;
        QByteArray bytes;     // without CR LF
        QDateTime time;       // records only
        double dValue = 0.0;  // Value only
    };

    void Parse(const QByteArray& file);
    // False (and nothing read) when the file cannot be read.
    bool ReadFile(const QString& path);

    const std::vector<Line>& Lines() const { return m_lines; }
    int Count(Kind kind) const;
    int Records() const { return Count(Kind::Value) + Count(Kind::NoValue); }

    // One letter a line, for matching the story of a run with a regular
    // expression: S serial number, H and P headers (hPa, Pa), V value,
    // N "???", X malformed.
    QString Story() const;

    // The first malformed line, for a failure message; empty when none.
    QByteArray FirstMalformed() const;

private:
    static Line Classify(const QByteArray& bytes);

    std::vector<Line> m_lines;
};
