#include <QApplication>
#include <QFontMetrics>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <optional>

#include "tests/support/scriptedservices.h"
#include "tests/ui/dialogdriver.h"
#include "ui/hyperlinkstatic.h"

namespace {

constexpr int kShellOk = 42;
constexpr int kNoAssociation = 31;
constexpr int kLaunchOk = 33;

const QString kTarget = QStringLiteral("https://example.com/kds");

// Sets an environment variable (or removes it, for nullopt) for the life of
// the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<QByteArray>& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

// A dialog-like window with one attached link, shown offscreen; the desktop
// services are scripted and the browser comes from $BROWSER alone.
class HyperlinkTest : public ::testing::Test {
protected:
    HyperlinkTest()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(link);
    }

    void AttachAndShow(const QString& text)
    {
        link->setText(text);
        link->Attach();
        window.show();
        QCoreApplication::processEvents();
    }

    // Beeps and message texts the user saw.
    QStringList Reports() const { return services.MessageBoxTexts(); }

    CScriptedServices services;
    ScopedEnv browser{"BROWSER", QByteArray("testbrowser")};
    QWidget window;
    CHyperlinkStatic* link = new CHyperlinkStatic;
};

TEST_F(HyperlinkTest, TheTextIsTheTargetWhenNoneWasSet)
{
    AttachAndShow(kTarget);
    EXPECT_EQ(kTarget, link->LinkTarget());
    EXPECT_EQ(kTarget, link->toolTip());
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(Qt::PointingHandCursor, link->cursor().shape());
}

TEST_F(HyperlinkTest, AControlWithoutTextShowsItsTarget)
{
    link->SetLinkTarget(kTarget);
    AttachAndShow(QString());
    EXPECT_EQ(kTarget, link->text());
}

TEST_F(HyperlinkTest, ANewTargetReplacesTheTooltipButNotTheText)
{
    AttachAndShow(QStringLiteral("email: producent@example.com"));
    link->SetLinkTarget(QStringLiteral("mailto:producent@example.com"));
    EXPECT_EQ(QStringLiteral("mailto:producent@example.com"), link->toolTip());
    EXPECT_EQ(QStringLiteral("email: producent@example.com"), link->text());
}

TEST_F(HyperlinkTest, TheControlIsShrunkToItsTextAtTheLeft)
{
    AttachAndShow(kTarget);
    const QFontMetrics metrics(link->font());
    EXPECT_EQ(QSize(metrics.horizontalAdvance(kTarget), metrics.height()), link->size());
    EXPECT_EQ(window.layout()->contentsMargins().left(), link->x());
}

TEST_F(HyperlinkTest, HoverRepaintsOnceOnEntryAndOnceOnLeaving)
{
    AttachAndShow(kTarget);
    EXPECT_EQ(link->m_crLink, link->CtlColor());
    const int before = link->PaintCount();

    MoveMouse(link, QPoint(2, 2));
    EXPECT_TRUE(link->IsOverControl());
    EXPECT_EQ(link->m_crHover, link->CtlColor());
    EXPECT_EQ(link, QWidget::mouseGrabber());
    EXPECT_EQ(before + 1, link->PaintCount());

    MoveMouse(link, QPoint(3, 3));
    EXPECT_EQ(before + 1, link->PaintCount());

    MoveMouse(link, QPoint(-5, 3));
    EXPECT_FALSE(link->IsOverControl());
    EXPECT_EQ(link->m_crLink, link->CtlColor());
    EXPECT_EQ(nullptr, QWidget::mouseGrabber());
    EXPECT_EQ(before + 2, link->PaintCount());
}

TEST_F(HyperlinkTest, HidingTheControlWhileHoveredReleasesTheMouse)
{
    AttachAndShow(kTarget);
    MoveMouse(link, QPoint(2, 2));
    window.hide();
    EXPECT_FALSE(link->IsOverControl());
    EXPECT_EQ(nullptr, QWidget::mouseGrabber());
}

TEST_F(HyperlinkTest, ASuccessfulOpenTurnsTheLinkVisited)
{
    AttachAndShow(kTarget);
    MoveMouse(link, QPoint(2, 2));
    LeftClick(link, QPoint(2, 2));
    EXPECT_EQ(QStringList{kTarget}, services.ShellTargets());
    EXPECT_TRUE(link->IsVisited());
    // The click gave up the hover (and the mouse) before opening.
    EXPECT_EQ(nullptr, QWidget::mouseGrabber());
    EXPECT_EQ(link->m_crVisited, link->CtlColor());
    MoveMouse(link, QPoint(2, 2));
    EXPECT_EQ(link->m_crHover, link->CtlColor());
    MoveMouse(link, QPoint(2, -4));
    EXPECT_EQ(link->m_crVisited, link->CtlColor());
    EXPECT_TRUE(Reports().isEmpty());
}

TEST_F(HyperlinkTest, AFailedOpenBeepsReportsAndForgetsTheVisit)
{
    AttachAndShow(kTarget);
    LeftClick(link);
    ASSERT_TRUE(link->IsVisited());

    services.QueueShellResult(kNoAssociation);
    services.QueueLaunchResult(2);
    LeftClick(link);
    EXPECT_FALSE(link->IsVisited());
    EXPECT_EQ(link->m_crLink, link->CtlColor());
    EXPECT_EQ(std::vector<UINT>{MB_ICONEXCLAMATION}, services.Beeps());
    ASSERT_EQ(1u, services.MessageBoxes().size());
    EXPECT_EQ(QStringLiteral("Unable to open hyperlink:\n\nThe specified file was not found."),
              services.MessageBoxes()[0].text);
    EXPECT_EQ(MB_OK | MB_ICONEXCLAMATION, services.MessageBoxes()[0].type);
}

TEST_F(HyperlinkTest, APressOutsideThatEndsOnTheControlIsNoClick)
{
    AttachAndShow(kTarget);
    SendMouse(link, QEvent::MouseButtonPress, QPoint(-5, -5), Qt::LeftButton, Qt::LeftButton);
    SendMouse(link, QEvent::MouseButtonRelease, QPoint(2, 2), Qt::LeftButton);
    EXPECT_TRUE(services.ShellTargets().isEmpty());
}

TEST(HyperlinkFitTest, StaysAtTheTopLeftByDefault)
{
    const RECT r = CHyperlinkStatic::FitRectToText(RECT{10, 20, 110, 60}, 30, 12,
                                                   Qt::AlignLeft | Qt::AlignTop);
    EXPECT_EQ((RECT{10, 20, 40, 32}), r);
}

TEST(HyperlinkFitTest, CentredShrinksEvenlyWithTheOddPixelLeftInside)
{
    const RECT r = CHyperlinkStatic::FitRectToText(RECT{10, 20, 111, 61}, 30, 12, Qt::AlignCenter);
    // 101 − 30 = 71: each side moves in by 35, leaving 31; 41 − 12 = 29: 14 each.
    EXPECT_EQ((RECT{45, 34, 76, 47}), r);
}

TEST(HyperlinkFitTest, RightAlignedKeepsTheRightEdge)
{
    const RECT r = CHyperlinkStatic::FitRectToText(RECT{10, 20, 110, 60}, 30, 12,
                                                   Qt::AlignRight | Qt::AlignTop);
    EXPECT_EQ((RECT{80, 20, 110, 32}), r);
}

// The fallback to the registered browser after the desktop's handler failed.
class OpenTargetTest : public ::testing::Test {
protected:
    void Browser(const char* command) { browser.emplace("BROWSER", QByteArray(command)); }

    CScriptedServices services;
    std::optional<ScopedEnv> browser;
};

TEST_F(OpenTargetTest, TheDesktopHandlerComesFirst)
{
    Browser("testbrowser");
    EXPECT_EQ(kShellOk, CHyperlinkStatic::OpenTarget(kTarget));
    EXPECT_TRUE(services.Launches().empty());
}

TEST_F(OpenTargetTest, AQuotedPlaceholderIsCutAtItsOpeningQuote)
{
    Browser("\"/opt/web browser/run\" --new-tab \"%1\" --ignored");
    services.QueueShellResult(kNoAssociation);
    EXPECT_EQ(kLaunchOk, CHyperlinkStatic::OpenTarget(kTarget));
    ASSERT_EQ(1u, services.Launches().size());
    EXPECT_EQ(QStringLiteral("/opt/web browser/run"), services.Launches()[0].program);
    EXPECT_EQ((QStringList{QStringLiteral("--new-tab"), kTarget}), services.Launches()[0].arguments);
}

TEST_F(OpenTargetTest, ABarePlaceholderIsCutWhereItStands)
{
    Browser("webbrowser -url %1 -other");
    services.QueueShellResult(kNoAssociation);
    CHyperlinkStatic::OpenTarget(kTarget);
    ASSERT_EQ(1u, services.Launches().size());
    EXPECT_EQ(QStringLiteral("webbrowser"), services.Launches()[0].program);
    EXPECT_EQ((QStringList{QStringLiteral("-url"), kTarget}), services.Launches()[0].arguments);
}

TEST_F(OpenTargetTest, WithoutPlaceholderTheTargetFollowsTheWholeLine)
{
    Browser("webbrowser --private");
    services.QueueShellResult(kNoAssociation);
    CHyperlinkStatic::OpenTarget(kTarget);
    ASSERT_EQ(1u, services.Launches().size());
    EXPECT_EQ((QStringList{QStringLiteral("--private"), kTarget}), services.Launches()[0].arguments);
}

TEST_F(OpenTargetTest, TheBrowserVariableUsesItsFirstCommandAndItsOwnPlaceholder)
{
    Browser("firstbrowser --tab \"%s\":secondbrowser");
    services.QueueShellResult(kNoAssociation);
    CHyperlinkStatic::OpenTarget(kTarget);
    ASSERT_EQ(1u, services.Launches().size());
    EXPECT_EQ(QStringLiteral("firstbrowser"), services.Launches()[0].program);
    EXPECT_EQ((QStringList{QStringLiteral("--tab"), kTarget}), services.Launches()[0].arguments);
}

TEST_F(OpenTargetTest, AFirstQuotedPlaceholderWinsOverAnEarlierBareOne)
{
    EXPECT_EQ(QStringLiteral("b %1 "), CHyperlinkStatic::CutBrowserCommand(QStringLiteral("b %1 \"%1\"")));
}

TEST_F(OpenTargetTest, ACommandOfOnlyThePlaceholderNeverStartsTheTarget)
{
    Browser("\"%1\"");
    services.QueueShellResult(kNoAssociation);
    EXPECT_EQ(kNoAssociation, CHyperlinkStatic::OpenTarget(kTarget));
    EXPECT_TRUE(services.Launches().empty());
}

TEST_F(OpenTargetTest, WithoutABrowserTheHandlersCodeIsTheResult)
{
    QTemporaryDir emptyDir;
    ASSERT_TRUE(emptyDir.isValid());
    browser.emplace("BROWSER", std::nullopt);
    const ScopedEnv path("PATH", emptyDir.path().toLocal8Bit());
    services.QueueShellResult(kNoAssociation);
    EXPECT_EQ(kNoAssociation, CHyperlinkStatic::OpenTarget(kTarget));
    EXPECT_TRUE(services.Launches().empty());
}

TEST_F(OpenTargetTest, AnEmptyTargetStartsNoBrowser)
{
    Browser("testbrowser");
    services.QueueShellResult(2);
    EXPECT_EQ(2, CHyperlinkStatic::OpenTarget(QString()));
    EXPECT_TRUE(services.Launches().empty());
}

TEST_F(OpenTargetTest, AResultOf32IsAFailureWithItsOwnText)
{
    Browser("testbrowser");
    services.QueueShellResult(kNoAssociation);
    services.QueueLaunchResult(32);
    CHyperlinkStatic windowless;
    windowless.SetLinkTarget(kTarget);
    windowless.OnClicked();
    EXPECT_FALSE(windowless.IsVisited());
    EXPECT_EQ(QStringList{QStringLiteral("Unable to open hyperlink:\n\n"
                                         "The specified dynamic-link library was not found.")},
              services.MessageBoxTexts());
}

TEST_F(OpenTargetTest, CodesOutsideTheTableAreUnknownErrors)
{
    EXPECT_EQ(QStringLiteral("Unknown Error (1) occurred."), CHyperlinkStatic::FailureText(1));
    EXPECT_EQ(QStringLiteral("Unknown Error (-7) occurred."), CHyperlinkStatic::FailureText(-7));
    EXPECT_EQ(QStringLiteral("The operating system is out\nof memory or resources."),
              CHyperlinkStatic::FailureText(0));
    EXPECT_EQ(QStringLiteral("There is no application associated\nwith the given filename extension."),
              CHyperlinkStatic::FailureText(31));
}

TEST_F(OpenTargetTest, AWindowlessLinkOpensItsTargetAndShowsNothingOfItsOwn)
{
    Browser("testbrowser");
    CHyperlinkStatic windowless;
    windowless.SetLinkTarget(kTarget);
    windowless.OnClicked();
    EXPECT_EQ(QStringList{kTarget}, services.ShellTargets());
    EXPECT_TRUE(windowless.IsVisited());
    EXPECT_TRUE(windowless.text().isEmpty());
    EXPECT_TRUE(windowless.toolTip().isEmpty());
    EXPECT_FALSE(windowless.isVisible());
    EXPECT_EQ(0, windowless.PaintCount());
    EXPECT_TRUE(services.Beeps().empty());
}

TEST_F(OpenTargetTest, AWindowlessLinkReportsFailuresLikeAnyOther)
{
    Browser("testbrowser");
    services.QueueShellResult(kNoAssociation);
    services.QueueLaunchResult(2);
    CHyperlinkStatic windowless;
    windowless.SetLinkTarget(kTarget);
    windowless.OnClicked();
    EXPECT_EQ(std::vector<UINT>{MB_ICONEXCLAMATION}, services.Beeps());
    EXPECT_EQ(QStringList{QStringLiteral("Unable to open hyperlink:\n\nThe specified file was not found.")},
              services.MessageBoxTexts());
}

}  // namespace
