#include <gtest/gtest.h>

#include "device/framedecoder.h"

TEST(FrameDecoder, WorkedExampleIsAccepted)
{
    const unsigned char frame[] = {0x40, 0x70, 0x3D, 0x32, 0x70, 0x34, 0x31, 0x70, 0x31, 0x73, 0x32, 0x0D};
    CFrameDecoder d;
    ASSERT_EQ(1, d.Decode(reinterpret_cast<const char*>(frame), 12));
    EXPECT_EQ(1234, d.m_nSerialNumber);
    EXPECT_DOUBLE_EQ(10132 * 0.1, d.m_dValue);
}
