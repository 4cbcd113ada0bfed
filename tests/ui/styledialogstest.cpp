#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include "platform/fontconvert.h"
#include "tests/support/faketimerhost.h"
#include "tests/support/scriptedservices.h"
#include "tests/ui/dialogdriver.h"
#include "ui/aboutdialog.h"
#include "ui/additionalsettingsdialog.h"
#include "ui/colorsdialog.h"
#include "ui/colorswatch.h"
#include "ui/fontsdialog.h"
#include "ui/pressuredisplay.h"
#include "ui/recordingdialog.h"

namespace {

constexpr COLORREF kRed = RGB(200, 0, 0);
constexpr COLORREF kGreen = RGB(0, 160, 0);
constexpr COLORREF kYellow = RGB(250, 240, 0);

LOGFONT Font(const char* face, LONG height, LONG weight, BYTE italic = 0)
{
    LOGFONT lf;
    lf.SetFaceName(face);
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = italic;
    lf.lfCharSet = EASTEUROPE_CHARSET;
    return lf;
}

// The main window's display showing a reading, on the offscreen screen; the
// choosers are scripted.
class StyleDialogTest : public ::testing::Test {
protected:
    StyleDialogTest()
    {
        display.SetTimerHost(timers);
        display.m_strLabel = QStringLiteral("Ciśnienie");
        display.m_lfValueFont = Font("Arial", 60, 700);
        display.resize(500, 220);
        display.CreateValueFont();
        display.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&display));
        display.SetUnits(5, 5, true);
        display.SetValue(1013.2);
    }

    QImage Shot() { return display.grab().toImage(); }

    CScriptedServices services;
    CFakeTimerHost timers;
    CPressureDisplay display;
};

using ColorsDialogTest = StyleDialogTest;

TEST_F(ColorsDialogTest, TheSwatchUnderTloIsTheBackground)
{
    services.QueueColor(kRed);
    const COLORREF text = display.m_crText;
    RunColorsCommand(display, [](CColorsDialog& d) {
        return RunModalWith(d, [&d] {
            const int tlo = d.findChild<QLabel*>(QStringLiteral("backgroundLabel"))->geometry().center().x();
            CColorSwatch* under = d.m_backgroundSwatch->geometry().left() <= tlo &&
                                          tlo <= d.m_backgroundSwatch->geometry().right()
                                      ? d.m_backgroundSwatch
                                      : d.m_textSwatch;
            LeftClick(under);
            ClickButton(d, "okButton");
        });
    });
    EXPECT_EQ(kRed, display.m_crBackground);
    EXPECT_EQ(text, display.m_crText);
}

TEST_F(ColorsDialogTest, SwatchesOpenWithTheDisplaysColours)
{
    RunColorsCommand(display, [this](CColorsDialog& d) {
        return RunModalWith(d, [&] {
            EXPECT_EQ(display.m_crBackground, d.m_backgroundSwatch->m_crColor);
            EXPECT_EQ(display.m_crText, d.m_textSwatch->m_crColor);
            ClickButton(d, "okButton");
        });
    });
}

TEST_F(ColorsDialogTest, ChoicesShowAtOnceAndCancelRestoresTheDisplayExactly)
{
    const QImage before = Shot();
    const COLORREF background = display.m_crBackground;
    const COLORREF text = display.m_crText;
    services.QueueColor(kRed);
    services.QueueColor(kGreen);
    services.QueueColor(kYellow);
    const int result = RunColorsCommand(display, [&](CColorsDialog& d) {
        return RunModalWith(d, [&] {
            LeftClick(d.m_backgroundSwatch);
            LeftClick(d.m_backgroundSwatch);
            LeftClick(d.m_textSwatch);
            EXPECT_EQ(kGreen, display.m_crBackground);
            EXPECT_EQ(kYellow, display.m_crText);
            EXPECT_EQ(kGreen, d.m_backgroundSwatch->m_crColor);
            EXPECT_EQ(kYellow, d.m_textSwatch->m_crColor);
            EXPECT_NE(before, Shot());
            ClickButton(d, "cancelButton");
        });
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(background, display.m_crBackground);
    EXPECT_EQ(text, display.m_crText);
    EXPECT_EQ(before, Shot());
    // Each chooser started from the colour the display had then.
    EXPECT_EQ((std::vector<COLORREF>{background, kRed, text}), services.ColorRequests());
}

TEST_F(ColorsDialogTest, ClosingTheDialogAnyOtherWayRestoresToo)
{
    const COLORREF background = display.m_crBackground;
    services.QueueColor(kRed);
    RunColorsCommand(display, [](CColorsDialog& d) {
        return RunModalWith(d, [&d] {
            LeftClick(d.m_backgroundSwatch);
            d.reject();
        });
    });
    EXPECT_EQ(background, display.m_crBackground);
}

TEST_F(ColorsDialogTest, TheCancelRepaintsTheDisplayOnce)
{
    services.QueueColor(kRed);
    int paintsBeforeEnd = 0;
    RunColorsCommand(display, [&](CColorsDialog& d) {
        return RunModalWith(d, [&] {
            LeftClick(d.m_backgroundSwatch);
            paintsBeforeEnd = display.PaintCount();
            ClickButton(d, "cancelButton");
        });
    });
    EXPECT_EQ(paintsBeforeEnd + 1, display.PaintCount());
}

TEST_F(ColorsDialogTest, OkKeepsTheChoices)
{
    services.QueueColor(kRed);
    const COLORREF background = display.m_crBackground;
    const int result = RunColorsCommand(display, [](CColorsDialog& d) {
        return RunModalWith(d, [&d] {
            LeftClick(d.m_textSwatch);
            ClickButton(d, "okButton");
        });
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(kRed, display.m_crText);
    EXPECT_EQ(background, display.m_crBackground);
}

TEST_F(ColorsDialogTest, OkAfterNoChoiceChangesNothing)
{
    const QImage before = Shot();
    const COLORREF background = display.m_crBackground;
    const COLORREF text = display.m_crText;
    RunColorsCommand(display, [](CColorsDialog& d) {
        return RunModalWith(d, [&d] { ClickButton(d, "okButton"); });
    });
    EXPECT_EQ(background, display.m_crBackground);
    EXPECT_EQ(text, display.m_crText);
    EXPECT_EQ(before, Shot());
}

TEST_F(ColorsDialogTest, ACancelledChooserLeavesTheSwatchButRepaintsTheDisplay)
{
    const COLORREF background = display.m_crBackground;
    services.QueueColorCancel();
    RunColorsCommand(display, [&](CColorsDialog& d) {
        return RunModalWith(d, [&] {
            const int paints = display.PaintCount();
            LeftClick(d.m_backgroundSwatch);
            EXPECT_EQ(paints + 1, display.PaintCount());
            EXPECT_EQ(background, d.m_backgroundSwatch->m_crColor);
            EXPECT_EQ(background, display.m_crBackground);
            ClickButton(d, "okButton");
        });
    });
    EXPECT_EQ(QStringList{QStringLiteral("ChooseColor")}, services.Calls());
}

using FontsDialogTest = StyleDialogTest;

TEST_F(FontsDialogTest, ThePreviewShowsTheDisplaysFont)
{
    RunFontsCommand(display, [this](CFontsDialog& d) {
        return RunModalWith(d, [&] {
            EXPECT_EQ(QStringLiteral("0123456789."), d.m_preview->text());
            EXPECT_EQ(*display.ValueFont(), d.m_preview->font());
            ClickButton(d, "okButton");
        });
    });
}

TEST_F(FontsDialogTest, ChoicesShowAtOnceAndCancelRestoresTheDisplayExactly)
{
    const QImage before = Shot();
    const LOGFONT saved = display.m_lfValueFont;
    const LOGFONT first = Font("DejaVu Serif", -30, 400, 1);
    const LOGFONT second = Font("DejaVu Sans Mono", -44, 400);
    services.QueueFont(first);
    services.QueueFont(second);
    const int result = RunFontsCommand(display, [&](CFontsDialog& d) {
        return RunModalWith(d, [&] {
            LeftClick(d.m_preview);
            LeftClick(d.m_preview);
            EXPECT_EQ(second, display.m_lfValueFont);
            EXPECT_EQ(QFontFromLogFont(second), *display.ValueFont());
            EXPECT_EQ(*display.ValueFont(), d.m_preview->font());
            EXPECT_NE(before, Shot());
            ClickButton(d, "cancelButton");
        });
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ(saved, display.m_lfValueFont);
    EXPECT_EQ(QFontFromLogFont(saved), *display.ValueFont());
    EXPECT_EQ(before, Shot());
    // The second chooser started from the first choice.
    ASSERT_EQ(2u, services.FontRequests().size());
    EXPECT_EQ(saved, services.FontRequests()[0]);
    EXPECT_EQ(first, services.FontRequests()[1]);
}

TEST_F(FontsDialogTest, OkKeepsTheChoice)
{
    const LOGFONT chosen = Font("DejaVu Serif", -30, 700);
    services.QueueFont(chosen);
    RunFontsCommand(display, [](CFontsDialog& d) {
        return RunModalWith(d, [&d] {
            LeftClick(d.m_preview);
            ClickButton(d, "okButton");
        });
    });
    EXPECT_EQ(chosen, display.m_lfValueFont);
    EXPECT_EQ(QFontFromLogFont(chosen), *display.ValueFont());
}

TEST_F(FontsDialogTest, OkAfterNoChoiceChangesNothing)
{
    const QImage before = Shot();
    const LOGFONT saved = display.m_lfValueFont;
    RunFontsCommand(display, [](CFontsDialog& d) {
        return RunModalWith(d, [&d] { ClickButton(d, "okButton"); });
    });
    EXPECT_EQ(saved, display.m_lfValueFont);
    EXPECT_EQ(before, Shot());
}

TEST_F(FontsDialogTest, ACancelledChooserLeavesTheDisplayAlone)
{
    const LOGFONT saved = display.m_lfValueFont;
    services.QueueFontCancel();
    RunFontsCommand(display, [&](CFontsDialog& d) {
        return RunModalWith(d, [&] {
            const int paints = display.PaintCount();
            LeftClick(d.m_preview);
            EXPECT_EQ(paints, display.PaintCount());
            EXPECT_EQ(*display.ValueFont(), d.m_preview->font());
            ClickButton(d, "okButton");
        });
    });
    EXPECT_EQ(saved, display.m_lfValueFont);
    ASSERT_EQ(1u, services.FontRequests().size());
    EXPECT_EQ(saved, services.FontRequests()[0]);
}

TEST_F(FontsDialogTest, TheChooserStartsFromTheFontTheDisplayUses)
{
    // A description written without making the font: the chooser and the
    // preview follow what is on the screen.
    const QFont shown = *display.ValueFont();
    display.m_lfValueFont = Font("DejaVu Sans", -12, 400);
    services.QueueFontCancel();
    RunFontsCommand(display, [](CFontsDialog& d) {
        return RunModalWith(d, [&d] {
            LeftClick(d.m_preview);
            ClickButton(d, "okButton");
        });
    });
    ASSERT_EQ(1u, services.FontRequests().size());
    EXPECT_EQ(LogFontFromQFont(shown), services.FontRequests()[0]);
}

// The program's dialog boxes as the window manager gets them: their own
// title, a fixed size, and no minimise or maximise.
TEST(DialogBoxes, HaveTheirOwnTitleAFixedSizeAndOnlyACloseButton)
{
    CScriptedServices services;
    CColorsDialog colors;
    CFontsDialog fonts;
    CAboutDialog about;
    CRecordingDialog recording;
    CAdditionalSettingsDialog additional;
    const std::vector<std::pair<CDialog*, QString>> boxes = {
        {&colors, QStringLiteral("Kolory")},
        {&fonts, QStringLiteral("Czcionki")},
        {&about, QStringLiteral("O programie")},
        {&recording, QStringLiteral("Rejestracja do pliku")},
        {&additional, QStringLiteral("Ustawienia dodatkowe")},
    };
    for (const auto& [dialog, title] : boxes) {
        SCOPED_TRACE(title.toStdString());
        RunModalWith(*dialog, [dialog, &title] {
            ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
            EXPECT_EQ(title, dialog->windowHandle()->title());
            const Qt::WindowFlags flags = dialog->windowHandle()->flags();
            EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
            EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
            EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
            EXPECT_EQ(dialog->size(), dialog->minimumSize());
            if (QGuiApplication::platformName() == QLatin1String("xcb")) {
                QTest::qWait(100);   // the window manager's answer
                const QString actions = WindowProperty(*dialog, "_NET_WM_ALLOWED_ACTIONS");
                EXPECT_TRUE(actions.contains(QLatin1String("_NET_WM_ACTION_CLOSE"))) << actions.toStdString();
                EXPECT_FALSE(actions.contains(QLatin1String("MAXIMIZE"))) << actions.toStdString();
                // flags, functions, decorations: neither function nor button to
                // minimise (8, 0x20) or maximise (0x10, 0x40).
                const QStringList motif = WindowProperty(*dialog, "_MOTIF_WM_HINTS").section(QLatin1Char('='), 1).split(QLatin1Char(','));
                ASSERT_GE(motif.size(), 3);
                EXPECT_EQ(0u, motif[1].trimmed().toUInt(nullptr, 16) & 0x18u);
                EXPECT_EQ(0u, motif[2].trimmed().toUInt(nullptr, 16) & 0x60u);
            }
        });
    }
}

}  // namespace
