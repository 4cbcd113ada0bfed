#pragma once
// The receiver of a serial channel's bytes: the main window's OnSerialByte
// (WM_SERIAL_BYTE). Called on the user-interface thread, one byte per call, in
// arrival order; wParam is the byte zero-extended (0..255).

class ISerialByteSink {
public:
    virtual ~ISerialByteSink() = default;
    virtual void OnSerialByte(unsigned wParam) = 0;
};
