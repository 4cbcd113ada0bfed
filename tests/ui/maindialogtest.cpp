#include <QAction>
#include <QComboBox>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTextBrowser>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "device/portmap.h"
#include "device/serialchannel.h"
#include "platform/qtservices.h"
#include "platform/timerids.h"
#include "publish/mqttclient.h"
#include "settings/metersettings.h"
#include "tests/kit/mosquittobroker.h"
#include "tests/kit/notificationservice.h"
#include "tests/kit/ptypair.h"
#include "tests/support/scriptedservices.h"
#include "tests/ui/dialogdriver.h"
#include "tools/frameencoder.h"
#include "ui/helpwindow.h"
#include "ui/maindialog.h"
#include "ui/portdialog.h"
#include "ui/pressuredisplay.h"
#include "ui/recordingcontroller.h"
#include "ui/stationdialog.h"

namespace {

// Gives `window` its settings with the change `change` makes to them.
void ChangeSettings(CMainDialog& window, const std::function<void(MeterSettings&)>& change)
{
    MeterSettings settings = window.Settings();
    change(settings);
    window.ApplySettings(settings);
}

// A main window driven by bytes and timer ticks, with scripted services, a
// scripted port dialog that answers from a queue of port numbers (0: Anuluj)
// and a scripted start-up promotion that runs `whilePromotionOpen`.
class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedPorts = CPortMap::Instance().Entries();
        ChangeSettings(window, [](MeterSettings& s) { s.showAdv = 0; });
    }
    void TearDown() override { CPortMap::Instance().SetEntries(savedPorts); }

    int RunPortDialog(CPortDialog& dialog)
    {
        portDialogInUse.push_back(dialog.m_nPortNr);
        if (portAnswers.empty())
            return IDCANCEL;
        const int answer = portAnswers.front();
        portAnswers.erase(portAnswers.begin());
        if (answer == 0)
            return IDCANCEL;
        dialog.m_nPortNr = answer;
        return IDOK;
    }

    void Feed(const std::string& bytes)
    {
        for (unsigned char b : bytes)
            window.OnSerialByte(b);
    }
    void FeedFrame(int serial, double value, bool valueError = false, bool calibrationError = false,
                   bool pascals = false)
    {
        FrameContent c;
        c.serialNumber = serial;
        c.number = CFrameEncoder::NumberFor(value, false);
        c.valueError = valueError;
        c.calibrationError = calibrationError;
        c.pascals = pascals;
        Feed(CFrameEncoder::Encode(c));
    }

    CScriptedServices services;
    std::function<void()> whilePromotionOpen = [] {};
    CMainDialog window{MainDialogRunners{
        .portDialog = [this](CPortDialog& dialog) { return RunPortDialog(dialog); },
        .startupPromotion = [this] { whilePromotionOpen(); },
    }};
    std::vector<int> portAnswers;
    std::vector<int> portDialogInUse;
    std::map<int, QString> savedPorts;
};

TEST_F(MainDialogTest, StartsWithoutCommunicationAndSchedulesThePortSelection)
{
    window.show();
    EXPECT_EQ(QStringLiteral("Brak komunikacji z urządzeniem. "), window.StatusEdit().text());
    EXPECT_TRUE(window.Display().HasNoValue());
    EXPECT_TRUE(window.Display().IsBlinking());
    EXPECT_EQ(QStringLiteral("Ciśnienie"), window.Display().m_strLabel);
    // No port stored: the dialog waits for timer 1069 (the window was not
    // visible during initialisation).
    EXPECT_TRUE(window.IsTimerRunning(kPortRetryTimerId));
    EXPECT_TRUE(portDialogInUse.empty());
    EXPECT_FALSE(window.CommandAction(ID_RECORDING)->isEnabled());
    EXPECT_TRUE(window.IsTimerRunning(kOpenLogsTimerId));

    window.OnTimer(kPortRetryTimerId);
    EXPECT_EQ(std::vector<int>{0}, portDialogInUse);
    EXPECT_FALSE(window.IsTimerRunning(kPortRetryTimerId));

    window.OnTimer(kOpenLogsTimerId);
    EXPECT_TRUE(window.CommandAction(ID_RECORDING)->isEnabled());
    EXPECT_FALSE(window.IsTimerRunning(kOpenLogsTimerId));
}

TEST_F(MainDialogTest, PortSelectionWaitsWhileThePromotionIsOpen)
{
    window.show();
    int promotions = 0;
    whilePromotionOpen = [this, &promotions] {
        ++promotions;
        EXPECT_TRUE(window.IsPromotionOpen());
        window.OnTimer(kPortRetryTimerId);
        EXPECT_TRUE(portDialogInUse.empty());
        EXPECT_TRUE(window.IsTimerRunning(kPortRetryTimerId));
    };
    window.OnTimer(kPromotionTimerId);
    EXPECT_EQ(1, promotions);
    EXPECT_FALSE(window.IsPromotionOpen());
    window.OnTimer(kPortRetryTimerId);
    EXPECT_EQ(1u, portDialogInUse.size());
}

TEST_F(MainDialogTest, StatusLineFollowsTheFrames)
{
    window.show();
    FeedFrame(1234, 1013.2);
    EXPECT_EQ(QStringLiteral("KM-302 nr 1234. Pomiar prawidłowy. "), window.StatusEdit().text());
    EXPECT_FALSE(window.Display().HasNoValue());
    EXPECT_FALSE(window.Display().IsBlinking());
    EXPECT_DOUBLE_EQ(10132 * 0.1, window.Display().GetRawValue());
    EXPECT_EQ(5, window.Display().GetDisplayUnit());
    EXPECT_TRUE(window.IsTimerRunning(kNoCommTimerId));

    FeedFrame(1234, 1013.2, true, true);
    EXPECT_EQ(QStringLiteral("KM-302 nr 1234. Błąd wartości ciśnienia. Błąd kalibracji. "), window.StatusEdit().text());
    EXPECT_TRUE(window.Display().IsBlinking());

    FeedFrame(77, 101320, false, false, true);
    EXPECT_EQ(9, window.Display().GetDisplayUnit());
    EXPECT_EQ(QStringLiteral("KM-302 nr 77. Pomiar prawidłowy. "), window.StatusEdit().text());

    FeedFrame(0, 1000.0);
    EXPECT_EQ(QStringLiteral("KM-302 nr 0. Pomiar prawidłowy. "), window.StatusEdit().text());
}

TEST_F(MainDialogTest, ARejectedFrameOrFiveSecondsOfSilenceMeanNoCommunication)
{
    window.show();
    FeedFrame(1234, 1013.2);
    std::string bad = CFrameEncoder::Encode(FrameContent{1234, 10132});
    bad = CFrameEncoder::WithBadParity(bad, 5);
    Feed(bad);
    EXPECT_EQ(QStringLiteral("Brak komunikacji z urządzeniem. "), window.StatusEdit().text());
    EXPECT_TRUE(window.Display().HasNoValue());
    EXPECT_EQ(1, window.ReadError());

    FeedFrame(1234, 1013.2);
    EXPECT_EQ(0, window.ReadError());
    window.OnTimer(kNoCommTimerId);
    EXPECT_EQ(QStringLiteral("Brak komunikacji z urządzeniem. "), window.StatusEdit().text());
    EXPECT_TRUE(window.Display().IsBlinking());
    EXPECT_EQ(1, window.ReadError());
}

TEST_F(MainDialogTest, ANarrowStatusLineShowsItsBeginning)
{
    window.show();
    window.resize(120, 200);
    FeedFrame(555, 1013.2);
    EXPECT_EQ(0, window.StatusEdit().cursorPosition());
    FeedFrame(555, 1013.2, true);
    EXPECT_EQ(0, window.StatusEdit().cursorPosition());
}

TEST_F(MainDialogTest, AnUnchangedStatusTextTouchesNothing)
{
    window.show();
    FeedFrame(1234, 1013.2);
    window.StatusEdit().setText(QStringLiteral("touched"));
    FeedFrame(1234, 1013.3);
    EXPECT_EQ(QStringLiteral("touched"), window.StatusEdit().text());
}

// A broker in the settings: the window publishes, says how the connection
// stands at the end of its status line, and gives the settings back whole.
TEST_F(MainDialogTest, ABrokerInTheSettingsIsPublishedToAndItsStatusEndsTheStatusLine)
{
    QTemporaryDir state;
    ASSERT_TRUE(state.isValid());
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    CMosquittoBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Log().toStdString();
    MqttSettings local;
    local.strHost = QStringLiteral("127.0.0.1");
    local.nPort = broker.Port();
    CMqttClient subscriber;
    QSignalSpy messages(&subscriber, &CMqttClient::MessageReceived);
    subscriber.Start(local, QStringLiteral("window-test"), QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return subscriber.IsConnected(); }, 10000));
    subscriber.Subscribe(QStringLiteral("hala/+/state"), 1);

    local.strTopic = QStringLiteral("hala");
    ChangeSettings(window, [&](MeterSettings& s) { s.mqtt = local; });
    window.show();
    const QString connected = CMqttClient::ConnectedText(QStringLiteral("127.0.0.1"), broker.Port()) + ". ";
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.StatusEdit().text().endsWith(connected); }, 10000))
        << window.StatusEdit().text().toStdString();
    EXPECT_EQ(QStringLiteral("Brak komunikacji z urządzeniem. ") + connected, window.StatusEdit().text());

    FeedFrame(1234, 1013.2);
    EXPECT_EQ(QStringLiteral("KM-302 nr 1234. Pomiar prawidłowy. ") + connected, window.StatusEdit().text());
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return !messages.isEmpty() && messages.last().at(0).toString() == QStringLiteral("hala/1234/state")
               && messages.last().at(1).toByteArray().contains("\"pressure_hpa\":1013.2");
    }, 10000));
    EXPECT_TRUE(window.Settings().mqtt == local);
    qunsetenv("XDG_STATE_HOME");
}

TEST_F(MainDialogTest, ChoosingAPortOpensItAndTheSamePortChangesNothing)
{
    CPtyPair pty;
    ASSERT_TRUE(pty.Ok());
    CPortMap::Instance().SetEntry(40, pty.SlavePath());
    window.show();
    portAnswers = {40};
    window.OnPortCommand();
    ASSERT_NE(nullptr, window.Channel());
    EXPECT_EQ(40, window.Settings().portNr);
    const CSerialChannel* first = window.Channel();

    portAnswers = {40};
    window.OnPortCommand();
    EXPECT_EQ(first, window.Channel());
    EXPECT_EQ((std::vector<int>{0, 40}), portDialogInUse);
    EXPECT_TRUE(services.MessageBoxes().empty());
}

TEST_F(MainDialogTest, APortThatFailsClosesTheOldOneAndAsksAgain)
{
    CPtyPair pty;
    ASSERT_TRUE(pty.Ok());
    CPortMap::Instance().SetEntry(40, pty.SlavePath());
    CPortMap::Instance().SetEntry(41, QStringLiteral("/nonexistent/port"));
    window.show();
    portAnswers = {40};
    window.OnPortCommand();
    ASSERT_NE(nullptr, window.Channel());

    portAnswers = {41, 0};   // fails, then Anuluj
    window.OnPortCommand();
    EXPECT_EQ(nullptr, window.Channel());
    EXPECT_EQ(0, window.Settings().portNr);
    ASSERT_EQ(1u, services.MessageBoxes().size());
    EXPECT_EQ(QStringLiteral("Nie można otworzyć portu COM41\nPowód: nie ma takiego urządzenia."),
              services.MessageBoxes()[0].text);
    EXPECT_EQ(MB_OK, services.MessageBoxes()[0].type);
    EXPECT_EQ((std::vector<int>{0, 40, 0}), portDialogInUse);
}

TEST_F(MainDialogTest, AStoredPortThatCannotBeOpenedIsReportedAndKept)
{
    CPortMap::Instance().SetEntry(41, QStringLiteral("/nonexistent/port"));
    ChangeSettings(window, [](MeterSettings& s) { s.portNr = 41; });
    window.show();
    ASSERT_EQ(1u, services.MessageBoxes().size());
    EXPECT_EQ(QStringLiteral("Nie można otworzyć portu COM41\nPowód: nie ma takiego urządzenia."),
              services.MessageBoxes()[0].text);
    EXPECT_EQ(41, window.Settings().portNr);
    EXPECT_TRUE(window.IsTimerRunning(kPortRetryTimerId));
}

TEST_F(MainDialogTest, BytesFromTheChannelReachTheWindow)
{
    CPtyPair pty;
    ASSERT_TRUE(pty.Ok());
    CPortMap::Instance().SetEntry(40, pty.SlavePath());
    ChangeSettings(window, [](MeterSettings& s) { s.portNr = 40; });
    window.show();
    ASSERT_NE(nullptr, window.Channel());
    pty.Write(CFrameEncoder::Encode(FrameContent{4321, 9876}));
    // processEvents alone does not wait for the reader thread on a busy machine.
    EXPECT_TRUE(QTest::qWaitFor([this] { return window.StatusEdit().text().contains(QStringLiteral("4321")); }, 20000));
    EXPECT_EQ(QStringLiteral("KM-302 nr 4321. Pomiar prawidłowy. "), window.StatusEdit().text());
}

// Run the way the program runs it: inside DoModal, each step a turn of its
// loop. Hiding a modal window (as re-creating it for new flags does) would
// end the loop, and the program with it.
TEST_F(MainDialogTest, AlwaysOnTopTogglesBothWaysAndTheRunningWindowStaysInPlace)
{
    ChangeSettings(window, [](MeterSettings& s) {
        s.topmost = 1;
        s.windowRect = RECT{120, 140, 620, 440};
    });
    struct Step {
        bool visible, checked, flag;
        QRect geometry;
        RECT rect;
        QString wmState;
    };
    std::vector<Step> steps;
    QRect placed;
    RECT placedRect{};
    std::function<void()> step = [&] {
        if (steps.empty() && placed.isNull()) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
            QTest::qWait(100);   // the window manager's placement
            placed = window.geometry();
            placedRect = window.Settings().windowRect;
        } else {
            QTest::qWait(100);   // the window manager's answer
            steps.push_back({window.isVisible(), window.CommandAction(ID_TOPMOST)->isChecked(),
                             window.windowFlags().testFlag(Qt::WindowStaysOnTopHint),
                             window.geometry(), window.Settings().windowRect, WindowProperty(window, "_NET_WM_STATE")});
        }
        if (steps.size() == 2) {
            window.CommandAction(ID_CLOSE)->trigger();
            return;
        }
        window.CommandAction(ID_TOPMOST)->trigger();
        QTimer::singleShot(0, &window, step);
    };
    QTimer::singleShot(0, &window, step);
    EXPECT_EQ(IDOK, window.DoModal());

    ASSERT_EQ(2u, steps.size()) << "the modal loop ended";
    const bool xcb = QGuiApplication::platformName() == QLatin1String("xcb");
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const bool onTop = i == 1;
        EXPECT_TRUE(steps[i].visible);
        EXPECT_EQ(onTop, steps[i].checked);
        EXPECT_EQ(onTop, steps[i].flag);
        EXPECT_EQ(placed, steps[i].geometry);
        EXPECT_EQ(placedRect, steps[i].rect);
        if (xcb) {
            EXPECT_EQ(onTop, steps[i].wmState.contains(QLatin1String("_NET_WM_STATE_ABOVE")))
                << steps[i].wmState.toStdString();
        }
    }
    EXPECT_EQ(1, window.Settings().topmost);
}

TEST_F(MainDialogTest, EnterAndEscapeDoNotCloseTheWindow)
{
    window.show();
    for (int key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Enter}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &press);
    }
    EXPECT_TRUE(window.isVisible());
}

TEST_F(MainDialogTest, ControlsKeepTheirMarginsWhenResized)
{
    window.show();
    window.resize(500, 300);
    const QRect status = window.StatusEdit().geometry();
    const QRect display = window.Display().geometry();
    const int m = status.left();
    EXPECT_GE(m, 2);
    EXPECT_LE(m, 20);
    EXPECT_EQ(500 - 2 * m, status.width());
    EXPECT_EQ(status.width(), display.width());
    EXPECT_EQ(m + 2, display.top() - status.bottom() - 1);
    EXPECT_EQ(300 - m, display.bottom() + 1);
}

TEST_F(MainDialogTest, TheRectangleFollowsRestoredMovesAndSizes)
{
    ChangeSettings(window, [](MeterSettings& s) { s.windowRect = RECT{50, 60, 650, 460}; });
    window.show();
    EXPECT_EQ(600, window.width());
    EXPECT_EQ(400, window.height());
    window.move(70, 80);
    EXPECT_EQ((RECT{70, 80, 670, 480}), window.Settings().windowRect);
    window.resize(300, 200);
    EXPECT_EQ((RECT{70, 80, 370, 280}), window.Settings().windowRect);
}

// Where the desktop cannot show the page, the program's own window does, at
// the topic; only a page that cannot be read at all is a failure.
TEST_F(MainDialogTest, HelpOpensTopic100ElseInItsOwnWindowAndReportsAFailure)
{
    window.show();
    window.CommandAction(ID_HELP_TOPICS)->trigger();
    EXPECT_EQ(nullptr, window.HelpWindow());

    services.QueueHelpResult(false);
    window.CommandAction(ID_HELP_TOPICS)->trigger();
    ASSERT_NE(nullptr, window.HelpWindow());
    EXPECT_TRUE(window.HelpWindow()->isVisible());
    EXPECT_TRUE(window.HelpWindow()->isWindow());
    const QTextBrowser* page = window.HelpWindow()->Browser();
    EXPECT_TRUE(page->isReadOnly());
    EXPECT_EQ(QStringLiteral("topic100"), page->source().fragment());
    EXPECT_TRUE(page->toPlainText().contains(QStringLiteral("km302-plot")));
    EXPECT_TRUE(services.MessageBoxes().empty());

    window.HelpWindow()->close();
    window.SetHelpPage(QStringLiteral("/nonexistent/KM302.html"));
    services.QueueHelpResult(false);
    window.CommandAction(ID_HELP_TOPICS)->trigger();
    EXPECT_EQ((std::vector<int>{100, 100, 100}), services.HelpTopics());
    ASSERT_EQ(1u, services.MessageBoxes().size());
    EXPECT_EQ(QStringLiteral("Failed to launch help."), services.MessageBoxes()[0].text);
}

// The menus from the keyboard, in the window's modal loop: Alt and the
// underlined letter (one per letter within a menu), F10, F1 and Ctrl+Q.
TEST_F(MainDialogTest, MenusAndCommandsAreReachedFromTheKeyboard)
{
    auto* bar = window.findChild<QMenuBar*>();
    ASSERT_NE(nullptr, bar);
    // Every entry has a letter, and no two entries of a menu the same one.
    const auto lettersUnique = [](const QList<QAction*>& actions) {
        QSet<QChar> letters;
        qsizetype entries = 0;
        for (const QAction* action : actions) {
            const qsizetype at = action->text().indexOf(QLatin1Char('&'));
            entries += action->isSeparator() ? 0 : 1;
            if (at >= 0 && at + 1 < action->text().size())
                letters.insert(action->text().at(at + 1).toLower());
        }
        return letters.size() == entries;
    };
    EXPECT_TRUE(lettersUnique(bar->actions()));
    QStringList words;
    for (QAction* title : bar->actions()) {
        EXPECT_TRUE(lettersUnique(title->menu()->actions())) << title->text().toStdString();
        for (QAction* action : QList<QAction*>{title} + title->menu()->actions()) {
            if (!action->isSeparator())
                words << QString(action->text()).remove(QLatin1Char('&'));
        }
    }
    EXPECT_EQ((QStringList{"Program", "Uruchom Plotix", "Zamknij", "Widok", "Kolory", "Czcionki", "Zawsze na wierzchu",
                           "Ustawienia", "Port szeregowy", "Rejestracja do pliku", "Ustawienia dodatkowe",
                           "Stacja pomiarowa…", "Publikowanie MQTT…", "Pomoc", "Pomoc", "Program KDS", "O programie"}),
              words);

    QStringList openedByAlt;
    QString openedByF10;
    const auto openMenu = [bar] {
        QWidget* popup = QApplication::activePopupWidget();
        const QString title = popup && bar->activeAction() ? bar->activeAction()->text() : QString();
        if (popup)
            popup->close();
        return title;
    };
    const int result = RunModalWith(window, [&] {
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        for (Qt::Key key : {Qt::Key_U, Qt::Key_P}) {
            QTest::keyClick(&window, key, Qt::AltModifier);
            openedByAlt << openMenu();
        }
        QTest::keyClick(&window, Qt::Key_F10);
        openedByF10 = openMenu();
        QTest::keyClick(&window, Qt::Key_F1);
        QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    });
    EXPECT_EQ((QStringList{"&Ustawienia", "&Program"}), openedByAlt);
    EXPECT_EQ(QStringLiteral("&Program"), openedByF10);
    EXPECT_EQ(std::vector<int>{100}, services.HelpTopics());
    EXPECT_EQ(IDOK, result);   // Ctrl+Q: "Zamknij"
}

// "Stacja pomiarowa…" previews the current reading (an instrument that sends
// Pa given in hPa) and, with OK, puts the settings into the window's; Cancel
// leaves them.
TEST_F(MainDialogTest, TheStationCommandPreviewsTheReadingAndTakesTheSettingsWithOk)
{
    window.show();
    FrameContent pascals;
    pascals.serialNumber = 1234;
    pascals.number = 89876;
    pascals.pascals = true;
    pascals.wholeUnits = true;
    Feed(CFrameEncoder::Encode(pascals));
    QString preview;
    const auto answer = [&](bool ok) {
        QTimer::singleShot(0, &window, [&, ok] {
            auto* dialog = window.findChild<CStationDialog*>();
            ASSERT_NE(nullptr, dialog);
            dialog->m_reduction->setCurrentIndex(StationSettings::kQnh);
            dialog->m_elevation->setText(QStringLiteral("1000"));
            preview = dialog->PreviewText();
            ok ? dialog->OnOK() : dialog->OnCancel();
        });
        window.CommandAction(ID_STATION)->trigger();
    };
    answer(false);
    EXPECT_EQ(StationSettings(), window.Settings().station);
    answer(true);
    EXPECT_TRUE(preview.contains(QStringLiteral("898.76 hPa → QNH 1013.3 hPa"))) << preview.toStdString();
    EXPECT_EQ(1000, window.Settings().station.dElevation);
    EXPECT_EQ(StationSettings::kQnh, window.Settings().station.nReduction);
    // In force at once: the next reading is reduced.
    Feed(CFrameEncoder::Encode(pascals));
    ASSERT_TRUE(window.Station().Reduced());
    EXPECT_NEAR(1013.27, *window.Station().Reduced(), 0.01);
}

// "Uruchom Plotix" with a PATH of its own: a folder that holds an executable
// km302-plot, and the two logs of the recording settings in another.
class StartPlotixTest : public MainDialogTest {
protected:
    void SetUp() override
    {
        MainDialogTest::SetUp();
        savedPath = qgetenv("PATH");
        qputenv("PATH", pathDir.path().toLocal8Bit());
        QFile viewer(OnPath());
        ASSERT_TRUE(viewer.open(QIODevice::WriteOnly));
        viewer.setPermissions(viewer.permissions() | QFile::ExeOwner);
        RecordingSettings recording;
        recording.fileNameBin = logDir.filePath(QStringLiteral("cisnienie.vrd"));
        recording.fileName = logDir.filePath(QStringLiteral("cisnienie.txt"));
        window.Recording().SetSettings(recording);
        window.show();
    }
    void TearDown() override
    {
        qputenv("PATH", savedPath);
        MainDialogTest::TearDown();
    }

    QString OnPath() const { return pathDir.filePath(QStringLiteral("km302-plot")); }
    static QString BesideUs() { return QCoreApplication::applicationDirPath() + QStringLiteral("/km302-plot"); }
    static void Touch(const QString& path)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    void FailLaunches(int count)
    {
        for (int i = 0; i < count; ++i)
            services.QueueLaunchResult(2);
    }
    QStringList Programs() const
    {
        QStringList programs;
        for (const ScriptedLaunch& launch : services.Launches())
            programs << launch.program;
        return programs;
    }
    void Start()
    {
        services.ClearRecord();
        window.CommandAction(ID_PLOTIX)->trigger();
    }

    QTemporaryDir pathDir;
    QTemporaryDir logDir;
    QByteArray savedPath;
};

TEST_F(StartPlotixTest, PlotixIsTriedFirstThenOurViewerBesideUsThenOnPath)
{
    Start();
    EXPECT_EQ(QStringList{QStringLiteral("Plotix.exe")}, Programs());

    FailLaunches(3);
    Start();
    EXPECT_EQ((QStringList{QStringLiteral("Plotix.exe"), QStringLiteral("Plotix"), QStringLiteral("plotix"), BesideUs()}),
              Programs());
    EXPECT_TRUE(services.MessageBoxes().empty());

    FailLaunches(4);
    Start();
    EXPECT_EQ(5, Programs().size());
    EXPECT_EQ(OnPath(), Programs().value(4));
    EXPECT_TRUE(services.MessageBoxes().empty());
}

TEST_F(StartPlotixTest, Message114OnlyWhenNothingStarts)
{
    FailLaunches(5);
    Start();
    EXPECT_EQ(5, Programs().size());
    EXPECT_EQ(QStringList{QStringLiteral("Nie można odnaleźć programu Plotix.exe")}, services.MessageBoxTexts());

    // No viewer on PATH: nothing to try after the program's own folder.
    QFile::remove(OnPath());
    FailLaunches(4);
    Start();
    EXPECT_EQ(4, Programs().size());
    EXPECT_EQ(1u, services.MessageBoxes().size());
    EXPECT_EQ(0, services.UnusedAnswers());
}

TEST_F(StartPlotixTest, ViewerGetsTheBinaryLogElseTheTextLogWhenTheFileExists)
{
    const auto argumentsOfViewer = [&] {
        FailLaunches(3);
        Start();
        return services.Launches().size() == 4 ? services.Launches()[3].arguments : QStringList{QStringLiteral("?")};
    };
    EXPECT_EQ(QStringList{}, argumentsOfViewer());

    Touch(window.Recording().Settings().fileName);
    EXPECT_EQ(QStringList{window.Recording().Settings().fileName}, argumentsOfViewer());

    Touch(window.Recording().Settings().fileNameBin);
    EXPECT_EQ(QStringList{window.Recording().Settings().fileNameBin}, argumentsOfViewer());

    // A folder under the binary log's name is no log.
    QFile::remove(window.Recording().Settings().fileNameBin);
    ASSERT_TRUE(QDir().mkdir(window.Recording().Settings().fileNameBin));
    EXPECT_EQ(QStringList{window.Recording().Settings().fileName}, argumentsOfViewer());
}

TEST_F(MainDialogTest, CloseAndStopRequestEndTheModalRun)
{
    QTimer::singleShot(0, &window, [this] { window.CommandAction(ID_CLOSE)->trigger(); });
    EXPECT_EQ(IDOK, window.DoModal());

    int portDialogResult = -1;
    CMainDialog second(MainDialogRunners{
        .portDialog =
            [&second, &portDialogResult](CPortDialog& dialog) {
                // The stop request arrives while the port dialog is open.
                QTimer::singleShot(0, &second, [&second] { second.OnStopRequest(); });
                portDialogResult = dialog.DoModal();
                return portDialogResult;
            },
        .startupPromotion = {},
    });
    ChangeSettings(second, [](MeterSettings& s) { s.showAdv = 0; });
    // Once the window shows, the scheduled port selection runs at once.
    QTimer::singleShot(0, &second, [&second] { second.OnTimer(kPortRetryTimerId); });
    EXPECT_EQ(IDOK, second.DoModal());
    EXPECT_EQ(IDCANCEL, portDialogResult);
    EXPECT_EQ(0, CDialog::ModalDepth());
}

bool NameOnBus()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(QStringLiteral("pl.km302.KM302"));
}

QString Request(const QString& topic, const QString& item)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("pl.km302.KM302"), QStringLiteral("/pl/km302/KM302"),
                                                       QStringLiteral("pl.km302.KM302.Dde"), QStringLiteral("Request"));
    call << topic << item;
    // The service answers on this thread: keep its events flowing while waiting.
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::BlockWithGui, 5000);
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0).toString()
                                                      : QStringLiteral("error: ") + reply.errorName();
}

TEST_F(MainDialogTest, TheServiceExistsOnlyWhileTheInstrumentCommunicates)
{
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
    window.show();
    EXPECT_FALSE(NameOnBus());

    FeedFrame(1234, 1013.2);
    EXPECT_TRUE(NameOnBus());
    EXPECT_EQ(QStringLiteral("1013.2 hPa"), Request(QStringLiteral("Ciśnienie#1234"), QStringLiteral("Pomiar")));
    EXPECT_EQ(QStringLiteral("Pomiar OK"), Request(QStringLiteral("CIŚNIENIE#1234"), QStringLiteral("status")));

    // A rejected frame withdraws it at once.
    Feed(CFrameEncoder::WithBadParity(CFrameEncoder::Encode(FrameContent{1234, 10132}), 3));
    EXPECT_FALSE(NameOnBus());

    // Back with the next frame; gone again when the 5 s watchdog fires.
    FeedFrame(1234, 1013.2, true);
    EXPECT_TRUE(NameOnBus());
    EXPECT_EQ(QStringLiteral("Błąd pomiaru"), Request(QStringLiteral("Ciśnienie#1234"), QStringLiteral("Status")));
    window.OnTimer(kNoCommTimerId);
    EXPECT_FALSE(NameOnBus());
    EXPECT_TRUE(services.MessageBoxes().empty());
}

// A station alert in the window: a desktop notification through the
// notification service on the session bus when it starts and when it ends,
// never once a frame, and its sentence on the status line while it lasts.
// The line under the value follows the readings; none without the station.
TEST_F(MainDialogTest, AStationAlertIsNotifiedOncePerCrossingAndShownWhileItLasts)
{
    CNotificationService desktop;
    ASSERT_TRUE(desktop.IsServing());
    services.SetNotificationHook([](const QString& summary, const QString& body) {
        EXPECT_TRUE(CQtServices().ShowNotification(summary, body));
    });
    window.show();
    FeedFrame(1234, 1013.2);
    EXPECT_TRUE(window.Display().StationLine().isEmpty());

    ChangeSettings(window, [](MeterSettings& s) {
        s.station.nReduction = StationSettings::kQnh;
        s.station.dAlertLow = 1000.0;
    });
    FeedFrame(1234, 1013.2);
    EXPECT_EQ(QStringLiteral("QNH 1013.2 hPa"), window.Display().StationLine());
    for (double value : {999.5, 999.4, 1000.2})
        FeedFrame(1234, value);
    desktop.SyncWith(QDBusConnection::sessionBus());
    ASSERT_EQ(1u, desktop.m_notifications.size());
    const QString started = desktop.m_notifications[0].body;
    EXPECT_EQ(QStringLiteral("KM302"), desktop.m_notifications[0].app);
    EXPECT_EQ(QStringLiteral("Alarm ciśnienia"), desktop.m_notifications[0].summary);
    EXPECT_TRUE(window.StatusEdit().text().endsWith(started + QLatin1Char(' '))) << window.StatusEdit().text().toStdString();

    FeedFrame(1234, 1000.6);
    FeedFrame(1234, 1000.7);
    desktop.SyncWith(QDBusConnection::sessionBus());
    ASSERT_EQ(2u, desktop.m_notifications.size());
    EXPECT_EQ(QStringLiteral("Koniec alarmu ciśnienia"), desktop.m_notifications[1].summary);
    EXPECT_NE(started, desktop.m_notifications[1].body);
    EXPECT_EQ(QStringLiteral("KM-302 nr 1234. Pomiar prawidłowy. "), window.StatusEdit().text());
    EXPECT_EQ(QStringLiteral("QNH 1000.7 hPa"), window.Display().StationLine());
}

TEST_F(MainDialogTest, SerialNumberZeroRegistersNothing)
{
    window.show();
    FeedFrame(0, 1013.2);
    EXPECT_EQ(QStringLiteral("KM-302 nr 0. Pomiar prawidłowy. "), window.StatusEdit().text());
    EXPECT_FALSE(NameOnBus());
    EXPECT_TRUE(services.MessageBoxes().empty());
}

TEST_F(MainDialogTest, ANameHeldByAnotherProgramIsReportedAfterTheDeliveryAndTakenOnceFreed)
{
    // The instrument's own name: another program reading the same instrument.
    const QString ownName = QStringLiteral("pl.km302.KM302.SN1234");
    QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("squatter"));
    ASSERT_TRUE(other.registerService(ownName));
    window.show();
    // While the box is open, frames keep updating the reading, and neither the
    // watchdog nor a new valid state opens a second box.
    bool boxOpen = false;
    services.SetMessageBoxHook([&](const QString&, UINT) {
        if (std::exchange(boxOpen, true))
            return;
        FeedFrame(1234, 1015.5);
        EXPECT_DOUBLE_EQ(1015.5, window.Display().GetRawValue());
        window.OnTimer(kNoCommTimerId);
        FeedFrame(1234, 1016.5);
        QCoreApplication::processEvents();
        boxOpen = false;
    });
    FeedFrame(1234, 1013.2);
    FeedFrame(1234, 1013.3);
    EXPECT_TRUE(services.MessageBoxes().empty()) << "opened inside the byte delivery";
    QCoreApplication::processEvents();
    ASSERT_EQ(1u, services.MessageBoxes().size());
    EXPECT_EQ(QStringLiteral("Błąd inicjalizacji DDE!"), services.MessageBoxes()[0].text);
    EXPECT_EQ(MB_OK | MB_ICONSTOP, services.MessageBoxes()[0].type);
    EXPECT_EQ(QStringLiteral("KM-302 nr 1234. Pomiar prawidłowy. "), window.StatusEdit().text());
    EXPECT_DOUBLE_EQ(1016.5, window.Display().GetRawValue());

    // The name freed by its holder is taken at once, communication staying up.
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    const QString program = bus->serviceOwner(QStringLiteral("pl.km302.KM302"));
    ASSERT_FALSE(program.isEmpty());
    other.unregisterService(ownName);
    QDBusConnection::disconnectFromBus(QStringLiteral("squatter"));
    EXPECT_EQ(program, bus->serviceOwner(ownName).value());
    FeedFrame(1234, 1013.2);
    QCoreApplication::processEvents();
    EXPECT_EQ(1u, services.MessageBoxes().size());
}

} // namespace

namespace {

TEST(MainDialogStartup, ThePromotionComesFirstAndThePortDialogOnlyAfterItClosed)
{
    CScriptedServices services;
    std::vector<std::string> order;
    CMainDialog window(MainDialogRunners{
        .portDialog =
            [&](CPortDialog&) {
                order.push_back("port dialog");
                return IDCANCEL;
            },
        .startupPromotion =
            [&] {
                order.push_back("promotion opens");
                // While it is open the port selection keeps waiting.
                window.OnTimer(kPortRetryTimerId);
                EXPECT_TRUE(window.IsTimerRunning(kPortRetryTimerId));
                order.push_back("promotion closes");
            },
    });
    ChangeSettings(window, [](MeterSettings& s) { s.showAdv = 1; });
    window.show();
    EXPECT_TRUE(window.IsTimerRunning(kPromotionTimerId));
    window.OnTimer(kPromotionTimerId);
    EXPECT_FALSE(window.IsTimerRunning(kPromotionTimerId));
    EXPECT_FALSE(window.IsPromotionOpen());
    window.OnTimer(kPortRetryTimerId);
    EXPECT_EQ((std::vector<std::string>{"promotion opens", "promotion closes", "port dialog"}), order);
}

TEST(MainDialogStartup, NoPromotionWhenSwitchedOff)
{
    CScriptedServices services;
    CMainDialog window(MainDialogRunners{.portDialog = [](CPortDialog&) { return IDCANCEL; }, .startupPromotion = {}});
    ChangeSettings(window, [](MeterSettings& s) { s.showAdv = 0; });
    window.show();
    EXPECT_FALSE(window.IsTimerRunning(kPromotionTimerId));
}

} // namespace
