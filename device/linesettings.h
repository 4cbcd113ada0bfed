#pragma once
// The serial line's definition as CSerialChannel::Open takes it, and the one
// line the KM-302 speaks. The instrument's line is fixed by the program; it
// is not a user setting.

#include <cstdint>

constexpr std::uint32_t EV_RXCHAR = 0x0001;

struct LineSettings {
    int baud;
    char parity;        // 'N', 'E' or 'O'
    int dataBits;
    int stopBits;
    std::uint32_t eventMask;
    int bufferSize;     // kept by the channel, no further use
};

// 300 baud, no parity, 7 data bits, 1 stop bit; wait for received characters.
inline constexpr LineSettings kKm302Line{300, 'N', 7, 1, EV_RXCHAR, 512};
