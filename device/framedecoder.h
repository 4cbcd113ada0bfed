#pragma once
// CFrameDecoder: checks one frame of the KM-302 and, when it is accepted, holds
// the current reading (flags, serial number, pressure).
//
// Wire format. The line runs at 300 baud, 7 data bits, no parity, 1 stop bit and
// carries frames from the instrument only. In every character bits 0..5 are data,
// bit 6 is an odd-parity bit over bits 0..5 and bit 7 is ignored. "Masked" below
// means the byte ANDed with 0x3F; a digit is a masked byte minus 0x30, so the
// codes 0x30..0x3F give 0..15 and a masked byte below 0x30 gives a negative
// digit (not a rejection).
//
//   pos  content                                   parity-checked
//    0   start byte, masked value 0                no
//    1   flags (masked):                           yes
//          bit0 value error, bit1 pascals (else hPa),
//          bit2 calibration error, bit3 whole units (else tenths),
//          bits 4 and 5 must both be 1
//    2   serial number bits 7..4   (digit)         yes
//    3   serial number bits 3..0   (digit)         yes
//    4   serial number bits 15..12 (digit)         yes
//    5   serial number bits 11..8  (digit)         yes
//    6   masked 0x2D '-' for a negative value,     yes
//        else the ten-thousands digit
//    7   thousands   8 hundreds   9 tens  10 units yes
//   11   0x0D, ends the frame                      no
//
// A frame is accepted only with exactly 12 bytes, good parity in bytes 1..10, a
// zero start byte and flag bits 4 and 5 set. The steps of Decode run in a fixed
// order, and a rejected frame may already have changed some fields (see Decode).
//
// Owned by the main window, which lives as long as the program; used only on the
// user-interface thread. The decoder is never reset: it keeps the last accepted
// serial number and value across communication losses and port changes.

#include <cstdint>

class CFrameDecoder {
public:
    CFrameDecoder();
    virtual ~CFrameDecoder();

    // Checks and decodes `length` bytes (carriage return included; the
    // assembler never passes more than 999). Returns 1 when the frame is
    // accepted and its reading replaces the current one, 0 when rejected.
    int Decode(const char* frame, int length);

    // 1 when every byte has odd parity over its low seven bits (or count <= 0),
    // 0 at the first byte that has not.
    int CheckParity(const unsigned char* bytes, int count);

    // The byte minus 0x30; callers pass masked bytes.
    int DigitValue(unsigned char byte);

    int m_nLength = 0;               // length of the last frame handed over
    int m_bValueError = 0;           // 0 or 1 (flag bit 0)
    int m_bUnitPa = 0;               // 0 or 2 (flag bit 1): value in Pa, else hPa
    int m_bCalibrationError = 0;     // 0 or 4 (flag bit 2)
    int m_bWholeUnits = 0;           // 0 or 8 (flag bit 3): else the number counts tenths
    std::int32_t m_nSerialNumber = 0;
    double m_dValue = 0.0;           // in the unit that m_bUnitPa names
    char m_szFrame[1000] = {};       // last frame, each byte masked, NUL-terminated
};
