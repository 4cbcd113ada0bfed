#include "tools/frameencoder.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {
unsigned char Digit(int value)
{
    return CFrameEncoder::WithParity(static_cast<unsigned char>(0x30 + value));
}
}

unsigned char CFrameEncoder::WithParity(unsigned char code)
{
    const unsigned char data = code & 0x3F;
    return std::popcount(static_cast<unsigned>(data)) % 2 == 0 ? static_cast<unsigned char>(data | 0x40) : data;
}

int CFrameEncoder::NumberFor(double value, bool wholeUnits)
{
    // Infinities are clamped like any other value out of range.
    if (std::isnan(value))
        return 0;
    const double scaled = std::round(wholeUnits ? value : value * 10.0);
    return static_cast<int>(std::clamp(scaled, double(kMinNumber), double(kMaxNumber)));
}

std::string CFrameEncoder::WithBadParity(std::string frame, int position)
{
    if (position >= 0 && position < int(frame.size()))
        frame[size_t(position)] = char(frame[size_t(position)] ^ 0x40);
    return frame;
}

std::string CFrameEncoder::Encode(const FrameContent& content)
{
    const int serial = std::clamp(content.serialNumber, 0, 0xFFFF);
    const int number = std::clamp(content.number, kMinNumber, kMaxNumber);

    int flags = 0x30;
    if (content.valueError)
        flags |= 0x01;
    if (content.pascals)
        flags |= 0x02;
    if (content.calibrationError)
        flags |= 0x04;
    if (content.wholeUnits)
        flags |= 0x08;

    std::string frame(12, '\0');
    frame[0] = char(0x40);                       // masked 0, bit 6 set as the instrument does
    frame[1] = char(WithParity(static_cast<unsigned char>(flags)));
    frame[2] = char(Digit((serial >> 4) & 0xF)); // low byte, high nibble first
    frame[3] = char(Digit(serial & 0xF));
    frame[4] = char(Digit((serial >> 12) & 0xF)); // then the high byte
    frame[5] = char(Digit((serial >> 8) & 0xF));

    int magnitude = number < 0 ? -number : number;
    if (number < 0)
        frame[6] = char(WithParity(0x2D));
    else
        frame[6] = char(Digit(magnitude / 10000));
    frame[7] = char(Digit(magnitude / 1000 % 10));
    frame[8] = char(Digit(magnitude / 100 % 10));
    frame[9] = char(Digit(magnitude / 10 % 10));
    frame[10] = char(Digit(magnitude % 10));
    frame[11] = char(0x0D);
    return frame;
}
