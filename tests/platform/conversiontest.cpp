#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>

#include <climits>
#include <cmath>

#include "platform/colorconvert.h"
#include "platform/fontconvert.h"

namespace {

LOGFONT MakeLogFont(LONG height, LONG weight, BYTE italic, const char* face)
{
    LOGFONT font;
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfItalic = italic;
    font.lfCharSet = EASTEUROPE_CHARSET;
    font.SetFaceName(face);
    return font;
}

TEST(ColorConvert, ComponentsKeepTheirPlaces)
{
    const QColor color = QColorFromColorRef(RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(color.red(), 0x12);
    EXPECT_EQ(color.green(), 0x34);
    EXPECT_EQ(color.blue(), 0x56);
    EXPECT_EQ(ColorRefFromQColor(QColor(0x12, 0x34, 0x56)), COLORREF(0x00563412));
    for (COLORREF c : {COLORREF(0), COLORREF(0xFFFFFF), COLORREF(0x0000FF), COLORREF(0x808000)})
        EXPECT_EQ(ColorRefFromQColor(QColorFromColorRef(c)), c);
}

TEST(ColorConvert, TopByteAndAlphaAreDropped)
{
    EXPECT_EQ(QColorFromColorRef(0xFF563412), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(ColorRefFromQColor(QColor(0x12, 0x34, 0x56, 0x10)), COLORREF(0x00563412));
    EXPECT_EQ(ColorRefFromQColor(QColor::fromHsv(0, 255, 255)), RGB(255, 0, 0));
}

TEST(FontConvert, CharacterHeightWeightItalicAndFaceRoundTrip)
{
    for (const LOGFONT& original : {MakeLogFont(-16, 700, 1, "Arial"),
                                    MakeLogFont(-72, 400, 0, "Liberation Sans"),
                                    MakeLogFont(-9, 300, 0, "MS Sans Serif")}) {
        const QFont font = QFontFromLogFont(original);
        EXPECT_EQ(font.pixelSize(), -original.lfHeight);
        EXPECT_EQ(font.weight(), original.lfWeight);
        EXPECT_EQ(font.italic(), original.lfItalic != 0);
        EXPECT_EQ(font.family().toStdString(), original.FaceName());
        EXPECT_EQ(LogFontFromQFont(font), original) << original.FaceName();
    }
}

TEST(FontConvert, DefaultWeightIsNormal)
{
    const QFont font = QFontFromLogFont(MakeLogFont(-20, 0, 0, "Arial"));
    EXPECT_EQ(font.weight(), QFont::Normal);
    EXPECT_EQ(LogFontFromQFont(font).lfWeight, 400);
}

TEST(FontConvert, CellHeightSizesTheCell)
{
    const QFont font = QFontFromLogFont(MakeLogFont(40, 400, 0, "Arial"));
    const QFontMetricsF metrics(font);
    EXPECT_NEAR(metrics.ascent() + metrics.descent(), 40.0, 1.5);
    EXPECT_LT(font.pixelSize(), 40);   // the character is smaller than its cell
}

TEST(FontConvert, HeightZeroKeepsTheDefaultSize)
{
    const QFont font = QFontFromLogFont(MakeLogFont(0, 0, 0, "Arial"));
    EXPECT_EQ(font.pointSizeF(), QFont().pointSizeF());
    EXPECT_LT(LogFontFromQFont(font).lfHeight, 0);
}

TEST(FontConvert, AbsurdHeightsFromSettingsAreBounded)
{
    EXPECT_EQ(QFontFromLogFont(MakeLogFont(INT_MIN, 0, 0, "Arial")).pixelSize(), 4096);
    EXPECT_LE(QFontFromLogFont(MakeLogFont(INT_MAX, 0, 0, "Arial")).pixelSize(), 4096);
    EXPECT_EQ(QFontFromLogFont(MakeLogFont(-16, 5000, 0, "Arial")).weight(), 1000);
}

TEST(FontConvert, PointSizesUseTheScreenResolution)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(12);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    EXPECT_EQ(LogFontFromQFont(font).lfHeight, -std::lround(12 * dpi / 72));
    // And back: the chooser's points give the same pixels.
    const QFont pixels = QFontFromLogFont(MakeLogFont(-16, 400, 0, "Arial"));
    EXPECT_EQ(LogFontFromQFont(QFontInPoints(pixels)).lfHeight, -16);
}

TEST(FontConvert, LongFaceNamesAreCutTo31Bytes)
{
    QFont font(QStringLiteral("A Font Family Name Longer Than Thirty One"));
    font.setPixelSize(10);
    EXPECT_EQ(LogFontFromQFont(font).FaceName(), "A Font Family Name Longer Than ");
}

}  // namespace
