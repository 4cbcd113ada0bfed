#pragma once
// What a log record holds, taken at the moment it is written: the value is
// valid unless the display has no value or blinks; the value is the display's
// raw value; the unit (Pa or hPa) and the serial number come from the current
// reading. One rule for the windowed and the headless program.

class CDisplayState;
class CFrameDecoder;

struct RecordReading {
    bool bValid;
    double dValue;
    bool bPascals;
    int nSerialNumber;
};

RecordReading ReadingToRecord(const CDisplayState& display, const CFrameDecoder& decoder);
