#include <gtest/gtest.h>

#include <random>

#include "platform/rawutf8.h"

namespace {

TEST(RawUtf8, AnyBytesComeBackAndValidTextIsPlainUtf8)
{
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
}

TEST(RawUtf8, InvalidSequencesAreKeptByteForByte)
{
    // A lone Windows-1250 "ś", a cut sequence, an overlong "/", an encoded
    // surrogate and a code point above U+10FFFF.
    for (const QByteArray& bytes : {QByteArray("ci\x9cnienie"), QByteArray("\xC5"), QByteArray("\xC0\xAF"),
                                    QByteArray("\xED\xA0\x80"), QByteArray("\xF4\x90\x80\x80")}) {
        const QString text = CRawUtf8::Decode(bytes);
        EXPECT_NE(bytes, text.toUtf8());
        EXPECT_EQ(bytes, CRawUtf8::Encode(text));
    }
    EXPECT_EQ(QString("ci") + QChar(0xDC9C) + "n", CRawUtf8::Decode("ci\x9cn"));
    // A lone surrogate that no byte stands for is written as U+FFFD.
    EXPECT_EQ(QByteArray("\xEF\xBF\xBD"), CRawUtf8::Encode(QString(QChar(0xD800))));
}

} // namespace
