#include <gtest/gtest.h>

#include "tests/support/scriptedservices.h"

namespace {

TEST(ScriptedServices, InstallsItselfAndRestoresThePreviousServices)
{
    IServices* before = &Services();
    {
        CScriptedServices outer;
        EXPECT_EQ(&Services(), &outer);
        {
            CScriptedServices inner;
            EXPECT_EQ(&Services(), &inner);
        }
        EXPECT_EQ(&Services(), &outer);
    }
    EXPECT_EQ(&Services(), before);
}

TEST(ScriptedServices, UnexpectedMessageBoxesGetDefaultsAndAreRecorded)
{
    CScriptedServices services;
    services.QueueMessageBoxAnswer(IDYES);
    EXPECT_EQ(Services().MessageBox("pierwsze", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(Services().MessageBox("drugie", MB_YESNO), IDNO);
    EXPECT_EQ(Services().MessageBox("trzecie", MB_ICONEXCLAMATION), IDOK);
    ASSERT_EQ(services.MessageBoxes().size(), 3u);
    EXPECT_TRUE(services.MessageBoxes()[0].scripted);
    EXPECT_FALSE(services.MessageBoxes()[1].scripted);
    EXPECT_EQ(services.MessageBoxes()[2].type, MB_ICONEXCLAMATION);
    EXPECT_EQ(services.MessageBoxTexts(), QStringList({"pierwsze", "drugie", "trzecie"}));
    EXPECT_EQ(services.UnusedAnswers(), 0);
}

TEST(ScriptedServices, AnswersGoToBoxesInTheOrderTheyOpen)
{
    CScriptedServices services;
    services.QueueMessageBoxAnswer(IDYES);
    services.QueueMessageBoxAnswer(IDOK);
    int innerAnswer = 0;
    services.SetMessageBoxHook([&](const QString& text, UINT) {
        if (text == "zewnętrzne")
            innerAnswer = Services().MessageBox("wewnętrzne", MB_OK);
    });
    EXPECT_EQ(Services().MessageBox("zewnętrzne", MB_YESNO), IDYES);
    EXPECT_EQ(innerAnswer, IDOK);
    EXPECT_EQ(services.MessageBoxTexts(), QStringList({"zewnętrzne", "wewnętrzne"}));
}

TEST(ScriptedServices, ChoosersAnswerFromTheirQueuesThenCancel)
{
    CScriptedServices services;
    services.QueueFileChoice("/tmp/pomiary", 2);
    FileChooserRequest request;
    request.title = "Wybierz plik raportu";
    FileChooserResult result;
    ASSERT_TRUE(Services().ChooseOpenFile(request, result));
    EXPECT_EQ(result.path, "/tmp/pomiary");
    EXPECT_EQ(result.filterIndex, 2);
    EXPECT_EQ(result.extensionOffset, 0);
    EXPECT_FALSE(Services().ChooseOpenFile(request, result));
    EXPECT_EQ(services.FileRequests().size(), 2u);

    services.QueueColor(RGB(1, 2, 3));
    COLORREF color = RGB(9, 9, 9);
    EXPECT_TRUE(Services().ChooseColor(color));
    EXPECT_EQ(color, RGB(1, 2, 3));
    EXPECT_FALSE(Services().ChooseColor(color));
    EXPECT_EQ(services.ColorRequests(), std::vector<COLORREF>({RGB(9, 9, 9), RGB(1, 2, 3)}));
}

TEST(ScriptedServices, ClockGivesTheTimeSetWithItsDayOfWeek)
{
    CScriptedServices services;
    services.SetLocalTime(2024, 3, 5, 7, 8, 9);
    const SYSTEMTIME time = Services().GetLocalTime();
    EXPECT_EQ(time.wYear, 2024);
    EXPECT_EQ(time.wDay, 5);
    EXPECT_EQ(time.wSecond, 9);
    EXPECT_EQ(time.wDayOfWeek, 2);   // a Tuesday
}

}  // namespace
