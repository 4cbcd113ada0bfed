#include "ui/maindialog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QStandardPaths>
#include <QStyle>
#include <QWindow>

#include <algorithm>
#include <optional>
#include <utility>

#include "dde/ddebustransport.h"
#include "device/serialchannel.h"
#include "platform/helppage.h"
#include "platform/messageids.h"
#include "platform/numberformat.h"
#include "platform/errortext.h"
#include "platform/services.h"
#include "platform/stringtable.h"
#include "platform/timerids.h"
#include "publish/livepublisher.h"
#include "settings/metersettings.h"
#include "ui/aboutdialog.h"
#include "ui/additionalsettingsdialog.h"
#include "ui/colorsdialog.h"
#include "ui/fontsdialog.h"
#include "ui/helpwindow.h"
#include "ui/km302resources.h"
#include "ui/languagedialog.h"
#include "ui/mqttdialog.h"
#include "ui/portdialog.h"
#include "ui/promotiondialog.h"
#include "ui/recordingcontroller.h"
#include "ui/stationdialog.h"
#include "ui/pressuredisplay.h"
#include "ui_maindialog.h"

namespace {

constexpr int kUnitHpa = 5;
constexpr UINT kOpenLogsDelayMs = 10000;
constexpr UINT kPortRetryMs = 500;
constexpr UINT kPromotionDelayMs = 100;

QString Sprintf(UINT id, int value)
{
    return QString::fromStdString(FormatPrintf(LoadString(id).toStdString().c_str(), value));
}

} // namespace

CMainDialog::CMainDialog(MainDialogRunners runners, QWidget* parent)
    : CDialog(parent),
      m_runPortDialog(runners.portDialog ? std::move(runners.portDialog)
                                         : [](CPortDialog& dialog) { return dialog.DoModal(); }),
      m_runStartupPromotion(runners.startupPromotion ? std::move(runners.startupPromotion)
                                                     : [this] { OnPromotion(); }),
      m_strHelpPage(HelpPagePath()),
      m_timers([this](UINT id) { OnTimer(id); }),
      m_core(m_timers, std::make_unique<CDdeBusTransport>(),
             MeterHooks{
                 .onCommStateChange = [this] { ApplySize(); },
                 .onServiceFailure = [this] { ReportServiceFailure(); },
                 .updateStatus = [this] { UpdateStatusLine(); },
                 .afterRefresh =
                     [this] {
                         m_display->SetStationLine(m_core.Station().Line());
                         if (m_publisher)
                             m_publisher->OnRefresh();
                     },
                 .onStationAlert =
                     [this](const StationAlert& alert) {
                         OnStationAlert(alert);
                         if (m_publisher)
                             m_publisher->PublishAlert(alert);
                     },
             }),
      m_ui(std::make_unique<Ui::CMainDialog>())
{
    m_ui->setupUi(this);
    m_statusEdit = m_ui->statusEdit;
    m_display = m_ui->display;
    m_display->UseState(&m_core.DisplayState());
    m_recording = std::make_unique<CRecordingController>(
        m_timers, m_core.DisplayState(), m_core.Decoder(), [this] { UpdateStatusLine(); },
        [this](bool enable) { CommandAction(ID_RECORDING)->setEnabled(enable); }, this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    BuildMenu();
}

CMainDialog::~CMainDialog()
{
    delete m_pChannel;
    m_pChannel = nullptr;
    m_recording->AttachStream(nullptr);
    m_publisher.reset();
    // The display is a child widget and outlives the measurement's state.
    m_display->UseState(nullptr);
}

void CMainDialog::BuildMenu()
{
    m_menuBar = new QMenuBar(this);
    auto add = [this](QMenu* menu, UINT id, const QString& text, void (CMainDialog::*handler)()) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QStringLiteral("command%1").arg(id));
        if (handler)
            connect(action, &QAction::triggered, this, handler);
        m_actions[id] = action;
        return action;
    };
    // The words are the menu's own; '&' only marks the letter Alt reaches
    // (unique within each menu).
    QMenu* program = m_menuBar->addMenu(QStringLiteral("&Program"));
    add(program, ID_PLOTIX, QStringLiteral("&Uruchom Plotix"), &CMainDialog::OnStartPlotix);
    program->addSeparator();
    add(program, ID_CLOSE, QStringLiteral("&Zamknij"), &CMainDialog::OnCloseCommand)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* view = m_menuBar->addMenu(QStringLiteral("&Widok"));
    add(view, ID_COLORS, QStringLiteral("&Kolory"), &CMainDialog::OnColors);
    add(view, ID_FONTS, QStringLiteral("&Czcionki"), &CMainDialog::OnFonts);
    add(view, ID_TOPMOST, QStringLiteral("&Zawsze na wierzchu"), &CMainDialog::OnAlwaysOnTop)->setCheckable(true);

    QMenu* settings = m_menuBar->addMenu(QStringLiteral("&Ustawienia"));
    add(settings, ID_PORT, QStringLiteral("&Port szeregowy"), &CMainDialog::OnPortCommand);
    add(settings, ID_RECORDING, QStringLiteral("&Rejestracja do pliku"), &CMainDialog::OnRecordingSettings);
    add(settings, ID_ADDITIONAL, QStringLiteral("Ustawienia &dodatkowe"), &CMainDialog::OnAdditionalSettings);
    add(settings, ID_STATION, QStringLiteral("&Stacja pomiarowa…"), &CMainDialog::OnStationSettings);
    add(settings, ID_MQTT, QStringLiteral("Publikowanie &MQTT…"), &CMainDialog::OnMqttSettings);

    QMenu* help = m_menuBar->addMenu(QStringLiteral("Pomo&c"));
    add(help, ID_HELP_TOPICS, QStringLiteral("&Pomoc"), &CMainDialog::OnHelpTopics)->setShortcut(QKeySequence(Qt::Key_F1));
    add(help, ID_KDS, QStringLiteral("Program &KDS"), &CMainDialog::OnPromotion);
    add(help, ID_ABOUT, QStringLiteral("&O programie"), &CMainDialog::OnAbout);

    // F10 opens the first menu, as on other desktops; Qt leaves it to the
    // program on X11.
    auto* menuKey = new QAction(this);
    menuKey->setObjectName(QStringLiteral("menuBarKey"));
    menuKey->setShortcut(QKeySequence(Qt::Key_F10));
    menuKey->setShortcutContext(Qt::WindowShortcut);
    connect(menuKey, &QAction::triggered, this, [this] {
        if (!m_menuBar->actions().isEmpty())
            m_menuBar->setActiveAction(m_menuBar->actions().first());
    });
    addAction(menuKey);

    // The language choice has no menu item; a shortcut of the window reaches it.
    auto* language = new QAction(this);
    language->setObjectName(QStringLiteral("command%1").arg(ID_LANGUAGE));
    language->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    language->setShortcutContext(Qt::WindowShortcut);
    connect(language, &QAction::triggered, this, &CMainDialog::OnLanguage);
    addAction(language);
    m_actions[ID_LANGUAGE] = language;
}

void CMainDialog::ApplySettings(const MeterSettings& s)
{
    m_display->m_crBackground = s.background;
    m_display->m_crText = s.text;
    m_display->m_lfValueFont.lfHeight = s.font.lfHeight;
    m_display->m_lfValueFont.lfWeight = s.font.lfWeight;
    m_display->m_lfValueFont.lfItalic = s.font.lfItalic;
    m_display->m_lfValueFont.lfFaceName = s.font.lfFaceName;
    m_portNr = s.portNr;
    m_windowRect = s.windowRect;
    m_topmost = s.topmost;
    m_showAdv = s.showAdv;
    m_recording->SetSettings(s.recording);
    m_language = s.language;
    m_mqtt = s.mqtt;
    SetStationSettings(s.station);
}

void CMainDialog::SetStationSettings(const StationSettings& settings)
{
    m_core.SetStationSettings(settings);
    m_display->SetStationLine(m_core.Station().Line());
}

void CMainDialog::OnStationAlert(const StationAlert& alert)
{
    if (alert.bActive)
        m_activeAlerts[alert.strKind] = alert.strText;
    else
        m_activeAlerts.erase(alert.strKind);
    Services().ShowNotification(alert.bActive ? QStringLiteral("Alarm ciśnienia")
                                              : QStringLiteral("Koniec alarmu ciśnienia"),
                                alert.strText);
    UpdateStatusLine();
}

MeterSettings CMainDialog::Settings() const
{
    MeterSettings s;
    s.background = m_display->m_crBackground;
    s.text = m_display->m_crText;
    s.font.lfHeight = m_display->m_lfValueFont.lfHeight;
    s.font.lfWeight = m_display->m_lfValueFont.lfWeight;
    s.font.lfItalic = m_display->m_lfValueFont.lfItalic;
    s.font.lfFaceName = m_display->m_lfValueFont.lfFaceName;
    s.portNr = m_portNr;
    s.windowRect = m_windowRect;
    s.topmost = m_topmost;
    s.showAdv = m_showAdv;
    s.recording = m_recording->Settings();
    s.language = m_language;
    s.mqtt = m_mqtt;
    s.station = m_core.Station().Settings();
    return s;
}

CSerialChannel* CMainDialog::TakeChannel()
{
    return std::exchange(m_pChannel, nullptr);
}

QAction* CMainDialog::CommandAction(UINT id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

int CMainDialog::DoModal()
{
    const int result = CDialog::DoModal();
    // WM_DESTROY: the service and the help window go with the window.
    if (m_publisher)
        m_publisher->Stop();
    m_core.Dde().Unregister();
    delete m_helpWindow;
    return result;
}

BOOL CMainDialog::OnInitDialog()
{
    // 1.
    CDialog::OnInitDialog();

    // 2.-3. No system menu on X11; the icon is the program's barometer.
    setWindowIcon(ProgramIcon());

    // 4. Recording is greyed until the start-up opening of the logs has run.
    CommandAction(ID_RECORDING)->setEnabled(false);

    // 5. The stored port, or the port selection once the window shows.
    if (m_portNr > 0) {
        m_pChannel = new CSerialChannel;
        if (m_pChannel->Open(this, m_portNr, kKm302Line)) {
            m_pChannel->StartReader();
        } else {
            const QString text = WithErrorReason(Sprintf(IDS_CANNOT_OPEN_PORT, m_portNr), m_pChannel->LastError(),
                                                 ErrorSubject::Port, m_pChannel->BusyHolder());
            delete m_pChannel;
            m_pChannel = nullptr;
            Services().MessageBox(text, MB_OK);
            OnPortCommand();
        }
    } else {
        OnPortCommand();
    }

    // 6.
    m_editHeight = m_statusEdit->sizeHint().height();

    // 7. The display: hectopascals with the unit, the label, the value font.
    m_display->SetUnits(kUnitHpa, kUnitHpa, true);
    m_display->m_strLabel = LoadString(IDS_PRESSURE);
    m_display->CreateValueFont();

    // 8.
    m_bInitialising = false;

    // 9. Position and size from the settings (the application has fitted
    //    them to the screen; 64 bits, as the rectangle may be any four ints).
    const auto extent = [](LONG from, LONG to) {
        return int(std::clamp<qint64>(qint64(to) - from, 1, QWIDGETSIZE_MAX));
    };
    move(m_windowRect.left, m_windowRect.top);
    resize(extent(m_windowRect.left, m_windowRect.right), extent(m_windowRect.top, m_windowRect.bottom));
    ApplySize();

    // 10.
    Refresh(0);

    // 11. Inverted here so that the command inverts it back and applies it.
    m_topmost = m_topmost ? 0 : 1;
    OnAlwaysOnTop();

    // 12. The service reads what the display shows.
    m_core.Dde().m_pDisplay = &m_core.DisplayState();

    // The station's 3 hours of readings, read back from the binary log.
    if (m_recording->Settings().BinaryLogOn())
        m_core.LoadStationHistory(m_recording->Settings().fileNameBin);

    // The live values, when a broker is named: a record stream from the
    // start-up opening of the logs on.
    StartPublisher();

    // 13.-14.
    m_timers.SetTimer(kOpenLogsTimerId, kOpenLogsDelayMs);
    if (m_showAdv)
        m_timers.SetTimer(kPromotionTimerId, kPromotionDelayMs);
    return TRUE;
}

void CMainDialog::OnSerialByte(unsigned wParam)
{
    m_core.OnSerialByte(wParam);
}

void CMainDialog::Refresh(int commOk)
{
    m_core.Refresh(commOk);
}

void CMainDialog::ReportServiceFailure()
{
    // Refresh runs inside the delivery of received bytes, and the reader
    // waits for every delivery: a box opened here would stop all readings for
    // as long as it stays open. It opens once the delivery has returned, and
    // never while one is already queued or open.
    if (m_bServiceFailureBox)
        return;
    m_bServiceFailureBox = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            Services().MessageBox(LoadString(IDS_DDE_FAILED), MB_OK | MB_ICONSTOP);
            m_bServiceFailureBox = false;
        },
        Qt::QueuedConnection);
}

void CMainDialog::UpdateStatusLine()
{
    // 1.-3.
    QString text = m_core.CommunicationText();

    // 4. The recording interval while the recording timer runs.
    if (m_recording)
        text += m_recording->RecordingStatusText();
    text += m_publisherStatus;
    // The station's alerts while they last.
    for (const auto& [kind, sentence] : m_activeAlerts)
        text += sentence.endsWith(QLatin1Char('.')) ? sentence + QLatin1Char(' ') : sentence + QStringLiteral(". ");

    // 5. An unchanged text touches neither control.
    if (text != m_statusText) {
        m_statusText = text;
        m_statusEdit->setText(text);
        // The beginning says what matters; setText leaves the end in view.
        m_statusEdit->setCursorPosition(0);
        m_display->setFocus();
    }
}

void CMainDialog::OnTimer(UINT id)
{
    switch (id) {
    case kNoCommTimerId:
        m_core.OnNoCommTimeout();
        break;
    case kOpenLogsTimerId:
        // Kills 1036, opens the logs named in the settings, enables 32773.
        m_recording->OpenAtStartup();
        break;
    case kRecordingTimerId:
        m_recording->OnRecordingTick();
        break;
    case kPortRetryTimerId:
        if (m_bPromotionOpen)
            break;
        m_timers.KillTimer(kPortRetryTimerId);
        OnPortCommand();
        break;
    case kPromotionTimerId:
        // The port selection (timer 1069) waits while the promotion is open.
        m_timers.KillTimer(kPromotionTimerId);
        m_bPromotionOpen = true;
        m_runStartupPromotion();
        m_bPromotionOpen = false;
        break;
    default:
        break;
    }
}

int CMainDialog::MenuHeight() const
{
    return m_menuBar ? m_menuBar->sizeHint().height() : 0;
}

void CMainDialog::ApplySize()
{
    if (m_bMaximised)
        OnSize(SIZE_MAXIMIZED, m_maximisedSize.cx, m_maximisedSize.cy);
    else
        OnSize(SIZE_RESTORED, m_restoredSize.cx, m_restoredSize.cy);
}

void CMainDialog::OnSize(int type, int cx, int cy)
{
    // 1. Remember the size per kind, even while initialising.
    if (type == SIZE_RESTORED) {
        m_restoredSize = {cy, cx};
        m_bMaximised = false;
    } else if (type == SIZE_MAXIMIZED) {
        m_maximisedSize = {cy, cx};
        m_bMaximised = true;
    } else {
        m_bMaximised = false;
    }

    // 2.
    if (m_bInitialising)
        return;

    // 3.
    if (type == SIZE_RESTORED)
        RecordWindowRect();

    // 4. The margin.
    const int m = std::clamp(style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 1, 2, 20);

    // 5.-6. Status line on top, the display below it; the menu bar is above
    //       the client area.
    const int top = MenuHeight();
    m_menuBar->setGeometry(0, 0, width(), top);
    m_statusEdit->setGeometry(m, top + m, std::max(cx - 2 * m, 0), m_editHeight);
    m_display->setGeometry(m, top + m_editHeight + 2 * m + 2, std::max(cx - 2 * m, 0),
                           std::max(cy - 3 * m - m_editHeight - 2, 0));

    // 7.
    m_display->repaint();
}

void CMainDialog::RecordWindowRect()
{
    const QPoint at = pos();
    const auto edge = [](int from, int size) { return LONG(std::min<qint64>(qint64(from) + size, INT32_MAX)); };
    m_windowRect = RECT{at.x(), at.y(), edge(at.x(), width()), edge(at.y(), height())};
}

void CMainDialog::resizeEvent(QResizeEvent* event)
{
    CDialog::resizeEvent(event);
    const int type = isMinimized() ? SIZE_MINIMIZED : isMaximized() ? SIZE_MAXIMIZED : SIZE_RESTORED;
    OnSize(type, width(), height() - MenuHeight());
}

void CMainDialog::moveEvent(QMoveEvent* event)
{
    CDialog::moveEvent(event);
    if (!m_bInitialising && !isMaximized())
        RecordWindowRect();
}

void CMainDialog::changeEvent(QEvent* event)
{
    CDialog::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        const int type = isMinimized() ? SIZE_MINIMIZED : isMaximized() ? SIZE_MAXIMIZED : SIZE_RESTORED;
        OnSize(type, width(), height() - MenuHeight());
    }
}

void CMainDialog::keyPressEvent(QKeyEvent* event)
{
    // Enter and Esc never close the main window.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        setFocus();
        event->accept();
        return;
    default:
        CDialog::keyPressEvent(event);
    }
}

void CMainDialog::OnPortCommand()
{
    for (;;) {
        // 1. Not before the window shows.
        if (!isVisible()) {
            m_timers.SetTimer(kPortRetryTimerId, kPortRetryMs);
            return;
        }

        // 2.-3.
        CPortDialog dialog;
        if (m_pChannel)
            dialog.m_nPortNr = m_pChannel->PortNumber();
        if (m_runPortDialog(dialog) != IDOK)
            return;

        // 4. The port in use, or nothing chosen: nothing changes.
        const int cur = m_pChannel ? m_pChannel->PortNumber() : 0;
        const int sel = dialog.m_nPortNr;
        if (sel == cur || sel <= 0)
            return;

        // 5. The old port is closed before the new one is tried.
        delete m_pChannel;
        m_pChannel = new CSerialChannel;
        if (m_pChannel->Open(this, sel, kKm302Line)) {
            // 6.
            m_pChannel->StartReader();
            m_portNr = sel;
            return;
        }

        // 7. Say so and offer the dialog again.
        const QString text = WithErrorReason(Sprintf(IDS_CANNOT_OPEN_PORT, sel), m_pChannel->LastError(),
                                             ErrorSubject::Port, m_pChannel->BusyHolder());
        delete m_pChannel;
        m_pChannel = nullptr;
        m_portNr = 0;
        Services().MessageBox(text, MB_OK);
    }
}

void CMainDialog::OnAlwaysOnTop()
{
    // 1.-2. A window that exists takes the flag in place. QWidget::setWindowFlag
    // would re-create it hidden, and hiding a modal dialog ends its loop: the
    // program would end, and the window would lose its place.
    const bool onTop = m_topmost == 0;
    if (QWindow* native = windowHandle()) {
        const Qt::WindowFlags flags = onTop ? windowFlags() | Qt::WindowStaysOnTopHint
                                            : windowFlags() & ~Qt::WindowStaysOnTopHint;
        overrideWindowFlags(flags);
        native->setFlags(flags);
    } else {
        setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    }
    m_topmost = m_topmost ? 0 : 1;

    // 3.
    CommandAction(ID_TOPMOST)->setChecked(m_topmost != 0);
}

void CMainDialog::OnHelpTopics()
{
    const int topic = LoadString(IDS_LANGUAGE) == QLatin1String("EN") ? 1100 : 100;
    if (Services().ShowHelp(topic))
        return;
    // Nothing on the desktop shows the page: the program's own window does.
    if (!m_helpWindow)
        m_helpWindow = new CHelpWindow(this);
    if (!m_helpWindow->Open(m_strHelpPage, topic)) {
        delete m_helpWindow;
        Services().MessageBox(QStringLiteral("Failed to launch help."), MB_OK | MB_ICONEXCLAMATION);
    }
}

CHelpWindow* CMainDialog::HelpWindow() const
{
    return m_helpWindow;
}

void CMainDialog::OnStartPlotix()
{
    // A user who has the maker's charting program keeps it.
    for (const char* name : {"Plotix.exe", "Plotix", "plotix"}) {
        if (Services().LaunchProgram(QString::fromLatin1(name), {}) > 31)
            return;
    }
    // Our own viewer, with the log being written: the binary log holds the
    // serial numbers and full precision, so it is preferred to the text log.
    QStringList arguments;
    const RecordingSettings& recording = m_recording->Settings();
    for (const QString* log : {&recording.fileNameBin, &recording.fileName}) {
        if (!log->isEmpty() && QFileInfo(*log).isFile()) {
            arguments << QFileInfo(*log).absoluteFilePath();
            break;
        }
    }
    // Only the program's own folder and PATH: a viewer lying in whatever
    // folder the program was started from is not ours to run.
    const QString besideUs = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("km302-plot"));
    if (Services().LaunchProgram(besideUs, arguments) > 31)
        return;
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("km302-plot"));
    if (!onPath.isEmpty() && QFileInfo(onPath) != QFileInfo(besideUs)
        && Services().LaunchProgram(onPath, arguments) > 31)
        return;
    Services().MessageBox(LoadString(IDS_PLOTIX_MISSING), MB_OK);
}

void CMainDialog::OnCloseCommand()
{
    OnOK();
}

void CMainDialog::OnColors()
{
    RunColorsCommand(*m_display);
}

void CMainDialog::OnFonts()
{
    RunFontsCommand(*m_display);
}

void CMainDialog::OnAbout()
{
    CAboutDialog dialog(this);
    dialog.DoModal();
}

void CMainDialog::OnPromotion()
{
    CPromotionDialog dialog(this);
    dialog.DoModal();
}

void CMainDialog::StartPublisher()
{
    if (m_publisher) {
        m_recording->AttachStream(nullptr);
        m_publisher->Stop();
        m_publisher.reset();
    }
    m_publisherStatus.clear();
    if (!m_mqtt.Enabled())
        return;
    m_publisher = std::make_unique<CLivePublisher>(
        m_mqtt, m_strInstance,
        [this] {
            const CFrameDecoder& d = m_core.Decoder();
            return LiveReading{m_core.CommOk() == 1, int(d.m_nSerialNumber), m_core.DisplayState().GetRawValue(), d.m_bUnitPa != 0,
                               d.m_bValueError != 0, d.m_bCalibrationError != 0};
        },
        [this](const QString& text, ReportPriority) {
            m_publisherStatus = text + QStringLiteral(". ");
            UpdateStatusLine();
        });
    m_publisher->SetStation(&m_core.Station());
    m_recording->AttachStream(m_publisher.get());
    m_publisher->Start();
}

void CMainDialog::OnMqttSettings()
{
    // A change starts publishing anew with the new settings (a new broker,
    // or none); the settings are saved at exit with the rest.
    const MqttSettings before = m_mqtt;
    if (RunMqttCommand(m_mqtt, this) == IDOK && m_mqtt != before) {
        StartPublisher();
        UpdateStatusLine();
    }
}

void CMainDialog::OnStationSettings()
{
    // The preview starts from the reading as the instrument sent it, in hPa.
    std::optional<double> reading;
    if (m_core.CommOk() == 1) {
        const CFrameDecoder& d = m_core.Decoder();
        reading = d.m_bUnitPa ? d.m_dValue / 100.0 : d.m_dValue;
    }
    // In force at once (the line under the value, the D-Bus items, the
    // alerts); saved at exit with the rest.
    StationSettings station = m_core.Station().Settings();
    if (RunStationCommand(station, reading, this) == IDOK && station != m_core.Station().Settings())
        SetStationSettings(station);
}

void CMainDialog::OnAdditionalSettings()
{
    RunAdditionalSettingsCommand(m_showAdv, this);
}

void CMainDialog::OnLanguage()
{
    RunLanguageCommand(m_language, this);
}

void CMainDialog::OnRecordingSettings()
{
    m_recording->OnRecordingSettings();
}

void CMainDialog::OnStopRequest()
{
    OnCloseCommand();
    CDialog::CancelAllModal();
}
