#pragma once
// CMainDialog: the program's only top-level window. A resizable modal dialog
// with a menu, a read-only status line and the pressure display, which owns
// everything that lives while the program runs: the serial channel, the
// measurement (CMeterCore: the frame decoder with the current reading, its
// assembler, the state of the pressure field and the D-Bus service), the
// pressure display that paints that state, the window timers and the status
// line. Refresh is the measurement's; the window adds its size on a change of
// the communication state, the status line and message 108.
//
// Communication states, as Refresh applies them:
//   no communication (m_bCommOk 0): "Brak komunikacji z urządzeniem. ",
//       "???" blinking, the D-Bus service withdrawn;
//   valid reading (m_bCommOk 1): "KM-302 nr %d. " with "Pomiar prawidłowy. "
//       or the error sentences, the value (blinking while an error flag is set),
//       the D-Bus service registered for the serial number when it is above 0.
// An accepted frame enters the valid state; a rejected frame or 5 s without
// an accepted one (timer 1035) leaves it.
//
// Timers (fixed ids): 1035 no communication, 1036 start-up opening of the
// logs (10 s, one tick), 1069 port selection retried until the window shows
// and the start-up promotion is closed, 1070 start-up promotion (100 ms, one
// tick), 1034 recording tick.
//
// The window rectangle (m_windowRect) is the frame's position with the
// client size: left/top where the window is placed, right/bottom = left/top +
// width/height. It is recorded on moves and restored resizes and restored at
// start-up, so it round-trips exactly through the settings.
//
// With a broker named in the settings ([MQTT] HOST) the window publishes the
// live values (CLivePublisher, started with the window, fed by each refresh
// and each record) and shows its last status text at the end of the status
// line.
//
// User-interface thread only. The serial reader thread reaches OnSerialByte
// through CSerialChannel's synchronous delivery.

#include <QPointer>
#include <QString>

#include <functional>
#include <map>
#include <memory>

#include "meter/metercore.h"
#include "device/serialbytesink.h"
#include "platform/dialog.h"
#include "platform/windowtimers.h"
#include "platform/wintypes.h"
#include "publish/mqttsettings.h"
#include "station/stationsettings.h"

class CHelpWindow;
class CLivePublisher;
class CPortDialog;
class CRecordingController;
class CPressureDisplay;
class CSerialChannel;
class QAction;
class QLineEdit;
class QMenuBar;
struct MeterSettings;

namespace Ui {
class CMainDialog;
}

// Menu command ids.
constexpr UINT ID_PORT = 32771;
constexpr UINT ID_TOPMOST = 32772;
constexpr UINT ID_RECORDING = 32773;
constexpr UINT ID_HELP_TOPICS = 32778;
constexpr UINT ID_ABOUT = 32779;
constexpr UINT ID_COLORS = 32780;
constexpr UINT ID_FONTS = 32781;
constexpr UINT ID_CLOSE = 32783;
constexpr UINT ID_PLOTIX = 32795;
constexpr UINT ID_LANGUAGE = 32796;
constexpr UINT ID_ADDITIONAL = 32797;
constexpr UINT ID_KDS = 32798;
constexpr UINT ID_MQTT = 32799;
constexpr UINT ID_STATION = 32800;

// WM_SIZE types.
constexpr int SIZE_RESTORED = 0;
constexpr int SIZE_MINIMIZED = 1;
constexpr int SIZE_MAXIMIZED = 2;

struct WindowSize {
    int cy = 0;
    int cx = 0;
};

// The modal runs the window starts; an empty one is the real dialog run
// modally (DoModal). Tests give scripted ones.
struct MainDialogRunners {
    std::function<int(CPortDialog&)> portDialog;   // the port command's dialog
    std::function<void()> startupPromotion;        // timer 1070's promotion dialog
};

class CMainDialog : public CDialog, public ISerialByteSink {
    Q_OBJECT
public:
    explicit CMainDialog(MainDialogRunners runners = {}, QWidget* parent = nullptr);
    ~CMainDialog() override;

    int DoModal() override;
    BOOL OnInitDialog() override;

    // The settings the window runs with, given before DoModal and taken after
    // it: its own fields (port, rectangle, always on top, start-up
    // promotion), the display's colours and value font description, the
    // recording settings, the weather station's settings and the language
    // code that command 32796 sets. The
    // port map is the process's, not the window's: neither is it given here
    // nor taken.
    void ApplySettings(const MeterSettings& settings);
    MeterSettings Settings() const;
    // The weather station's settings from now on: the line under the value
    // follows at once; alerts they switch off end (said as any alert ends).
    void SetStationSettings(const StationSettings& settings);
    const CStation& Station() const { return m_core.Station(); }

    // WM_SERIAL_BYTE: one received byte.
    void OnSerialByte(unsigned wParam) override;
    // Applies a frame's outcome or a timeout: 1 valid reading, 0 none.
    void Refresh(int commOk);
    void UpdateStatusLine();
    void OnTimer(UINT id);
    // WM_SIZE with the client size (without the menu bar).
    void OnSize(int type, int cx, int cy);

    // Menu commands.
    void OnPortCommand();       // 32771 "Port szeregowy"
    void OnAlwaysOnTop();       // 32772 "Zawsze na wierzchu"
    // 32778 "Pomoc" (F1): the desktop's viewer, else the own help window;
    // "Failed to launch help." when the page cannot be shown at all.
    void OnHelpTopics();
    // 32795 "Uruchom Plotix": Plotix.exe, Plotix, plotix as LaunchProgram
    // finds them; then km302-plot from the program's folder, then from PATH,
    // with the binary log's path, else the text log's, when that file exists;
    // message 114 only when nothing could be started.
    void OnStartPlotix();
    void OnCloseCommand();      // 32783 "Zamknij" (Ctrl+Q)
    void OnColors();            // 32780 "Kolory"
    void OnFonts();             // 32781 "Czcionki"
    void OnAbout();             // 32779 "O programie"
    void OnPromotion();         // 32798 "Program KDS"
    void OnAdditionalSettings();// 32797 "Ustawienia dodatkowe"
    void OnMqttSettings();      // 32799 "Publikowanie MQTT…"
    // 32800 "Stacja pomiarowa…": the [STATION] settings, previewed with the
    // current reading; OK puts them in force at once.
    void OnStationSettings();
    // The name of this program's settings (--config NAME, else "KM302"),
    // which also names the publisher's spool and client; before DoModal.
    void SetInstanceName(const QString& name) { m_strInstance = name; }
    void OnLanguage();          // 32796, no menu item: Ctrl+Shift+L
    void OnRecordingSettings(); // 32773 "Rejestracja do pliku"
    // SIGTERM, SIGINT, SIGHUP: the "Zamknij" path, with every open dialog closed.
    void OnStopRequest();

    QAction* CommandAction(UINT id) const;
    CPressureDisplay& Display() const { return *m_display; }
    CRecordingController& Recording() const { return *m_recording; }
    QLineEdit& StatusEdit() const { return *m_statusEdit; }
    const QString& StatusText() const { return m_statusText; }
    int ReadError() const { return m_core.Assembler().m_bReadError; }
    bool IsTimerRunning(UINT id) const { return m_timers.IsRunning(id); }
    bool IsPromotionOpen() const { return m_bPromotionOpen; }

    // The open serial channel (null: none). The window owns it until the
    // application takes it after DoModal, to delete it before the settings
    // are written; the window's pointer is null from then on.
    const CSerialChannel* Channel() const { return m_pChannel; }
    [[nodiscard]] CSerialChannel* TakeChannel();

    // The help page the program's own help window shows when nothing on the
    // desktop shows HTML (HelpPagePath unless set).
    void SetHelpPage(const QString& path) { m_strHelpPage = path; }
    CHelpWindow* HelpWindow() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildMenu();
    void RecordWindowRect();
    int MenuHeight() const;
    void ApplySize();
    void ReportServiceFailure();
    // (Re)starts publishing with m_mqtt; stops it when no broker is named.
    void StartPublisher();
    // A station alert that started or ended: a desktop notification, and the
    // status line names it while it lasts.
    void OnStationAlert(const StationAlert& alert);

    std::function<int(CPortDialog&)> m_runPortDialog;
    std::function<void()> m_runStartupPromotion;
    QString m_strHelpPage;
    CWindowTimers m_timers;
    // The measurement: the decoder with the current reading (m_decoder), its
    // assembler (m_bReadError), the communication state (m_bCommOk) and the
    // D-Bus service (m_dde).
    CMeterCore m_core;

    bool m_bPromotionOpen = false;
    int m_showAdv = 1;
    bool m_bMaximised = false;
    QString m_statusText;
    WindowSize m_restoredSize;
    WindowSize m_maximisedSize;
    int m_topmost = 0;
    RECT m_windowRect{100, 100, 700, 500};
    bool m_bInitialising = true;
    int m_editHeight = 0;
    CSerialChannel* m_pChannel = nullptr;
    int m_portNr = 0;
    // The application's language code while the window runs ("pl", "en" or
    // empty): given and taken with the settings.
    QString m_language;

    std::unique_ptr<Ui::CMainDialog> m_ui;
    QMenuBar* m_menuBar = nullptr;
    QLineEdit* m_statusEdit = nullptr;
    CPressureDisplay* m_display = nullptr;
    std::unique_ptr<CRecordingController> m_recording;
    MqttSettings m_mqtt;
    QString m_strInstance = QStringLiteral("KM302");
    std::unique_ptr<CLivePublisher> m_publisher;
    QString m_publisherStatus;           // the publisher's last text, with ". "
    std::map<QString, QString> m_activeAlerts;   // kind → its sentence, while it lasts
    std::map<UINT, QAction*> m_actions;
    bool m_bServiceFailureBox = false;   // message 108 queued or open
    QPointer<CHelpWindow> m_helpWindow;  // the own help window while open
};
