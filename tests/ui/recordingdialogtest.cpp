#include <QCheckBox>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include "tests/support/scriptedservices.h"
#include "ui/recordingdialog.h"

namespace {

class RecordingDialogTest : public ::testing::Test {
protected:
    template <typename T>
    T* Control(const char* name)
    {
        T* control = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(nullptr, control) << name;
        return control;
    }

    bool Enabled(const char* name) { return Control<QWidget>(name)->isEnabled(); }

    // The ten controls of the text log: everything but its own check box.
    std::vector<bool> TextGroupEnabled()
    {
        std::vector<bool> states;
        for (const char* name : {"textBrowseButton", "tabRadio", "commaRadio", "semicolonRadio",
                                 "textPathEdit", "textFileLabel", "separatorLabel", "commentCheck",
                                 "serialNumberCheck", "commentEdit"})
            states.push_back(Enabled(name));
        return states;
    }

    void LoseFocus(const char* name)
    {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(Control<QWidget>(name), &out);
    }

    QTime Picker() { return Control<QTimeEdit>("intervalEdit")->time(); }

    CScriptedServices services;
    CRecordingDialog dialog;
};

TEST_F(RecordingDialogTest, InitialisationShowsTheMembers)
{
    dialog.m_bFileLog = 1;
    dialog.m_bFileLogBin = 1;
    dialog.m_bCheckComment = 1;
    dialog.m_bCheckCommentSn = 1;
    dialog.m_strComment = QStringLiteral("pierwsza\r\ndruga");
    dialog.m_nInterval = 3725;
    dialog.m_nSepFormat = 1;
    dialog.m_strFileName = QStringLiteral("/dane/pomiary.csv");
    dialog.m_strFileNameBin = QStringLiteral("/dane/pomiary.vrd");
    dialog.OnInitDialog();

    EXPECT_EQ(QStringLiteral("Rejestracja do pliku"), dialog.windowTitle());
    EXPECT_TRUE(Control<QCheckBox>("textLogCheck")->isChecked());
    EXPECT_TRUE(Control<QCheckBox>("binaryLogCheck")->isChecked());
    EXPECT_TRUE(Control<QCheckBox>("commentCheck")->isChecked());
    EXPECT_TRUE(Control<QCheckBox>("serialNumberCheck")->isChecked());
    EXPECT_EQ(std::vector<bool>(10, true), TextGroupEnabled());
    EXPECT_TRUE(Enabled("binaryPathEdit"));
    EXPECT_EQ(QStringLiteral("pierwsza\ndruga"), Control<QPlainTextEdit>("commentEdit")->toPlainText());
    EXPECT_EQ(QTime(1, 2, 5), Picker());
    EXPECT_FALSE(Control<QRadioButton>("tabRadio")->isChecked());
    EXPECT_TRUE(Control<QRadioButton>("commaRadio")->isChecked());
    EXPECT_EQ(QStringLiteral("/dane/pomiary.csv"), Control<QLineEdit>("textPathEdit")->text());
    EXPECT_EQ(QStringLiteral("/dane/pomiary.vrd"), Control<QLineEdit>("binaryPathEdit")->text());
}

TEST_F(RecordingDialogTest, LogsSwitchedOffDisableTheirControls)
{
    dialog.m_bCheckComment = 1;
    dialog.m_nSepFormat = 7;
    dialog.OnInitDialog();
    EXPECT_EQ(std::vector<bool>(10, false), TextGroupEnabled());
    EXPECT_FALSE(Enabled("binaryBrowseButton"));
    EXPECT_FALSE(Enabled("binaryPathEdit"));
    EXPECT_FALSE(Enabled("binaryFileLabel"));
    // The interval is never disabled.
    EXPECT_TRUE(Enabled("intervalEdit"));
    EXPECT_TRUE(Enabled("intervalLabel"));
    // An unknown separator code checks no button.
    for (const char* radio : {"tabRadio", "commaRadio", "semicolonRadio"})
        EXPECT_FALSE(Control<QRadioButton>(radio)->isChecked()) << radio;
}

TEST_F(RecordingDialogTest, TheCommentControlsFollowTheCommentCheckBox)
{
    dialog.OnInitDialog();
    Control<QCheckBox>("textLogCheck")->click();
    EXPECT_EQ(1, dialog.m_bFileLog);
    // Switched on with the comment off: the comment box and its check stay off.
    EXPECT_EQ((std::vector<bool>{true, true, true, true, true, true, true, true, false, false}),
              TextGroupEnabled());
    Control<QCheckBox>("commentCheck")->click();
    EXPECT_EQ(1, dialog.m_bCheckComment);
    EXPECT_EQ(std::vector<bool>(10, true), TextGroupEnabled());
    Control<QCheckBox>("textLogCheck")->click();
    EXPECT_EQ(0, dialog.m_bFileLog);
    EXPECT_EQ(std::vector<bool>(10, false), TextGroupEnabled());
    // Back on: the comment check box is still checked, so all ten come back.
    Control<QCheckBox>("textLogCheck")->click();
    EXPECT_EQ(std::vector<bool>(10, true), TextGroupEnabled());

    Control<QCheckBox>("binaryLogCheck")->click();
    EXPECT_EQ(1, dialog.m_bFileLogBin);
    EXPECT_TRUE(Enabled("binaryPathEdit"));
    EXPECT_TRUE(Enabled("binaryBrowseButton"));
    Control<QCheckBox>("binaryLogCheck")->click();
    EXPECT_EQ(0, dialog.m_bFileLogBin);
    EXPECT_FALSE(Enabled("binaryBrowseButton"));
}

TEST_F(RecordingDialogTest, SeparatorButtonsSetTheCode)
{
    dialog.m_bFileLog = 1;
    dialog.OnInitDialog();
    Control<QRadioButton>("semicolonRadio")->click();
    EXPECT_EQ(2, dialog.m_nSepFormat);
    Control<QRadioButton>("commaRadio")->click();
    EXPECT_EQ(1, dialog.m_nSepFormat);
    EXPECT_FALSE(Control<QRadioButton>("semicolonRadio")->isChecked());
    Control<QRadioButton>("tabRadio")->click();
    EXPECT_EQ(0, dialog.m_nSepFormat);
}

TEST_F(RecordingDialogTest, TheIntervalIsTakenWhenThePickerLosesTheFocus)
{
    dialog.m_nInterval = 60;
    dialog.OnInitDialog();
    Control<QTimeEdit>("intervalEdit")->setTime(QTime(1, 30, 0));
    EXPECT_EQ(60, dialog.m_nInterval);
    LoseFocus("intervalEdit");
    EXPECT_EQ(5400, dialog.m_nInterval);

    Control<QTimeEdit>("intervalEdit")->setTime(QTime(0, 0, 0));
    LoseFocus("intervalEdit");
    EXPECT_EQ(1, dialog.m_nInterval);
    EXPECT_EQ(QTime(0, 0, 1), Picker());

    Control<QTimeEdit>("intervalEdit")->setTime(QTime(23, 59, 59));
    LoseFocus("intervalEdit");
    EXPECT_EQ(86399, dialog.m_nInterval);
}

TEST_F(RecordingDialogTest, TypedPathsAreTakenOnFocusLossAndOnOk)
{
    dialog.m_bFileLog = 1;
    dialog.m_bFileLogBin = 1;
    dialog.OnInitDialog();
    Control<QLineEdit>("textPathEdit")->setText(QStringLiteral("/dane/a.txt"));
    EXPECT_TRUE(dialog.m_strFileName.isEmpty());
    LoseFocus("textPathEdit");
    EXPECT_EQ(QStringLiteral("/dane/a.txt"), dialog.m_strFileName);
    Control<QLineEdit>("binaryPathEdit")->setText(QStringLiteral("/dane/a.vrd"));
    LoseFocus("binaryPathEdit");
    EXPECT_EQ(QStringLiteral("/dane/a.vrd"), dialog.m_strFileNameBin);

    // Enter in a box accepts the dialog while the box keeps the focus.
    Control<QLineEdit>("textPathEdit")->setText(QStringLiteral("/dane/b.txt"));
    Control<QTimeEdit>("intervalEdit")->setTime(QTime(0, 2, 0));
    dialog.OnOK();
    EXPECT_EQ(QStringLiteral("/dane/b.txt"), dialog.m_strFileName);
    EXPECT_EQ(120, dialog.m_nInterval);
}

TEST_F(RecordingDialogTest, OkTakesTheCommentLinesAndTheSerialNumberSwitch)
{
    dialog.m_bFileLog = 1;
    dialog.m_bCheckComment = 1;
    QTimer::singleShot(0, &dialog, [this] {
        Control<QPlainTextEdit>("commentEdit")->setPlainText(QStringLiteral("hala 3\nprzy oknie"));
        Control<QCheckBox>("serialNumberCheck")->click();
        Control<QPushButton>("okButton")->click();
    });
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(QStringLiteral("hala 3\r\nprzy oknie"), dialog.m_strComment);
    EXPECT_EQ(1, dialog.m_bCheckCommentSn);
}

TEST_F(RecordingDialogTest, AnulujEndsWithCancel)
{
    QTimer::singleShot(0, &dialog, [this] { Control<QPushButton>("cancelButton")->click(); });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
}

TEST_F(RecordingDialogTest, TextFileChooserAddsTheExtensionOfTheSelectedFilter)
{
    dialog.m_bFileLog = 1;
    dialog.OnInitDialog();
    services.QueueFileChoice(QStringLiteral("/dane/lista"), 2);
    services.QueueFileChoice(QStringLiteral("/dane/raport"), 1);
    services.QueueFileChoice(QStringLiteral("/dane/raport.dat"), 2);
    services.QueueFileCancel();

    Control<QPushButton>("textBrowseButton")->click();
    EXPECT_EQ(QStringLiteral("/dane/lista.csv"), dialog.m_strFileName);
    EXPECT_EQ(QStringLiteral("/dane/lista.csv"), Control<QLineEdit>("textPathEdit")->text());
    Control<QPushButton>("textBrowseButton")->click();
    EXPECT_EQ(QStringLiteral("/dane/raport.txt"), dialog.m_strFileName);
    Control<QPushButton>("textBrowseButton")->click();
    EXPECT_EQ(QStringLiteral("/dane/raport.dat"), dialog.m_strFileName);
    Control<QPushButton>("textBrowseButton")->click();   // cancelled
    EXPECT_EQ(QStringLiteral("/dane/raport.dat"), dialog.m_strFileName);

    ASSERT_EQ(4u, services.FileRequests().size());
    const FileChooserRequest& request = services.FileRequests()[0];
    EXPECT_EQ(QStringLiteral("Wybierz plik raportu"), request.title);
    EXPECT_EQ(QStringLiteral("Plik tekstowy (*.txt)|*.txt|Lista CSV (*.csv)|*.csv||"), request.filter);
    EXPECT_EQ(QStringLiteral("csv"), request.defaultExtension);
    EXPECT_EQ(1, request.filterIndex);
    EXPECT_TRUE(request.overwritePrompt);
}

TEST_F(RecordingDialogTest, BinaryFileChooserAddsVrd)
{
    dialog.m_bFileLogBin = 1;
    dialog.OnInitDialog();
    services.QueueFileChoice(QStringLiteral("/dane/wykres"), 1);
    services.QueueFileChoice(QStringLiteral("/dane/wykres.bin"), 1);
    Control<QPushButton>("binaryBrowseButton")->click();
    EXPECT_EQ(QStringLiteral("/dane/wykres.vrd"), dialog.m_strFileNameBin);
    EXPECT_EQ(QStringLiteral("/dane/wykres.vrd"), Control<QLineEdit>("binaryPathEdit")->text());
    Control<QPushButton>("binaryBrowseButton")->click();
    EXPECT_EQ(QStringLiteral("/dane/wykres.bin"), dialog.m_strFileNameBin);

    ASSERT_EQ(2u, services.FileRequests().size());
    const FileChooserRequest& request = services.FileRequests()[0];
    EXPECT_EQ(QStringLiteral("Wybierz plik binarny"), request.title);
    EXPECT_EQ(QStringLiteral("Plik binarny (*.vrd)|*.vrd||"), request.filter);
    EXPECT_EQ(QStringLiteral("vrd"), request.defaultExtension);
    EXPECT_EQ(1, request.filterIndex);
    EXPECT_TRUE(request.overwritePrompt);
}

} // namespace
