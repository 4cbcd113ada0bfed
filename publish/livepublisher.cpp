#include "publish/livepublisher.h"

#include <QDateTime>
#include <QSysInfo>

namespace {

EMqttStatus StatusOf(const LiveReading& r)
{
    if (!r.bCommunicating)
        return EMqttStatus::NoCommunication;
    if (r.bValueError)
        return EMqttStatus::ValueError;
    if (r.bCalibrationError)
        return EMqttStatus::CalibrationError;
    return EMqttStatus::Ok;
}

} // namespace

QString CLivePublisher::SpoolFailedText(const QString& path)
{
    return QStringLiteral("Nie można zapisać kolejki rekordów MQTT %1").arg(path);
}

QString CLivePublisher::SpoolFullText(int nMb)
{
    return QStringLiteral("Kolejka rekordów MQTT osiągnęła %1 MB: najstarsze rekordy są usuwane").arg(nMb);
}

CLivePublisher::CLivePublisher(const MqttSettings& settings, const QString& name, Source source, Reporter report,
                               QObject* parent)
    : QObject(parent),
      m_settings(settings),
      m_clientId(QStringLiteral("km302-%1-%2").arg(QSysInfo::machineHostName(), name)),
      m_source(std::move(source)),
      m_report(std::move(report)),
      m_spoolPath(CRecordSpool::DefaultPath(name)),
      m_spool(m_spoolPath, settings.SpoolBytes())
{
    connect(&m_client, &CMqttClient::StatusChanged, this, &CLivePublisher::OnStatus);
    connect(&m_client, &CMqttClient::Published, this, &CLivePublisher::OnPublished);
    connect(&m_client, &CMqttClient::MessageReceived, this, &CLivePublisher::OnMessage);
}

CLivePublisher::~CLivePublisher()
{
    Stop();
}

void CLivePublisher::Start()
{
    m_bSpoolOpen = m_spool.Open();
    if (!m_bSpoolOpen)
        Report(SpoolFailedText(m_spoolPath),
               ReportPriority::Warning);
    m_bRunning = true;
    Connect();
}

void CLivePublisher::Stop()
{
    if (!m_bRunning)
        return;
    PublishState();
    m_bRunning = false;
    if (m_client.IsConnected() && m_nSerial > 0)
        m_client.Publish(CMqttPayload::AvailabilityTopic(m_settings.strTopic, m_nSerial), CMqttPayload::kOffline, 1,
                         true);
    m_client.Stop();
    m_inFlight.clear();
}

void CLivePublisher::Connect()
{
    m_inFlight.clear();
    m_nAvailabilitySent = -1;
    m_client.Start(m_settings, m_clientId,
                   m_nSerial > 0 ? CMqttPayload::AvailabilityTopic(m_settings.strTopic, m_nSerial) : QString());
}

void CLivePublisher::OnRefresh()
{
    if (!m_bRunning)
        return;
    const LiveReading reading = m_source();
    m_bCommunicating = reading.bCommunicating && reading.nSerial > 0;
    if (m_bCommunicating && reading.nSerial != m_nSerial) {
        // Another instrument (or the first): its own will, its own topics.
        if (m_client.IsConnected() && m_nSerial > 0)
            m_client.Publish(CMqttPayload::AvailabilityTopic(m_settings.strTopic, m_nSerial),
                             CMqttPayload::kOffline, 1, true);
        m_nSerial = reading.nSerial;
        m_stationDiscovery.clear();
        KeepState(reading);
        Connect();
        // Into the spool once the old connection is gone: sent once, on the new one.
        SendPendingAlerts();
        return;
    }
    if (m_nSerial <= 0)
        return;
    KeepState(reading);
    if (!m_client.IsConnected())
        return;
    // The station's sensors follow its settings, changed while running.
    if (m_settings.bDiscovery && m_stationDiscovery != WantedDiscovery())
        PublishDiscovery(false);
    // Refreshes handled in one pass of the event loop (a burst of frames
    // waiting on the line) send only the last of them.
    if (!m_bStatePending) {
        m_bStatePending = true;
        QMetaObject::invokeMethod(this, [this] { PublishState(); }, Qt::QueuedConnection);
    }
}

void CLivePublisher::PublishState()
{
    if (!m_bStatePending)
        return;
    m_bStatePending = false;
    if (!m_bRunning || !m_client.IsConnected() || m_nSerial <= 0)
        return;
    m_client.Publish(CMqttPayload::StateTopic(m_settings.strTopic, m_nSerial), State(), 0, true);
    PublishAvailability();
}

void CLivePublisher::KeepState(const LiveReading& reading)
{
    m_stateReading = reading;
    m_stateTime = QDateTime::currentDateTimeUtc();
    m_state.clear();
}

const QByteArray& CLivePublisher::State()
{
    if (m_state.isEmpty())
        m_state = Payload(m_stateReading, m_stateTime);
    return m_state;
}

void CLivePublisher::RecordTick()
{
    if (!m_bRunning || m_nSerial <= 0)
        return;
    Enqueue(CMqttPayload::RecordTopic(m_settings.strTopic, m_nSerial), Payload(m_source(), QDateTime::currentDateTimeUtc()));
}

void CLivePublisher::PublishAlert(const StationAlert& alert)
{
    if (!m_bRunning)
        return;
    m_pendingAlerts.push_back({QDateTime::currentDateTimeUtc(), alert});
    if (m_pendingAlerts.size() > kMaxPendingAlerts)
        m_pendingAlerts.pop_front();
    SendPendingAlerts();
}

void CLivePublisher::SendPendingAlerts()
{
    if (m_nSerial <= 0)
        return;
    for (const PendingAlert& p : m_pendingAlerts)
        Enqueue(CMqttPayload::AlertTopic(m_settings.strTopic, m_nSerial),
                CMqttPayload::Alert(p.time, p.alert.strKind, p.alert.bActive, p.alert.strText, m_nSerial));
    m_pendingAlerts.clear();
}

void CLivePublisher::Enqueue(const QString& topic, const QByteArray& payload)
{
    if (!m_bSpoolOpen) {
        // Without a spool the record goes only while connected.
        m_client.Publish(topic, payload, 1, false);
        return;
    }
    const CRecordSpool::AppendResult result = m_spool.Append(topic, payload);
    // Records dropped from the spool's head may have been on their way.
    for (int i = 0; i < result.nDropped && !m_inFlight.empty(); ++i)
        m_inFlight.pop_front();
    if (result.bFirstDrop)
        Report(SpoolFullText(int(m_settings.SpoolBytes() / (1024 * 1024))), ReportPriority::Warning);
    if (!result.bStored) {
        if (!m_bSpoolWriteFailed)
            Report(SpoolFailedText(m_spoolPath),
                   ReportPriority::Warning);
        m_bSpoolWriteFailed = true;
        m_client.Publish(topic, payload, 1, false);
    } else {
        m_bSpoolWriteFailed = false;
    }
    Pump();
}

void CLivePublisher::OnStatus(bool bConnected, const QString& text)
{
    Report(text, bConnected ? ReportPriority::Info : ReportPriority::Warning);
    if (bConnected)
        OnConnected();
    else
        m_inFlight.clear();   // still in the spool: sent again on the next connection
}

void CLivePublisher::OnConnected()
{
    if (m_nSerial > 0) {
        if (m_settings.bDiscovery) {
            m_client.Subscribe(DiscoveryStatusTopic(), 1);
            PublishDiscovery(true);
        }
        m_client.Publish(CMqttPayload::StateTopic(m_settings.strTopic, m_nSerial), State(), 0, true);
        PublishAvailability();
    }
    Pump();
}

void CLivePublisher::PublishAvailability()
{
    const int nWanted = m_bCommunicating ? 1 : 0;
    if (nWanted == m_nAvailabilitySent)
        return;
    if (m_client.Publish(CMqttPayload::AvailabilityTopic(m_settings.strTopic, m_nSerial),
                         nWanted ? CMqttPayload::kOnline : CMqttPayload::kOffline, 1, true) >= 0)
        m_nAvailabilitySent = nWanted;
}

void CLivePublisher::PublishDiscovery(bool bPressure)
{
    const QString& dp = m_settings.strDiscoveryPrefix;
    if (bPressure)
        m_client.Publish(CMqttPayload::DiscoveryTopic(dp, m_nSerial),
                         CMqttPayload::DiscoveryConfig(m_settings.strTopic, m_nSerial), 1, true);
    const QStringList wanted = WantedDiscovery();
    for (const QString& id : wanted) {
        const QByteArray config = id == QLatin1String("tendency")
                                      ? CMqttPayload::TendencyConfig(m_settings.strTopic, m_nSerial)
                                      : CMqttPayload::ReducedConfig(m_settings.strTopic, m_nSerial,
                                                                    m_station->Settings().nReduction);
        if (m_client.Publish(CMqttPayload::DiscoveryTopic(dp, m_nSerial, id), config, 1, true) >= 0 &&
            !m_stationDiscovery.contains(id))
            m_stationDiscovery.append(id);
    }
    // Switched off: Home Assistant removes a sensor whose config is empty.
    for (qsizetype i = m_stationDiscovery.size() - 1; i >= 0; --i) {
        if (!wanted.contains(m_stationDiscovery.at(i)) &&
            m_client.Publish(CMqttPayload::DiscoveryTopic(dp, m_nSerial, m_stationDiscovery.at(i)), QByteArray(), 1,
                             true) >= 0)
            m_stationDiscovery.removeAt(i);
    }
    m_stationDiscovery.sort();
}

QStringList CLivePublisher::WantedDiscovery() const
{
    QStringList ids;
    if (!m_station)
        return ids;
    const StationSettings& s = m_station->Settings();
    if (s.nReduction != StationSettings::kNoReduction)
        ids.append(CMqttPayload::ReducedObjectId(s.nReduction));
    if (s.bTendency)
        ids.append(QStringLiteral("tendency"));
    ids.sort();
    return ids;
}

void CLivePublisher::OnMessage(const QString& topic, const QByteArray& payload)
{
    if (m_settings.bDiscovery && m_nSerial > 0 && topic == DiscoveryStatusTopic() && payload == CMqttPayload::kOnline)
        PublishDiscovery(true);
}

void CLivePublisher::Pump()
{
    while (m_bSpoolOpen && m_client.IsConnected() && int(m_inFlight.size()) < kMaxInFlight) {
        const std::optional<CRecordSpool::Record> record = m_spool.Peek(int(m_inFlight.size()));
        if (!record)
            return;
        const int nMid = m_client.Publish(record->topic, record->payload, 1, false);
        if (nMid < 0)
            return;
        m_inFlight.push_back({nMid, false});
    }
}

void CLivePublisher::OnPublished(int nMid)
{
    for (InFlight& f : m_inFlight) {
        if (f.nMid == nMid)
            f.bAcked = true;
    }
    // Removed from the spool in its order, whatever order the answers took.
    while (!m_inFlight.empty() && m_inFlight.front().bAcked) {
        m_inFlight.pop_front();
        m_spool.Pop();
    }
    Pump();
}

void CLivePublisher::Report(const QString& text, ReportPriority priority)
{
    if (text == m_lastReport)
        return;
    m_lastReport = text;
    if (m_report)
        m_report(text, priority);
}

QByteArray CLivePublisher::Payload(const LiveReading& reading, const QDateTime& time) const
{
    MqttStationValues station;
    if (m_station) {
        const StationSettings& s = m_station->Settings();
        station.nReduction = s.nReduction;
        station.reducedHpa = m_station->Reduced();
        station.bTendency = s.bTendency != 0;
        if (const std::optional<PressureTendency> t = m_station->Tendency()) {
            station.tendencyHpa = t->dChangeHpa;
            station.tendencyCode = t->nCode;
        }
    }
    return CMqttPayload::Reading(time, StatusOf(reading), reading.dValue,
                                 reading.bPascals, m_nSerial, station);
}

QString CLivePublisher::DiscoveryStatusTopic() const
{
    return m_settings.strDiscoveryPrefix + QStringLiteral("/status");
}
