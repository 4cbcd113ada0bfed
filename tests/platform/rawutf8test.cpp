#include <gtest/gtest.h>

#include <random>

#include "platform/rawutf8.h"

namespace {

TEST(RawUtf8, AnyBytesComeBackAndValidTextIsPlainUtf8)
{
    // Mostly bytes above 0x7F: cut, overlong and surrogate sequences among them.
    std::mt19937 random(9);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes(std::uniform_int_distribution<int>(0, 40)(random), Qt::Uninitialized);
        for (char& c : bytes)
            c = char(random() % 3 == 0 ? 0x80 | random() : random());
        ASSERT_EQ(bytes, CRawUtf8::Encode(CRawUtf8::Decode(bytes))) << bytes.toHex().toStdString();
    }
    const QString text = QStringLiteral("Ciśnienie 😀 \u20AC") + QChar(0);
    EXPECT_EQ(text.toUtf8(), CRawUtf8::Encode(text));
    EXPECT_EQ(text, CRawUtf8::Decode(text.toUtf8()));
    EXPECT_EQ(QString("ci") + QChar(0xDC9C) + QChar(0xDCED) + QChar(0xDCA0) + QChar(0xDC80),
              CRawUtf8::Decode("ci\x9c\xED\xA0\x80"));   // Windows-1250 "ś", an encoded surrogate
    EXPECT_EQ(QByteArray("\xEF\xBF\xBD"), CRawUtf8::Encode(QString(QChar(0xD800))));   // no byte stands for it
}

} // namespace
