#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QTextBrowser>

#include <gtest/gtest.h>

#include "tests/support/scriptedservices.h"
#include "tests/ui/dialogdriver.h"
#include "ui/aboutdialog.h"
#include "ui/additionalsettingsdialog.h"
#include "ui/hyperlinkstatic.h"
#include "ui/km302resources.h"
#include "ui/languagedialog.h"
#include "ui/makertexts.h"
#include "ui/promotiondialog.h"

namespace {

constexpr int kNoAssociation = 31;

TEST(ResourcesTest, EveryPictureLoads)
{
    InitKm302Resources();
    for (const char* name : {"km302.png", "km302-32.png", "about.png", "language.png", "wait.png", "kds.png"})
        EXPECT_FALSE(QPixmap(QStringLiteral(":/km302/") + QLatin1String(name)).isNull()) << name;
}

class AboutDialogTest : public ::testing::Test {
protected:
    CScriptedServices services;
    CAboutDialog dialog;
};

TEST_F(AboutDialogTest, TheMailLinkShowsTheAddressAndOpensAMailtoUrl)
{
    const int result = RunModalWith(dialog, [this] {
        EXPECT_EQ(QStringLiteral("email: ") + MakerMail(), dialog.m_mailLink->text());
        EXPECT_EQ(QStringLiteral("mailto:") + MakerMail(), dialog.m_mailLink->toolTip());
        EXPECT_EQ(dialog.m_mailLink->m_crLink, dialog.m_mailLink->CtlColor());
        LeftClick(dialog.m_mailLink);
        ClickButton(dialog, "okButton");
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(QStringList{QStringLiteral("mailto:") + MakerMail()}, services.ShellTargets());
}

TEST_F(AboutDialogTest, ThePictureOpensTheMakersWebPage)
{
    RunModalWith(dialog, [this] {
        ASSERT_FALSE(dialog.m_picture->pixmap().isNull());
        LeftClick(dialog.m_picture);
    });
    EXPECT_EQ(QStringList{MakerWebPage()}, services.ShellTargets());
    EXPECT_TRUE(services.MessageBoxes().empty());
}

TEST_F(AboutDialogTest, APictureThatCannotBeOpenedBeepsExplainsAndStaysOpen)
{
    services.QueueShellResult(kNoAssociation);
    services.QueueLaunchResult(2);
    qputenv("BROWSER", "testbrowser");
    const int result = RunModalWith(dialog, [this] { LeftClick(dialog.m_picture); });
    qunsetenv("BROWSER");
    EXPECT_EQ(kStillOpen, result);
    EXPECT_EQ(std::vector<UINT>{MB_ICONEXCLAMATION}, services.Beeps());
    EXPECT_EQ(QStringList{QStringLiteral("Unable to open hyperlink:\n\nThe specified file was not found.")},
              services.MessageBoxTexts());
}

class PromotionDialogTest : public ::testing::Test {
protected:
    // Drags across the first lines of the view's text with the left button.
    static void DragAcross(QTextBrowser& view)
    {
        QWidget* viewport = view.viewport();
        SendMouse(viewport, QEvent::MouseButtonPress, QPoint(8, 12), Qt::LeftButton, Qt::LeftButton);
        SendMouse(viewport, QEvent::MouseMove, QPoint(200, 60), Qt::NoButton, Qt::LeftButton);
        SendMouse(viewport, QEvent::MouseButtonRelease, QPoint(200, 60), Qt::LeftButton);
    }

    CScriptedServices services;
    CPromotionDialog dialog;
};

TEST_F(PromotionDialogTest, ShowsTheDocumentUnderTheMakersCaption)
{
    EXPECT_EQ(MakerCompany() + QStringLiteral(" - promocja KDS"), dialog.windowTitle());
    EXPECT_TRUE(dialog.m_richText->toPlainText().contains(QStringLiteral("KDS")));
    const int result = RunModalWith(dialog, [this] {
        EXPECT_EQ(MakerKdsPage(), dialog.m_webLink->LinkTarget());
        EXPECT_EQ(QStringLiteral("Kliknij, aby uzyskać więcej informacji w internecie"),
                  dialog.m_webLink->text());
        ClickButton(dialog, "closeButton");
    });
    EXPECT_EQ(IDOK, result);
}

TEST_F(PromotionDialogTest, TheTextCannotBeClickedIntoOrSelected)
{
    // The same drag selects text in a plain view of the same document.
    QTextBrowser plain;
    plain.resize(dialog.m_richText->minimumSize());
    plain.setSource(dialog.m_richText->source());
    plain.show();
    DragAcross(plain);
    ASSERT_TRUE(plain.textCursor().hasSelection());

    RunModalWith(dialog, [this] {
        DragAcross(*dialog.m_richText);
        EXPECT_FALSE(dialog.m_richText->textCursor().hasSelection());
        EXPECT_FALSE(dialog.m_richText->hasFocus());
        EXPECT_TRUE(dialog.isVisible());
    });
}

TEST_F(PromotionDialogTest, TheWebLinkOpensTheKdsPage)
{
    RunModalWith(dialog, [this] { LeftClick(dialog.m_webLink); });
    EXPECT_EQ(QStringList{MakerKdsPage()}, services.ShellTargets());
    EXPECT_TRUE(dialog.m_webLink->IsVisited());
}

// "Ustawienia dodatkowe": the box says "do not show", the switch "show".
TEST(AdditionalSettingsTest, PromotionOffOpensTickedAndOkWithoutChangeKeepsIt)
{
    int showAdv = 0;
    const int result = RunAdditionalSettingsCommand(showAdv, nullptr, [](CAdditionalSettingsDialog& d) {
        return RunModalWith(d, [&d] {
            EXPECT_TRUE(d.m_check->isChecked());
            ClickButton(d, "okButton");
        });
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(0, showAdv);
}

TEST(AdditionalSettingsTest, ClearingTheBoxTurnsThePromotionBackOn)
{
    int showAdv = 0;
    RunAdditionalSettingsCommand(showAdv, nullptr, [](CAdditionalSettingsDialog& d) {
        return RunModalWith(d, [&d] {
            d.m_check->click();
            ClickButton(d, "okButton");
        });
    });
    EXPECT_EQ(1, showAdv);
}

TEST(AdditionalSettingsTest, TickingTheBoxTurnsAnyNonZeroSwitchOff)
{
    int showAdv = 5;
    RunAdditionalSettingsCommand(showAdv, nullptr, [](CAdditionalSettingsDialog& d) {
        return RunModalWith(d, [&d] {
            EXPECT_FALSE(d.m_check->isChecked());
            d.m_check->click();
            ClickButton(d, "okButton");
        });
    });
    EXPECT_EQ(0, showAdv);
}

TEST(AdditionalSettingsTest, CancelKeepsTheSwitchAfterTheBoxWasToggled)
{
    for (int start : {0, 1}) {
        int showAdv = start;
        const int result = RunAdditionalSettingsCommand(showAdv, nullptr, [](CAdditionalSettingsDialog& d) {
            return RunModalWith(d, [&d] {
                d.m_check->click();
                ClickButton(d, "cancelButton");
            });
        });
        EXPECT_EQ(IDCANCEL, result);
        EXPECT_EQ(start, showAdv);
    }
}

// Runs the language command; `choose` acts on the open dialog, then OK.
QString AfterLanguageCommand(QString language, const std::function<void(CLanguageDialog&)>& choose,
                             bool ok = true)
{
    RunLanguageCommand(language, nullptr, [&](CLanguageDialog& d) {
        return RunModalWith(d, [&] {
            choose(d);
            if (ok)
                ClickButton(d, "okButton");
            else
                d.reject();
        });
    });
    return language;
}

TEST(LanguageDialogTest, EveryCodeButEnSelectsPolskiAndOkSetsPl)
{
    for (const QString& code : {QString(), QStringLiteral("de"), QStringLiteral("EN"), QStringLiteral("pl")}) {
        bool polish = false;
        bool english = true;
        const QString result = AfterLanguageCommand(code, [&](CLanguageDialog& d) {
            polish = d.m_polish->isChecked();
            english = d.m_english->isChecked();
        });
        EXPECT_TRUE(polish) << code.toStdString();
        EXPECT_FALSE(english) << code.toStdString();
        EXPECT_EQ(QStringLiteral("pl"), result) << code.toStdString();
    }
}

TEST(LanguageDialogTest, EnglishOpensSelectedAndStays)
{
    bool english = false;
    const QString result = AfterLanguageCommand(QStringLiteral("en"), [&](CLanguageDialog& d) {
        english = d.m_english->isChecked() && !d.m_polish->isChecked();
    });
    EXPECT_TRUE(english);
    EXPECT_EQ(QStringLiteral("en"), result);
}

TEST(LanguageDialogTest, ChoosingEnglishSetsEn)
{
    EXPECT_EQ(QStringLiteral("en"),
              AfterLanguageCommand(QString(), [](CLanguageDialog& d) { d.m_english->click(); }));
    EXPECT_EQ(QStringLiteral("pl"),
              AfterLanguageCommand(QStringLiteral("en"), [](CLanguageDialog& d) { d.m_polish->click(); }));
}

TEST(LanguageDialogTest, EscapeChangesNothing)
{
    EXPECT_EQ(QString(), AfterLanguageCommand(QString(), [](CLanguageDialog& d) { d.m_english->click(); },
                                              false));
    EXPECT_EQ(QStringLiteral("xx"),
              AfterLanguageCommand(QStringLiteral("xx"), [](CLanguageDialog&) {}, false));
}

}  // namespace
