#include <QFile>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <deque>
#include <unistd.h>

#include "device/framedecoder.h"
#include "platform/dialog.h"
#include "platform/timerids.h"
#include "recording/binarylog.h"
#include "recording/vrdreader.h"
#include "tests/recording/logtestsupport.h"
#include "tests/support/faketimerhost.h"
#include "tests/support/scriptedservices.h"
#include "meter/displaystate.h"
#include "ui/recordingcontroller.h"
#include "ui/recordingdialog.h"

namespace {

const QByteArray kHeaderHpa("Data i Godzina\tCi\x9Cnienie hPa\r\n");
const QString kMessage106 = QStringLiteral("Wybrany plik rejestracji wyników pomiaru jest niedostępny.");
const QString kMessage107 = QStringLiteral("Wybrany plik binarny jest niedostępny.");
// The reason under the message, on a line of its own.
const QString kNoFolder = QStringLiteral("\nPowód: folder nie istnieje.");
const QString kLocked = QStringLiteral("\nPowód: plik jest otwarty do zapisu przez inny program.");

// What the dialog showed when it ran.
struct Shown {
    int bFileLog, bFileLogBin, nSepFormat, nInterval;
    QString strFileName, strFileNameBin;
};

// The main window's side, faked: a display and a decoder that the test sets,
// timers that only record, a status line that counts its rebuilds, and a
// dialog run by a script instead of the user.
class RecordingControllerTest : public ::testing::Test {
protected:
    RecordingControllerTest()
        : controller(timers, display, decoder, [this] { ++statusRebuilds; },
                     [this](bool enable) { commandEnabled.push_back(enable); }, nullptr,
                     [this](CRecordingDialog& dialog) {
                         shown.push_back({dialog.m_bFileLog, dialog.m_bFileLogBin, dialog.m_nSepFormat,
                                          dialog.m_nInterval, dialog.m_strFileName, dialog.m_strFileNameBin});
                         if (script.empty()) {
                             ADD_FAILURE() << "the dialog ran once more than the test expected";
                             return IDCANCEL;
                         }
                         auto step = std::move(script.front());
                         script.pop_front();
                         return step(dialog);
                     })
    {
        services.SetLocalTime(2024, 3, 5, 14, 7, 9);
        given.interval = 1;
    }

    void Accept(std::function<void(CRecordingDialog&)> edit)
    {
        script.push_back([edit](CRecordingDialog& dialog) {
            edit(dialog);
            return IDOK;
        });
    }
    void Cancel() { script.push_back([](CRecordingDialog&) { return IDCANCEL; }); }

    // A valid reading from instrument 1234, as Refresh leaves the display.
    void Reading(double value, bool pascals = false)
    {
        decoder.m_bUnitPa = pascals ? 2 : 0;
        decoder.m_nSerialNumber = 1234;
        display.SetValue(value);
        display.SetBlinking(false);
    }
    void CommunicationLost()
    {
        display.SetNoValue();
        display.SetBlinking(true);
    }

    // Recording into both files, started from the command on new files.
    void StartBoth(int interval = 10)
    {
        Accept([&, interval](CRecordingDialog& d) {
            d.m_bFileLog = 1;
            d.m_bFileLogBin = 1;
            d.m_strFileName = textPath;
            d.m_strFileNameBin = binaryPath;
            d.m_nInterval = interval;
        });
        controller.OnRecordingSettings();
    }

    QStringList Messages() const { return services.MessageBoxTexts(); }

    CScriptedServices services;
    CFakeTimerHost timers;
    CDisplayState display;
    CFrameDecoder decoder;
    int statusRebuilds = 0;
    std::vector<bool> commandEnabled;
    std::deque<std::function<int(CRecordingDialog&)>> script;
    std::vector<Shown> shown;
    CScratchFolder folder;
    QString textPath = folder.Path(QStringLiteral("pomiary.txt"));
    QString binaryPath = folder.Path(QStringLiteral("pomiary.vrd"));
    RecordingSettings given;   // what the settings file gives at start-up
    CRecordingController controller;
};

TEST_F(RecordingControllerTest, StartingFromTheCommandWritesCommentHeaderAndRecords)
{
    Reading(1013.2);
    Accept([&](CRecordingDialog& d) {
        d.m_bFileLog = 1;
        d.m_bFileLogBin = 1;
        d.m_strFileName = textPath;
        d.m_strFileNameBin = binaryPath;
        d.m_bCheckComment = 1;
        d.m_bCheckCommentSn = 1;
        d.m_strComment = QStringLiteral("Ciśnienie w hali");
        d.m_nInterval = 10;
    });
    controller.OnRecordingSettings();

    EXPECT_TRUE(timers.IsRunning(kRecordingTimerId));
    EXPECT_EQ(10000u, timers.Period(kRecordingTimerId));
    EXPECT_TRUE(controller.Session().IsRecording());
    EXPECT_EQ(QStringLiteral("Rejestracja do pliku co 00:00:10. "), controller.RecordingStatusText());
    EXPECT_EQ(1, statusRebuilds);
    EXPECT_TRUE(Messages().isEmpty());

    CommunicationLost();
    services.SetLocalTime(2024, 3, 5, 14, 7, 19);
    controller.OnRecordingTick();

    EXPECT_EQ(QByteArray("Ci\x9Cnienie w hali\r\nKM-302 nr 1234\r\n") + kHeaderHpa
                  + "2024.03.05 14:07:09\t1013.2\r\n2024.03.05 14:07:19\t???\r\n",
              CScratchFolder::Read(textPath));
    const QByteArray binary = CScratchFolder::Read(binaryPath);
    EXPECT_EQ(QByteArray::fromHex("CED0CECCD0CDD0CBCFCCD0C9D0C7DCCED0D4CFCECDCCD4CEC9D4CFD0CFCDD2CED4CFDCC04539"),
              binary.left(38));
    CVrdReader reader;
    reader.Parse(binary);
    ASSERT_EQ(2u, reader.Records().size());
    EXPECT_FALSE(reader.Records()[1].bValid);
    EXPECT_EQ(19, reader.Records()[1].time.second);
    EXPECT_EQ(0, reader.DamagedStretches());
}

TEST_F(RecordingControllerTest, ABlinkingValueIsRecordedAsNoValue)
{
    // A frame with an error flag: decoded, shown blinking, not recorded.
    StartBoth();
    Reading(1013.2);
    display.SetBlinking(true);
    controller.OnRecordingTick();
    EXPECT_TRUE(CScratchFolder::Read(textPath).endsWith("\t???\r\n"));
    CVrdReader reader;
    reader.Parse(CScratchFolder::Read(binaryPath));
    ASSERT_EQ(2u, reader.Records().size());
    EXPECT_FALSE(reader.Records()[1].bValid);
}

TEST_F(RecordingControllerTest, PascalsGoToTheTextLogAsIsAndToTheBinaryLogAsHectopascals)
{
    Reading(1013.2);
    StartBoth();
    Reading(101325.0, true);
    controller.OnRecordingTick();
    CommunicationLost();
    controller.OnRecordingTick();
    Reading(101330.0, true);
    controller.OnRecordingTick();

    const QByteArray stamp("2024.03.05 14:07:09\t");
    EXPECT_EQ(kHeaderHpa + stamp + "1013.2\r\n" + "Data i Godzina\tCi\x9Cnienie Pa\r\n" + stamp
                  + "101325.0\r\n" + stamp + "???\r\n" + stamp + "101330.0\r\n",
              CScratchFolder::Read(textPath));
    const QByteArray binary = CScratchFolder::Read(binaryPath);
    EXPECT_EQ(QByteArray("20240305140709$20,1234,27,1013.250,1$@\x23\x31"),
              CBinaryLog::Negated(binary.mid(38, 40)));
    CVrdReader reader;
    reader.Parse(binary);
    ASSERT_EQ(4u, reader.Records().size());
    EXPECT_DOUBLE_EQ(1013.3, reader.Records()[3].dPressureHpa);
}

TEST_F(RecordingControllerTest, OnlyTheIntervalAndTheCommentChangedNothingIsReopened)
{
    Reading(1013.2);
    StartBoth(10);
    const QByteArray textBefore = CScratchFolder::Read(textPath);
    const qsizetype binaryBefore = CScratchFolder::Read(binaryPath).size();
    timers.m_calls.clear();

    Accept([](CRecordingDialog& d) {
        d.m_nInterval = 3725;
        d.m_bCheckComment = 1;
        d.m_strComment = QStringLiteral("nowy komentarz");
    });
    controller.OnRecordingSettings();

    EXPECT_TRUE(Messages().isEmpty());   // no question: no file was reopened
    EXPECT_EQ(textBefore + "2024.03.05 14:07:09\t1013.2\r\n", CScratchFolder::Read(textPath));
    EXPECT_EQ(2 * binaryBefore, CScratchFolder::Read(binaryPath).size());
    EXPECT_EQ((std::vector<CFakeTimerHost::Call>{{CFakeTimerHost::Call::Kill, kRecordingTimerId, 0},
                                                 {CFakeTimerHost::Call::Set, kRecordingTimerId, 3725000}}),
              timers.m_calls);
    EXPECT_EQ(QStringLiteral("Rejestracja do pliku co 01:02:05. "), controller.RecordingStatusText());
    EXPECT_EQ(2, statusRebuilds);
}

TEST_F(RecordingControllerTest, OnlyTheSeparatorChangedReopensTheTextLogWithTheQuestion)
{
    Reading(1013.2);
    StartBoth();
    const qsizetype binaryBefore = CScratchFolder::Read(binaryPath).size();

    services.QueueMessageBoxAnswer(IDYES);
    Accept([](CRecordingDialog& d) { d.m_nSepFormat = 2; });
    controller.OnRecordingSettings();

    ASSERT_EQ(1, Messages().size());
    EXPECT_TRUE(Messages()[0].startsWith(QStringLiteral("Plik rejestracji pomiarów już istnieje.")));
    EXPECT_EQ(kHeaderHpa + "2024.03.05 14:07:09\t1013.2\r\n"
                  + "Data i Godzina;Ci\x9Cnienie hPa\r\n2024.03.05 14:07:09;1013.2\r\n",
              CScratchFolder::Read(textPath));
    // The binary log was not reopened; it got its record all the same.
    EXPECT_EQ(2 * binaryBefore, CScratchFolder::Read(binaryPath).size());
    EXPECT_TRUE(timers.IsRunning(kRecordingTimerId));
}

TEST_F(RecordingControllerTest, ReopeningWithAnswerNoEmptiesAndWritesTheCommentWithoutBlankLine)
{
    Reading(1013.2);
    StartBoth();
    services.QueueMessageBoxAnswer(IDNO);
    Accept([](CRecordingDialog& d) {
        d.m_nSepFormat = 1;
        d.m_bCheckComment = 1;
        d.m_strComment = QStringLiteral("seria 2");
    });
    controller.OnRecordingSettings();
    EXPECT_EQ(QByteArray("seria 2\r\nData i Godzina,Ci\x9Cnienie hPa\r\n2024.03.05 14:07:09,1013.2\r\n"),
              CScratchFolder::Read(textPath));
}

TEST_F(RecordingControllerTest, BothLogsOffStopsTheTimerAndClosesTheFiles)
{
    StartBoth();
    timers.m_calls.clear();
    Accept([](CRecordingDialog& d) {
        d.m_bFileLog = 0;
        d.m_bFileLogBin = 0;
    });
    controller.OnRecordingSettings();

    EXPECT_FALSE(timers.IsRunning(kRecordingTimerId));
    EXPECT_FALSE(controller.Session().IsRecording());
    EXPECT_FALSE(controller.Session().TextLog().IsOpen());
    EXPECT_FALSE(controller.Session().BinaryLog().IsOpen());
    EXPECT_TRUE(controller.RecordingStatusText().isEmpty());
    EXPECT_EQ(2, statusRebuilds);
    // Closed for real: another program may take the files now.
    CForeignLock text(textPath);
    CForeignLock binary(binaryPath);
    EXPECT_TRUE(text.IsHeld());
    EXPECT_TRUE(binary.IsHeld());
}

TEST_F(RecordingControllerTest, OneLogOffKeepsRecordingIntoTheOther)
{
    StartBoth(5);
    const QByteArray text = CScratchFolder::Read(textPath);
    Accept([](CRecordingDialog& d) { d.m_bFileLog = 0; });
    controller.OnRecordingSettings();
    EXPECT_FALSE(controller.Session().TextLog().IsOpen());
    EXPECT_TRUE(controller.Session().BinaryLog().IsOpen());
    EXPECT_TRUE(timers.IsRunning(kRecordingTimerId));
    EXPECT_TRUE(controller.Session().IsRecording());
    controller.OnRecordingTick();
    EXPECT_EQ(text, CScratchFolder::Read(textPath));
    CVrdReader reader;
    reader.Parse(CScratchFolder::Read(binaryPath));
    EXPECT_EQ(3u, reader.Records().size());
}

TEST_F(RecordingControllerTest, ADialogCancelledAtOnceOnlySwitchesOffLogsThatAreNotOpen)
{
    // At start-up the binary log opened; the text log was on with no path.
    given.fileLog = 1;
    given.fileLogBin = 1;
    given.fileNameBin = binaryPath;
    given.interval = 30;
    controller.SetSettings(given);
    controller.OpenAtStartup();
    ASSERT_TRUE(controller.Session().BinaryLog().IsOpen());
    const int rebuilds = statusRebuilds;
    timers.m_calls.clear();

    Cancel();
    controller.OnRecordingSettings();

    EXPECT_EQ(0, controller.Settings().fileLog);
    EXPECT_EQ(1, controller.Settings().fileLogBin);
    EXPECT_TRUE(controller.Session().BinaryLog().IsOpen());
    EXPECT_TRUE(timers.m_calls.empty());
    EXPECT_EQ(30, controller.Settings().interval);
    EXPECT_EQ(rebuilds + 1, statusRebuilds);
    EXPECT_EQ(QStringLiteral("Rejestracja do pliku co 00:00:30. "), controller.RecordingStatusText());
}

TEST_F(RecordingControllerTest, AnEmptyPathFailsThenTheDialogAgainAndAnulujSwitchesTheLogOff)
{
    Accept([](CRecordingDialog& d) { d.m_bFileLog = 1; });
    Cancel();
    controller.OnRecordingSettings();

    ASSERT_EQ(1u, services.MessageBoxes().size());
    EXPECT_EQ(kMessage106, services.MessageBoxes()[0].text);
    EXPECT_EQ(MB_OK | MB_ICONEXCLAMATION, services.MessageBoxes()[0].type);
    ASSERT_EQ(2u, shown.size());
    EXPECT_EQ(1, shown[1].bFileLog);   // the settings just accepted
    EXPECT_EQ(0, controller.Settings().fileLog);
    EXPECT_FALSE(timers.IsRunning(kRecordingTimerId));
    EXPECT_TRUE(controller.RecordingStatusText().isEmpty());
    EXPECT_EQ(2, statusRebuilds);
}

TEST_F(RecordingControllerTest, ALockedFileFailsAndTheDialogShowsItsPathForAnotherChoice)
{
    CForeignLock other(textPath);
    ASSERT_TRUE(other.IsHeld());
    const QString otherPath = folder.Path(QStringLiteral("inny.txt"));
    Accept([&](CRecordingDialog& d) {
        d.m_bFileLog = 1;
        d.m_bFileLogBin = 1;
        d.m_strFileName = textPath;
        d.m_strFileNameBin = binaryPath;
    });
    script.push_back([&](CRecordingDialog& d) {
        d.OnInitDialog();
        EXPECT_EQ(textPath, d.findChild<QLineEdit*>(QStringLiteral("textPathEdit"))->text());
        d.findChild<QLineEdit*>(QStringLiteral("textPathEdit"))->setText(otherPath);
        d.OnOK();
        return IDOK;
    });
    controller.OnRecordingSettings();

    // The binary log opened and recorded at the first run, and was kept open by the second.
    EXPECT_EQ((QStringList{kMessage106 + kLocked}), Messages());
    EXPECT_EQ(otherPath, controller.Settings().fileName);
    EXPECT_TRUE(controller.Session().TextLog().IsOpen());
    EXPECT_TRUE(controller.Session().BinaryLog().IsOpen());
    EXPECT_EQ(kHeaderHpa + "2024.03.05 14:07:09\t???\r\n", CScratchFolder::Read(otherPath));
    EXPECT_EQ(36, CScratchFolder::Read(binaryPath).size());
    EXPECT_TRUE(timers.IsRunning(kRecordingTimerId));
    EXPECT_EQ(2, statusRebuilds);
}

TEST_F(RecordingControllerTest, ABinaryFileInAMissingFolderGives107)
{
    Accept([&](CRecordingDialog& d) {
        d.m_bFileLogBin = 1;
        d.m_strFileNameBin = folder.Path(QStringLiteral("brak/wykres.vrd"));
    });
    Cancel();
    controller.OnRecordingSettings();
    EXPECT_EQ((QStringList{kMessage107 + kNoFolder}), Messages());
    EXPECT_EQ(0, controller.Settings().fileLogBin);
    EXPECT_EQ(2u, shown.size());
}

TEST_F(RecordingControllerTest, StartupAppendsWithoutQuestionOrCommentAndEnablesTheCommand)
{
    CScratchFolder::Write(textPath, "wczoraj\r\n");
    given.fileLog = 1;
    given.fileName = textPath;
    given.checkComment = 1;
    given.checkCommentSn = 1;
    given.interval = 60;
    Reading(1013.2);
    controller.SetSettings(given);
    controller.OpenAtStartup();

    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(QByteArray("wczoraj\r\n") + kHeaderHpa + "2024.03.05 14:07:09\t1013.2\r\n",
              CScratchFolder::Read(textPath));
    EXPECT_EQ((std::vector<CFakeTimerHost::Call>{{CFakeTimerHost::Call::Kill, kOpenLogsTimerId, 0},
                                                 {CFakeTimerHost::Call::Set, kRecordingTimerId, 60000}}),
              timers.m_calls);
    EXPECT_EQ(std::vector<bool>{true}, commandEnabled);
    EXPECT_EQ(QStringLiteral("Rejestracja do pliku co 00:01:00. "), controller.RecordingStatusText());
}

TEST_F(RecordingControllerTest, StartupFailureRunsTheCommandWhichOpensBothLogs)
{
    given.fileLog = 1;
    given.fileName = folder.Path(QStringLiteral("brak/pomiary.txt"));
    given.fileLogBin = 1;
    given.fileNameBin = binaryPath;
    // The binary log records before the message and the dialog wait for the user.
    bool recordingWhileAsked = false;
    services.SetMessageBoxHook([&](const QString&, UINT) {
        recordingWhileAsked = timers.IsRunning(kRecordingTimerId) && controller.Session().BinaryLog().IsOpen();
    });
    Accept([&](CRecordingDialog& d) { d.m_strFileName = textPath; });
    controller.SetSettings(given);
    controller.OpenAtStartup();

    EXPECT_EQ((QStringList{kMessage106 + kNoFolder}), Messages());
    EXPECT_TRUE(recordingWhileAsked);
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ(folder.Path(QStringLiteral("brak/pomiary.txt")), shown[0].strFileName);
    EXPECT_TRUE(controller.Session().TextLog().IsOpen());
    EXPECT_TRUE(controller.Session().BinaryLog().IsOpen());
    // A record at start-up and one from the command, which kept the binary log open.
    CVrdReader reader;
    reader.Parse(CScratchFolder::Read(binaryPath));
    EXPECT_EQ(2u, reader.Records().size());
    EXPECT_TRUE(timers.IsRunning(kRecordingTimerId));
    EXPECT_EQ(std::vector<bool>{true}, commandEnabled);
}

TEST_F(RecordingControllerTest, StartupFailureCancelledSwitchesOffOnlyTheLogThatDidNotOpen)
{
    given.fileLog = 1;
    given.fileName = folder.Path(QStringLiteral("brak/pomiary.txt"));
    given.fileLogBin = 1;
    given.fileNameBin = binaryPath;
    Cancel();
    controller.SetSettings(given);
    controller.OpenAtStartup();

    EXPECT_EQ((QStringList{kMessage106 + kNoFolder}), Messages());
    EXPECT_EQ(0, controller.Settings().fileLog);
    EXPECT_EQ(1, controller.Settings().fileLogBin);
    EXPECT_TRUE(controller.Session().BinaryLog().IsOpen());
    EXPECT_TRUE(timers.IsRunning(kRecordingTimerId));
    EXPECT_EQ(std::vector<bool>{true}, commandEnabled);
}

TEST_F(RecordingControllerTest, AStopRequestClosingTheDialogAfter106KeepsTheSettings)
{
    const QString missing = folder.Path(QStringLiteral("brak/pomiary.txt"));
    given.fileLog = 1;
    given.fileName = missing;
    script.push_back([](CRecordingDialog& dialog) {
        QTimer::singleShot(0, [] { CDialog::CancelAllModal(); });
        return dialog.DoModal();
    });
    controller.SetSettings(given);
    controller.OpenAtStartup();

    EXPECT_EQ((QStringList{kMessage106 + kNoFolder}), Messages());
    EXPECT_EQ(1u, shown.size());
    EXPECT_EQ(1, controller.Settings().fileLog);
    EXPECT_EQ(missing, controller.Settings().fileName);
}

TEST_F(RecordingControllerTest, StartupWithoutPathsOpensNothingButEnablesTheCommand)
{
    given.fileLog = 1;
    given.fileLogBin = 1;
    controller.SetSettings(given);
    controller.OpenAtStartup();
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_FALSE(timers.IsRunning(kRecordingTimerId));
    EXPECT_EQ(std::vector<bool>{true}, commandEnabled);
    EXPECT_TRUE(controller.RecordingStatusText().isEmpty());
}

TEST_F(RecordingControllerTest, AFullDiskShowsOneMessageAtATimeAndTheOtherLogCarriesOn)
{
    const QString full = folder.Path(QStringLiteral("pelny.txt"));
    ASSERT_EQ(0, ::symlink("/dev/full", QFile::encodeName(full).constData()));
    given.fileLog = 1;
    given.fileName = full;
    given.fileLogBin = 1;
    given.fileNameBin = binaryPath;
    given.interval = 1;

    // The box waits for nothing else: the timer runs and the binary log has its record.
    bool recordingWhileShown = false;
    services.SetMessageBoxHook([&](const QString&, UINT) {
        recordingWhileShown = timers.IsRunning(kRecordingTimerId) && CScratchFolder::Read(binaryPath).size() == 18;
    });
    controller.SetSettings(given);
    controller.OpenAtStartup();
    EXPECT_TRUE(recordingWhileShown);
    ASSERT_EQ(1u, services.MessageBoxes().size());
    EXPECT_EQ(MB_OK | MB_ICONSTOP, services.MessageBoxes()[0].type);
    EXPECT_EQ(QStringLiteral("Błąd zapisu do pliku %1:\nbrak miejsca na dysku.").arg(full),
              services.MessageBoxes()[0].text);
    EXPECT_TRUE(controller.Session().TextLog().IsOpen());
    EXPECT_TRUE(controller.Session().BinaryLog().IsOpen());
    EXPECT_TRUE(timers.IsRunning(kRecordingTimerId));
    EXPECT_EQ(std::vector<bool>{true}, commandEnabled);

    // While the next message is open, ticks keep coming every second.
    bool messageOpen = false;
    services.SetMessageBoxHook([&](const QString&, UINT) {
        if (messageOpen)
            return;
        messageOpen = true;
        for (int tick = 0; tick < 5; ++tick)
            controller.OnRecordingTick();
        messageOpen = false;
    });
    controller.OnRecordingTick();
    EXPECT_EQ(2u, services.MessageBoxes().size());
    CVrdReader reader;
    reader.Parse(CScratchFolder::Read(binaryPath));
    EXPECT_EQ(7u, reader.Records().size());   // start-up, the tick, five ticks meanwhile

    // Once it is closed, the next failing tick may tell the user again.
    controller.OnRecordingTick();
    EXPECT_EQ(3u, services.MessageBoxes().size());
}

TEST_F(RecordingControllerTest, ADiskFillingMidRecordLeavesNoTornRecordAndOneMessage)
{
    given.fileLog = 1;
    given.fileName = textPath;
    controller.SetSettings(given);
    controller.OpenAtStartup();
    const QByteArray before = CScratchFolder::Read(textPath);
    ASSERT_FALSE(before.isEmpty());

    const int result = RunInChild([&] {
        if (!LimitFileSize(static_cast<rlim_t>(before.size()) + 12))
            return 10;
        services.SetMessageBoxHook([&](const QString&, UINT) {
            for (int tick = 0; tick < 3; ++tick)
                controller.OnRecordingTick();
        });
        controller.OnRecordingTick();
        if (services.MessageBoxes().size() != 1)
            return 11;
        return services.MessageBoxes()[0].text.contains(QStringLiteral("największy dozwolony rozmiar")) ? 0 : 12;
    });
    EXPECT_EQ(0, result);
    EXPECT_EQ(before, CScratchFolder::Read(textPath));
    controller.OnRecordingTick();
    EXPECT_EQ(before + "2024.03.05 14:07:09\t???\r\n", CScratchFolder::Read(textPath));
}

TEST_F(RecordingControllerTest, AnIntervalOutOfRangeFromTheSettingsIsKeptInRange)
{
    given.fileLogBin = 1;
    given.fileNameBin = binaryPath;
    given.interval = 0;
    controller.SetSettings(given);
    controller.OpenAtStartup();
    EXPECT_EQ(1000u, timers.Period(kRecordingTimerId));
    EXPECT_EQ(QStringLiteral("Rejestracja do pliku co 00:00:01. "), controller.RecordingStatusText());
}

} // namespace
