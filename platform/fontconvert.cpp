#include "platform/fontconvert.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {

constexpr LONG kMaximumPixelSize = 4096;

// The pixel size whose ascent + descent is `cellHeight` in `font`'s family.
int PixelSizeForCellHeight(QFont font, int cellHeight)
{
    constexpr int kReferenceSize = 100;
    font.setPixelSize(kReferenceSize);
    const QFontMetricsF metrics(font);
    const qreal cell = metrics.ascent() + metrics.descent();
    if (cell <= 0)
        return cellHeight;
    return std::max(1, static_cast<int>(std::lround(cellHeight * kReferenceSize / cell)));
}

qreal ScreenDpi()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}

}  // namespace

QFont QFontFromLogFont(const LOGFONT& logFont)
{
    QFont font;
    const std::string face = logFont.FaceName();
    if (!face.empty())
        font.setFamily(QString::fromStdString(face));
    // A height from a damaged settings file must not ask for an absurd font.
    const int height = static_cast<int>(
        std::clamp<LONG>(logFont.lfHeight, -kMaximumPixelSize, kMaximumPixelSize));
    if (height < 0)
        font.setPixelSize(-height);
    else if (height > 0)
        font.setPixelSize(PixelSizeForCellHeight(font, height));
    const int weight = logFont.lfWeight == 0 ? int(QFont::Normal)
                                             : std::clamp<int>(logFont.lfWeight, 1, 1000);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setItalic(logFont.lfItalic != 0);
    return font;
}

LOGFONT LogFontFromQFont(const QFont& font)
{
    LOGFONT logFont;
    int pixels = font.pixelSize();
    if (pixels <= 0 && font.pointSizeF() > 0)
        pixels = static_cast<int>(std::lround(font.pointSizeF() * ScreenDpi() / 72.0));
    logFont.lfHeight = -std::max(1, pixels);
    logFont.lfWeight = font.weight();
    logFont.lfItalic = font.italic() ? 1 : 0;
    logFont.lfCharSet = EASTEUROPE_CHARSET;
    logFont.SetFaceName(font.family().toStdString());
    return logFont;
}

QFont QFontInPoints(const QFont& font)
{
    QFont inPoints = font;
    if (font.pixelSize() > 0)
        inPoints.setPointSizeF(font.pixelSize() * 72.0 / ScreenDpi());
    return inPoints;
}
