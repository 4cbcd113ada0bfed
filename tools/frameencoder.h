#pragma once
// CFrameEncoder: builds KM-302 frames the way the instrument sends them (the
// wire format is documented in device/framedecoder.h). Used by the simulator
// and by the tests, which feed its frames through the real decoder.

#include <cstdint>
#include <string>

struct FrameContent {
    int serialNumber = 0;          // 0..65535
    // The number as sent: tenths of the unit unless wholeUnits. 0..159999 (the
    // ten-thousands place takes the codes 0..15), or -9999..-1 (a negative
    // number has a minus sign in that place).
    int number = 0;
    bool valueError = false;
    bool pascals = false;
    bool calibrationError = false;
    bool wholeUnits = false;
};

class CFrameEncoder {
public:
    // The range of FrameContent::number.
    static constexpr int kMinNumber = -9999;
    static constexpr int kMaxNumber = 159999;

    // The 12 bytes of a valid frame, carriage return last, each data byte with
    // its odd-parity bit 6. Numbers out of range are clamped into it.
    static std::string Encode(const FrameContent& content);

    // The six data bits of `code` with bit 6 set so that bits 0..6 have odd parity.
    static unsigned char WithParity(unsigned char code);

    // The number the instrument sends for `value` (rounded to tenths, or to whole
    // units, halves away from zero), clamped into the frame's range; NaN gives 0.
    static int NumberFor(double value, bool wholeUnits);

    // `frame` with bit 6 of byte `position` flipped, so that byte fails the
    // parity check when it is one of the checked bytes 1..10. A position
    // outside the frame leaves it as it is.
    static std::string WithBadParity(std::string frame, int position);
};
