#include "headless/headlessapp.h"

#include <QCoreApplication>

#include <algorithm>
#include <csignal>

#include "settings/metersettings.h"
#include "settings/settingsfile.h"
#include "dde/ddebustransport.h"
#include "device/portmap.h"
#include "device/serialchannel.h"
#include "platform/errortext.h"
#include "platform/messageids.h"
#include "platform/reportline.h"
#include "platform/servicenotify.h"
#include "platform/stopsignals.h"
#include "platform/stringtable.h"
#include "platform/timerids.h"

namespace {

constexpr int kGrowStep = 4;
constexpr unsigned kFirstRetryMs = 100;
constexpr unsigned kLongestRetryMs = 1600;

} // namespace

CHeadlessApp::CHeadlessApp(CommandLine line)
    : m_line(std::move(line)),
      m_timers([this](UINT id) { OnTimer(id); }),
      m_core(m_timers, std::make_unique<CDdeBusTransport>(),
             MeterHooks{
                 .onCommStateChange = {},
                 .onServiceFailure = [this] { m_report(LoadString(IDS_DDE_FAILED), ReportPriority::Error); },
                 .updateStatus = [this] { ReportStatus(); },
                 // The logs open at the first valid frame when it comes before timer 1036.
                 .afterRefresh =
                     [this] {
                         if (m_publisher)
                             m_publisher->OnRefresh();
                         if (m_core.CommOk() == 1)
                             m_recorder.OpenLogs();
                     },
                 // A station alert: a warning line when it starts, an
                 // information line when it ends.
                 .onStationAlert =
                     [this](const StationAlert& alert) {
                         m_report(alert.strText, alert.bActive ? ReportPriority::Warning : ReportPriority::Info);
                         if (m_publisher)
                             m_publisher->PublishAlert(alert);
                     },
             }),
      m_recorder(m_timers, m_core, [this](const QString& text, ReportPriority priority) { m_report(text, priority); })
{
}

void CHeadlessApp::SetReporter(std::function<void(const QString&, ReportPriority)> report)
{
    m_report = std::move(report);
}

CHeadlessApp::~CHeadlessApp()
{
    // The reader stops before the measurement it delivers to goes.
    m_channel.reset();
    m_recorder.AttachStream(nullptr);
    m_publisher.reset();
    m_core.Dde().Unregister();
}

int CHeadlessApp::Run()
{
    // 1.
    CStopSignals stop([this](int signal) { OnStopSignal(signal); });

    // 2.
    if (!LoadSettings(SettingsFilePath(InstanceName())))
        return 1;
    NotifyServiceManager("READY=1");

    // 3.-5.
    Start();
    const int status = QCoreApplication::exec();

    // 6.
    m_channel.reset();
    m_recorder.Close();
    if (m_publisher)
        m_publisher->Stop();
    m_core.Dde().Unregister();
    return status;
}

bool CHeadlessApp::LoadSettings(const QString& settingsPath)
{
    // Read only: the store is never saved (m_saveOnDestroy stays false).
    CSettingsFile store(kGrowStep);
    store.Load(settingsPath);
    MeterSettings settings;
    ReadSettings(store, settings);
    CPortMap::Instance().SetEntries(settings.ports);

    m_portNr = m_line.portNr.value_or(m_line.portPath ? 0 : settings.portNr);
    m_portPath = m_line.portPath.value_or(QString());
    RecordingSettings recording = settings.recording;
    if (m_line.textLog) {
        recording.fileLog = 1;
        recording.fileName = *m_line.textLog;
    }
    if (m_line.binaryLog) {
        recording.fileLogBin = 1;
        recording.fileNameBin = *m_line.binaryLog;
    }
    recording.sepFormat = m_line.sepFormat.value_or(recording.sepFormat);
    recording.interval = m_line.interval.value_or(recording.interval);
    m_recorder.SetSettings(recording);

    // The weather station, with its 3 hours of readings read back from the
    // binary log.
    m_core.SetStationSettings(settings.station);
    if (recording.BinaryLogOn())
        m_core.LoadStationHistory(recording.fileNameBin);

    MqttSettings mqtt = settings.mqtt;
    if (m_line.mqttHost) {
        mqtt.strHost = *m_line.mqttHost;
        mqtt.nPort = m_line.mqttPort.value_or(MqttSettings::kDefaultPort);
    }
    if (mqtt.Enabled()) {
        m_publisher = std::make_unique<CLivePublisher>(
            mqtt, InstanceName(),
            [this] {
                const CFrameDecoder& d = m_core.Decoder();
                return LiveReading{m_core.CommOk() == 1, int(d.m_nSerialNumber), m_core.DisplayState().GetRawValue(), d.m_bUnitPa != 0,
                                   d.m_bValueError != 0, d.m_bCalibrationError != 0};
            },
            [this](const QString& text, ReportPriority priority) { m_report(text, priority); });
        m_publisher->SetStation(&m_core.Station());
        m_recorder.AttachStream(m_publisher.get());
    }

    if (m_portNr <= 0 && m_portPath.isEmpty()) {
        m_report(QStringLiteral("Nie wybrano portu: wybierz go w oknie programu albo podaj --port."),
                        ReportPriority::Error);
        return false;
    }
    return true;
}

void CHeadlessApp::Start()
{
    // 3. What the window shows at first, without the window.
    m_core.Dde().m_pDisplay = &m_core.DisplayState();
    m_core.Refresh(0);
    // 4.
    OpenPort();
    // 5.
    if (m_publisher)
        m_publisher->Start();
    m_recorder.Start();
}

void CHeadlessApp::OnTimer(UINT id)
{
    switch (id) {
    case kNoCommTimerId:
        m_core.OnNoCommTimeout();
        break;
    case kRecordingTimerId:
        m_recorder.OnRecordingTick();
        break;
    case kOpenLogsTimerId:
        m_recorder.OpenLogs();
        break;
    case kPortRetryTimerId:
        m_timers.KillTimer(kPortRetryTimerId);
        OpenPort();
        break;
    default:
        break;
    }
}

void CHeadlessApp::OnStopSignal(int signal)
{
    if (signal == SIGHUP) {
        m_recorder.Reopen();
        m_report(QStringLiteral("Dzienniki otwarte ponownie."), ReportPriority::Info);
        return;
    }
    NotifyServiceManager("STOPPING=1");
    QCoreApplication::exit(0);
}

void CHeadlessApp::OpenPort()
{
    auto channel = std::make_unique<CSerialChannel>();
    const int opened = m_portPath.isEmpty()
                           ? channel->Open(&m_core, m_portNr, kKm302Line)
                           : channel->OpenPath(&m_core, 0, m_portPath, kKm302Line);
    if (opened && channel->StartReader()) {
        m_channel = std::move(channel);
        if (m_retryMs != 0)
            m_report(QStringLiteral("Otwarto port %1").arg(PortName()), ReportPriority::Info);
        m_retryMs = 0;
        return;
    }
    // Said once; the retries that follow are silent, with a growing wait.
    if (m_retryMs == 0) {
        m_report(WithErrorReason(QString(LoadString(IDS_CANNOT_OPEN_PORT)).replace(QLatin1String("COM%d"), PortName()),
                                 channel->LastError(), ErrorSubject::Port, channel->BusyHolder()),
                 ReportPriority::Warning);
        m_retryMs = kFirstRetryMs;
    } else {
        m_retryMs = std::min(m_retryMs * 2, kLongestRetryMs);
    }
    m_timers.SetTimer(kPortRetryTimerId, m_retryMs);
}

QString CHeadlessApp::PortName() const
{
    return m_portPath.isEmpty() ? QStringLiteral("COM%1").arg(m_portNr) : m_portPath;
}

void CHeadlessApp::ReportStatus()
{
    const QString text = m_core.CommunicationText().trimmed();
    if (text == m_lastStatus)
        return;
    m_lastStatus = text;
    const CFrameDecoder& reading = m_core.Decoder();
    const bool good = m_core.CommOk() && !reading.m_bValueError && !reading.m_bCalibrationError;
    m_report(text, good ? ReportPriority::Info : ReportPriority::Warning);
    NotifyServiceManager("STATUS=" + text.toUtf8());
}
