#pragma once
// The receiver of a serial channel's bytes: the main window's OnSerialByte
// (WM_SERIAL_BYTE). Called on the user-interface thread, in arrival order.
//
// The channel hands over what one read of the port returned as one batch,
// through OnSerialBytes; by default that runs OnSerialByte for each byte of it
// in turn, so a sink that only knows single bytes sees exactly the sequence it
// would see one byte per call. The batch's memory belongs to the channel and
// stays valid only during the call.

#include <span>

class ISerialByteSink {
public:
    virtual ~ISerialByteSink() = default;
    // One byte; wParam is the byte zero-extended (0..255).
    virtual void OnSerialByte(unsigned wParam) = 0;
    // One batch, oldest byte first.
    virtual void OnSerialBytes(std::span<const unsigned char> bytes)
    {
        for (const unsigned char byte : bytes)
            OnSerialByte(byte);
    }
};
