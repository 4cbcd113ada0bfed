#pragma once
// CLogGenerator: writes long test logs, a record per interval from a start
// time, as KM302 writes them (through the recording classes' own record
// formats): a binary log (.vrd) and a CSV text log (comma separator, hPa, the
// "KM-302 nr" line and the header). Values wander around 1013 hPa; every
// 100,000 records a minute passes without a value. Same arguments, same bytes.
//
// For the benchmarks and by hand (km302-loggen); not installed. One thread.

#include <QString>

class CLogGenerator {
public:
    qint64 m_nRecords = 365LL * 24 * 3600;   // a year of seconds
    int m_nStepSeconds = 1;
    int m_nSerialNumber = 1234;

    // Empty paths are skipped. False (and a message on standard error) when a file cannot be written.
    bool Write(const QString& vrdPath, const QString& csvPath) const;
};
