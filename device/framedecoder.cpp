#include "device/framedecoder.h"

#include <bit>

namespace {
constexpr int kFrameLength = 12;
constexpr int kBufferSize = 1000;
constexpr unsigned char kMinus = 0x2D;
}

CFrameDecoder::CFrameDecoder() = default;
CFrameDecoder::~CFrameDecoder() = default;

int CFrameDecoder::Decode(const char* frame, int length)
{
    // The assembler hands over at most 999 bytes; anything else could not be
    // stored with its terminating NUL, so it is refused before touching state.
    if (length < 0 || length >= kBufferSize)
        return 0;

    // 1. Keep the masked frame and its length.
    for (int i = 0; i < length; ++i)
        m_szFrame[i] = char(static_cast<unsigned char>(frame[i]) & 0x3F);
    m_szFrame[length] = 0;
    m_nLength = length;

    // 2. Parity over every byte but the start byte and the carriage return.
    if (!CheckParity(reinterpret_cast<const unsigned char*>(frame) + 1, length - 2))
        return 0;

    // 3. Length.
    if (m_nLength != kFrameLength)
        return 0;

    // 4. Start byte.
    if (m_szFrame[0] != 0)
        return 0;

    // 5. Flags are taken over before their fixed bits are checked, so a frame
    //    rejected in step 6 has already replaced them.
    const int f = static_cast<unsigned char>(m_szFrame[1]);
    m_bValueError = f & 1;
    m_bUnitPa = f & 2;
    m_bCalibrationError = f & 4;
    m_bWholeUnits = f & 8;

    // 6. Bits 4 and 5 are set in every valid frame.
    if ((f & 0x10) == 0 || (f & 0x20) == 0)
        return 0;

    auto d = [this](int k) { return DigitValue(static_cast<unsigned char>(m_szFrame[k])); };

    // 7. Serial number: low byte first, each byte high nibble first.
    m_nSerialNumber = ((d(4) * 16 + d(5)) * 16 + d(2)) * 16 + d(3);

    // 8. The number; a minus sign takes the ten-thousands place.
    std::int32_t n;
    if (static_cast<unsigned char>(m_szFrame[6]) == kMinus)
        n = -(d(7) * 1000 + d(8) * 100 + d(9) * 10 + d(10));
    else
        n = d(6) * 10000 + d(7) * 1000 + d(8) * 100 + d(9) * 10 + d(10);

    // 9. Tenths are a multiplication by the double nearest 0.1, not a division.
    m_dValue = static_cast<double>(n);
    if (m_bWholeUnits == 0)
        m_dValue *= 0.1;

    // 10.
    return 1;
}

int CFrameDecoder::CheckParity(const unsigned char* bytes, int count)
{
    for (int i = 0; i < count; ++i) {
        if (std::popcount(static_cast<unsigned>(bytes[i] & 0x7F)) % 2 == 0)
            return 0;
    }
    return 1;
}

int CFrameDecoder::DigitValue(unsigned char byte)
{
    return int(byte) - 0x30;
}
