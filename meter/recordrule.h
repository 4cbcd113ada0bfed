#pragma once
// The record rule: what a log record holds, taken at the moment it is
// written. The value is valid unless the display has no value or blinks; the
// value is the display's raw value; the unit (Pa or hPa) and the serial
// number come from the current reading. One rule for the windowed and the
// headless program.

#include "recording/recordreading.h"

class CDisplayState;
class CFrameDecoder;

RecordReading ReadingToRecord(const CDisplayState& display, const CFrameDecoder& decoder);
