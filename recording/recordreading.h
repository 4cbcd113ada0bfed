#pragma once
// What one log record holds: whether the value is valid, the value in the
// instrument's unit (Pa or hPa) and the instrument's serial number. The
// measurement decides it at the moment a record is written.

struct RecordReading {
    bool bValid;
    double dValue;
    bool bPascals;
    int nSerialNumber;
};
