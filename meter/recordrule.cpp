#include "meter/recordrule.h"

#include "meter/displaystate.h"
#include "device/framedecoder.h"

RecordReading ReadingToRecord(const CDisplayState& display, const CFrameDecoder& decoder)
{
    return RecordReading{!display.HasNoValue() && !display.IsBlinking(), display.GetRawValue(),
                         decoder.m_bUnitPa != 0, decoder.m_nSerialNumber};
}
