#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <iconv.h>

#include "platform/codepage1250.h"

namespace {

// glibc's converter between one UTF-32 character and CP1250.
class CIconv {
public:
    CIconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~CIconv()
    {
        if (Ok())
            iconv_close(m_cd);
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;
    bool Ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // false when iconv refuses the input.
    bool Convert(const void* input, std::size_t inputSize, void* output, std::size_t& outputSize)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* in = static_cast<char*>(const_cast<void*>(input));
        char* out = static_cast<char*>(output);
        std::size_t outLeft = outputSize;
        const std::size_t done = iconv(m_cd, &in, &inputSize, &out, &outLeft);
        outputSize -= outLeft;
        return done != static_cast<std::size_t>(-1);
    }

private:
    iconv_t m_cd;
};

bool IsUndefinedByte(unsigned b)
{
    return b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98;
}

TEST(CodePage1250, PolishLettersHaveTheirBytes)
{
    const QString letters = QStringLiteral("ąćęłńóśźżĄĆĘŁŃÓŚŹŻ");
    const QByteArray bytes("\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF");
    EXPECT_EQ(CCodePage1250::FromUnicode(letters).toHex(' '), bytes.toHex(' '));
    EXPECT_EQ(CCodePage1250::ToUnicode(bytes), letters);
}

TEST(CodePage1250, LogTextsKeepTheirBytes)
{
    EXPECT_EQ(CCodePage1250::FromUnicode(u"Ciśnienie hPa"), QByteArray("Ci\x9Cnienie hPa"));
    EXPECT_EQ(CCodePage1250::FromUnicode(u"21.5 °C"), QByteArray("21.5 \xB0" "C"));
    EXPECT_EQ(CCodePage1250::FromUnicode(u"a\r\nb\tc"), QByteArray("a\r\nb\tc"));
}

TEST(CodePage1250, MissingCharactersBecomeOneQuestionMarkEach)
{
    // Cyrillic, CJK, an emoji (a surrogate pair) and a lone surrogate.
    const QString text = QStringLiteral("Ж中") + QString::fromUtf8("\xF0\x9F\x98\x80")
                         + QChar(0xD800) + QStringLiteral("ż");
    EXPECT_EQ(CCodePage1250::FromUnicode(text), QByteArray("????\xBF"));
    EXPECT_EQ(CCodePage1250::FromUnicode(QString(QChar(0xDC00))), QByteArray("?"));
}

TEST(CodePage1250, EveryByteSurvivesDecodingAndEncoding)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QString text = CCodePage1250::ToUnicode(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(CCodePage1250::FromUnicode(text), all);
    EXPECT_EQ(text[0x81].unicode(), 0x81);   // the undefined bytes: their C1 controls
    EXPECT_EQ(text[0x98].unicode(), 0x98);
}

TEST(CodePage1250, DecodingMatchesGlibc)
{
    CIconv toUtf32("UTF-32LE", "CP1250");
    ASSERT_TRUE(toUtf32.Ok());
    for (unsigned b = 0; b < 256; ++b) {
        const unsigned char byte = static_cast<unsigned char>(b);
        std::uint32_t code = 0;
        std::size_t size = sizeof(code);
        if (toUtf32.Convert(&byte, 1, &code, size)) {
            ASSERT_EQ(size, sizeof(code));
            EXPECT_EQ(CCodePage1250::DecodeByte(byte), code) << "byte " << b;
        } else {
            EXPECT_TRUE(IsUndefinedByte(b)) << "glibc refuses byte " << b;
            EXPECT_EQ(CCodePage1250::DecodeByte(byte), b);
        }
    }
}

TEST(CodePage1250, EncodingMatchesGlibcForTheWholeBmp)
{
    CIconv fromUtf32("CP1250", "UTF-32LE");
    ASSERT_TRUE(fromUtf32.Ok());
    for (std::uint32_t code = 0; code < 0x10000; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF)
            continue;
        char byte = 0;
        std::size_t size = 1;
        const char ours = CCodePage1250::EncodeChar(code);
        if (fromUtf32.Convert(&code, sizeof(code), &byte, size)) {
            ASSERT_EQ(size, 1u);
            EXPECT_EQ(ours, byte) << "U+" << std::hex << code;
        } else if (code >= 0x80 && code <= 0x9F && IsUndefinedByte(code)) {
            EXPECT_EQ(static_cast<unsigned char>(ours), code);
        } else {
            EXPECT_EQ(ours, '?') << "U+" << std::hex << code;
        }
    }
}

}  // namespace
