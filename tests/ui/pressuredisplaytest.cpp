#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

#include "platform/colorconvert.h"
#include "platform/timerids.h"
#include "tests/support/faketimerhost.h"
#include "ui/pressuredisplay.h"

namespace {

// The display as the main window sets it up, shown on the offscreen screen,
// with a recording timer host: ticks are fired by calling OnTimer.
class PressureDisplayTest : public ::testing::Test {
protected:
    PressureDisplayTest()
    {
        display.SetTimerHost(timers);
        display.m_strLabel = QStringLiteral("Ciśnienie");
        display.resize(600, 300);
        display.CreateValueFont();
        display.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&display));
    }

    void ShowHectopascals(double value)
    {
        display.SetUnits(5, 5, true);
        display.SetValue(value);
    }

    // What the user sees now (grabbing paints once more).
    QImage Shot() { return display.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    QColor Text() const { return QColorFromColorRef(display.m_crText); }
    QColor Background() const { return QColorFromColorRef(display.m_crBackground); }

    static int Count(const QImage& image, const QRect& area, const QColor& colour)
    {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += image.pixelColor(x, y) == colour ? 1 : 0;
        return n;
    }

    // The pixels of `colour` in `area`: their bounding box.
    static QRect Bounds(const QImage& image, const QRect& area, const QColor& colour)
    {
        QRect box;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (image.pixelColor(x, y) == colour)
                    box |= QRect(x, y, 1, 1);
        return box;
    }

    // The label band: the rows down from the top whose left edge has the band's colour.
    QRect Band(const QImage& image) const
    {
        int rows = 0;
        while (rows < image.height() && image.pixelColor(0, rows) == Text())
            ++rows;
        return QRect(0, 0, image.width(), rows);
    }

    QRect ValueArea(const QImage& image) const
    {
        const QRect band = Band(image);
        return QRect(0, band.bottom() + 1, image.width(), image.height() - band.height());
    }

    // The value area holds some of the text colour (a value or "???").
    bool ValueVisible(const QImage& image) const
    {
        return Count(image, ValueArea(image), Text()) > 0;
    }

    CFakeTimerHost timers;
    CPressureDisplay display;
};

TEST_F(PressureDisplayTest, FreshControlShowsQuestionMarksUnderTheLabel)
{
    const QImage shot = Shot();
    EXPECT_EQ(QStringLiteral("???"), display.ValueText());
    EXPECT_TRUE(display.HasNoValue());
    const QRect band = Band(shot);
    EXPECT_GE(band.height(), 15);
    EXPECT_LE(band.height(), 30);
    // Letters of the label in the background colour on the band.
    EXPECT_GT(Count(shot, band, Background()), 20);
    EXPECT_TRUE(ValueVisible(shot));
}

TEST_F(PressureDisplayTest, SameValueTwiceRepaintsOnce)
{
    display.SetUnits(5, 5, true);
    const int before = display.PaintCount();
    display.SetValue(1013.27);
    display.SetValue(1013.27);
    EXPECT_EQ(before + 1, display.PaintCount());
    EXPECT_EQ(QStringLiteral("1013.3 hPa"), display.ValueText());
    EXPECT_DOUBLE_EQ(1013.27, display.GetRawValue());
}

TEST_F(PressureDisplayTest, NoValueAlwaysRepaintsAndTheSameValueComesBack)
{
    ShowHectopascals(1013.27);
    const int before = display.PaintCount();
    display.SetNoValue();
    display.SetNoValue();
    EXPECT_EQ(QStringLiteral("???"), display.ValueText());
    display.SetValue(1013.27);
    EXPECT_EQ(before + 3, display.PaintCount());
    EXPECT_FALSE(display.HasNoValue());
    EXPECT_EQ(QStringLiteral("1013.3 hPa"), display.ValueText());
}

TEST_F(PressureDisplayTest, UnchangedUnitsDoNotRepaint)
{
    ShowHectopascals(1013.27);
    const int before = display.PaintCount();
    display.SetUnits(5, 5, true);
    EXPECT_EQ(before, display.PaintCount());
    display.SetUnits(5, 5, false);
    EXPECT_EQ(before + 1, display.PaintCount());
    EXPECT_EQ(QStringLiteral("1013.2"), display.ValueText());
    display.SetUnits(9, 9, false);
    EXPECT_EQ(before + 2, display.PaintCount());
    EXPECT_EQ(9, display.GetDisplayUnit());
}

TEST_F(PressureDisplayTest, ValueIsConvertedAtEveryPaint)
{
    display.SetUnits(1, 2, true);
    display.SetValue(14.7);
    EXPECT_EQ(QStringLiteral("10.00 kLx"), display.ValueText());
    display.SetUnits(2, 1, false);
    EXPECT_EQ(QStringLiteral("21.6"), display.ValueText());   // 14.7 * 1.47 = 21.609, cut
    EXPECT_DOUBLE_EQ(14.7, display.GetRawValue());
}

TEST_F(PressureDisplayTest, UnitOutsideTheTableLeavesTheValueAreaEmpty)
{
    for (int unit : {0, 10}) {
        SCOPED_TRACE(unit);
        display.SetUnits(unit, unit, true);
        display.SetValue(unit + 1013.0);
        const QImage shot = Shot();
        EXPECT_TRUE(display.ValueText().isEmpty());
        EXPECT_FALSE(ValueVisible(shot));
        EXPECT_GT(Count(shot, Band(shot), Text()), 0);
    }
}

TEST_F(PressureDisplayTest, BlinkingHidesOnlyTheValueEveryOtherTick)
{
    ShowHectopascals(1013.27);
    display.SetBlinking(true);
    ASSERT_EQ((std::vector<CFakeTimerHost::Call>{{CFakeTimerHost::Call::Set, kBlinkTimerId, 500}}),
              timers.m_calls);
    EXPECT_TRUE(display.IsBlinking());

    for (int tick = 1; tick <= 4; ++tick) {
        SCOPED_TRACE(tick);
        const int before = display.PaintCount();
        display.OnTimer(kBlinkTimerId);
        EXPECT_EQ(before + 1, display.PaintCount());
        const bool hidden = tick % 2 == 1;
        EXPECT_EQ(hidden, display.IsBlinkPhaseHidden());
        const QImage shot = Shot();
        EXPECT_GT(Count(shot, Band(shot), Text()), 1000);
        EXPECT_GT(Count(shot, Band(shot), Background()), 20);
        EXPECT_EQ(!hidden, ValueVisible(shot));
        EXPECT_EQ(hidden ? QString() : QStringLiteral("1013.3 hPa"), display.ValueText());
    }
}

TEST_F(PressureDisplayTest, SecondStartKeepsTheFirstTimer)
{
    display.SetBlinking(true);
    display.OnTimer(kBlinkTimerId);
    display.SetBlinking(true);
    EXPECT_EQ(1u, timers.m_calls.size());
    EXPECT_TRUE(display.IsBlinking());
    // Restarting the timer would have reset nothing else either.
    EXPECT_TRUE(display.IsBlinkPhaseHidden());
}

TEST_F(PressureDisplayTest, StoppingInTheHiddenPhaseShowsTheValueAtOnce)
{
    ShowHectopascals(1013.27);
    display.SetBlinking(true);
    display.OnTimer(kBlinkTimerId);
    ASSERT_TRUE(display.IsBlinkPhaseHidden());
    const int before = display.PaintCount();
    display.SetBlinking(false);
    EXPECT_EQ(before + 1, display.PaintCount());
    EXPECT_EQ(QStringLiteral("1013.3 hPa"), display.ValueText());
    EXPECT_FALSE(display.IsBlinking());
    EXPECT_FALSE(timers.IsRunning(kBlinkTimerId));
    EXPECT_TRUE(ValueVisible(Shot()));
}

TEST_F(PressureDisplayTest, StoppingInTheShownPhaseDoesNotRepaint)
{
    ShowHectopascals(1013.27);
    display.SetBlinking(true);
    display.OnTimer(kBlinkTimerId);
    display.OnTimer(kBlinkTimerId);
    const int before = display.PaintCount();
    display.SetBlinking(false);
    EXPECT_EQ(before, display.PaintCount());
    EXPECT_FALSE(timers.IsRunning(kBlinkTimerId));
    display.SetBlinking(false);
    EXPECT_EQ(2u, timers.m_calls.size());   // nothing more to kill
}

// The measurement sets a state the display does not own: every change of it
// reaches the screen and the blink timer, and a display that lets it go
// stops following it.
TEST_F(PressureDisplayTest, FollowsAStateThatTheMeasurementSets)
{
    CDisplayState state;
    display.UseState(&state);
    int before = display.PaintCount();
    state.SetUnits(5, 5, true);
    state.SetValue(1002.5);
    EXPECT_EQ(before + 2, display.PaintCount());
    EXPECT_EQ(QStringLiteral("1002.5 hPa"), display.ValueText());
    state.SetBlinking(true);
    EXPECT_TRUE(timers.IsRunning(kBlinkTimerId));
    display.OnTimer(kBlinkTimerId);
    state.SetBlinking(false);
    EXPECT_FALSE(timers.IsRunning(kBlinkTimerId));
    EXPECT_TRUE(ValueVisible(Shot()));

    display.UseState(nullptr);
    before = display.PaintCount();
    state.SetValue(990.0);
    EXPECT_EQ(before, display.PaintCount());
    EXPECT_TRUE(display.HasNoValue()) << "its own state again";
}

TEST_F(PressureDisplayTest, StrayTickDoesNotHideAValueThatIsNotBlinking)
{
    ShowHectopascals(1013.27);
    const int before = display.PaintCount();
    display.OnTimer(kBlinkTimerId);
    display.OnTimer(kNoCommTimerId);
    EXPECT_EQ(before, display.PaintCount());
    EXPECT_FALSE(display.IsBlinkPhaseHidden());
    EXPECT_TRUE(ValueVisible(Shot()));
}

TEST_F(PressureDisplayTest, DisplayFontSetsTheValueFontAndTheSizeOfTheDigits)
{
    ShowHectopascals(1013.27);
    LOGFONT small = display.m_lfValueFont;
    small.lfHeight = -30;
    int before = display.PaintCount();
    display.SetDisplayFont(small);
    EXPECT_EQ(before + 1, display.PaintCount());
    ASSERT_TRUE(display.HasValueFont());
    EXPECT_EQ(30, display.ValueFont()->pixelSize());
    EXPECT_EQ(small, display.m_lfValueFont);
    QImage shot = Shot();
    const int smallHeight = Bounds(shot, ValueArea(shot), Text()).height();

    LOGFONT large = small;
    large.lfHeight = -90;
    large.lfWeight = 700;
    display.SetDisplayFont(large);
    EXPECT_EQ(90, display.ValueFont()->pixelSize());
    EXPECT_EQ(QFont::Bold, display.ValueFont()->weight());
    shot = Shot();
    const int largeHeight = Bounds(shot, ValueArea(shot), Text()).height();
    EXPECT_GT(largeHeight, smallHeight * 2);
}

TEST_F(PressureDisplayTest, ExponentOfWattsIsRaised)
{
    display.SetUnits(1, 1, true);
    display.SetValue(12.25);
    const QImage shot = Shot();
    EXPECT_EQ(QStringLiteral("12.3 W/m2"), display.ValueText());
    const QRect text = Bounds(shot, ValueArea(shot), Text());
    ASSERT_TRUE(text.isValid());
    // The leading "1" and the trailing "2" are digits of one height; the "2"
    // stands a quarter of a line higher.
    const QRect first = Bounds(shot, QRect(text.left(), text.top(), 8, text.height()), Text());
    const QRect last = Bounds(shot, QRect(text.right() - 7, text.top(), 8, text.height()), Text());
    EXPECT_LT(last.top(), first.top() - 8);
    EXPECT_LT(last.bottom(), first.bottom() - 8);
}

TEST_F(PressureDisplayTest, OwnersColoursAreUsedAtTheNextPaint)
{
    display.m_crText = RGB(255, 0, 0);
    display.m_crBackground = RGB(255, 255, 255);
    ShowHectopascals(1013.27);
    const QImage shot = Shot();
    EXPECT_EQ(QColor(255, 0, 0), shot.pixelColor(0, 0));
    EXPECT_EQ(QColor(255, 255, 255), shot.pixelColor(0, shot.height() - 1));
    EXPECT_TRUE(ValueVisible(shot));
}

// The weather station's line: at the foot of the field in the text colour,
// the value above it as it was, shown in both blink phases; an empty line
// draws nothing.
TEST_F(PressureDisplayTest, TheStationLineIsDrawnUnderTheValueAndNeverBlinks)
{
    ShowHectopascals(1013.27);
    const QImage before = Shot();
    const QRect foot(0, before.height() * 3 / 4, before.width(), before.height() / 4);
    const QRect above(0, 0, before.width(), foot.top());
    ASSERT_EQ(0, Count(before, foot, Text()));

    const QString line = QStringLiteral("QNH 1016.4 hPa  ↘ −2.3 hPa / 3 h, spada");
    display.SetStationLine(line);
    const QImage shown = Shot();
    EXPECT_EQ(line, display.StationLineText());
    EXPECT_GT(Count(shown, foot, Text()), 0);
    EXPECT_EQ(before.copy(above), shown.copy(above));

    display.SetBlinking(true);
    display.OnTimer(kBlinkTimerId);
    ASSERT_TRUE(display.IsBlinkPhaseHidden());
    const QImage hidden = Shot();
    EXPECT_EQ(shown.copy(foot), hidden.copy(foot));
    EXPECT_EQ(0, Count(hidden, QRect(0, Band(hidden).bottom() + 1, hidden.width(), foot.top() - Band(hidden).bottom() - 1), Text()));

    display.SetBlinking(false);
    display.SetStationLine(QString());
    EXPECT_EQ(before, Shot());
    EXPECT_TRUE(display.StationLineText().isEmpty());
}

}  // namespace
