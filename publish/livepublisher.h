#pragma once
// CLivePublisher: the live values of one instrument on an MQTT broker, as
// both programs publish them while [MQTT] HOST (or --mqtt) names a broker.
// It knows nothing of the measurement: the owner gives a function that
// returns the current reading (LiveReading) and calls OnRefresh after each
// refresh of the measurement (each frame, each no-communication timeout);
// the recording session calls RecordTick at every record (IRecordStream).
//
// Topics (<p> the prefix TOPIC, <sn> the instrument's serial number; nothing
// is published before the first valid frame names it):
//   <p>/<sn>/state         retained, at every refresh: the reading as JSON
//                          (CMqttPayload::Reading); without communication
//                          status no_communication and nulls, under the last
//                          serial number known. Sent from the event loop's
//                          next pass: refreshes of one pass (frames that
//                          waited on the line) send only the last, so a
//                          backlog costs one message, not one a frame
//   <p>/<sn>/availability  retained: "online" while connected and
//                          communicating, "offline" when communication is
//                          lost, at Stop, and as the connection's last will
//   <p>/<sn>/record        QoS 1, not retained, at every RecordTick, always
//                          through the spool (CRecordSpool): appended, then
//                          sent oldest first while connected, a few on their
//                          way at once, and removed from the spool only when
//                          the broker has acknowledged it; each keeps the time
//                          it was taken, so an outage is sent afterwards in
//                          order. A lost connection sends again what was not
//                          acknowledged (a receiver may see a record twice,
//                          with the same time).
//   <p>/<sn>/alert         QoS 1, not retained, at PublishAlert: the station's
//                          alert as JSON (CMqttPayload::Alert), through the
//                          spool like the records and in their order; an
//                          alert before the first serial number waits (in
//                          memory, a few at most) until one names the topic
//   <dp>/sensor/km302_<sn>/pressure/config   Home Assistant's discovery
//                          (DISCOVERY=1), retained, at each connection and
//                          again whenever <dp>/status says "online". That is
//                          the one topic subscribed to; nothing that comes
//                          from the broker changes anything else.
//   <dp>/sensor/km302_<sn>/qnh|qff|tendency/config   the same for the
//                          station's reduced pressure and tendency, while its
//                          settings switch them on; one switched off while
//                          running is removed (an empty retained message) if
//                          this run published it.
//
// The station (SetStation, owned by the measurement) is read when a message
// is made: its settings say which fields the state and the record carry, its
// Reduced() and Tendency() their values (a record those at its tick).
//
// The last will must name the instrument, whose serial number comes with the
// first valid frame: the connection starts at Start without a will (so that a
// spool left by an earlier run is sent even while the instrument is silent)
// and is made again, with the will of <p>/<sn>/availability, when the first
// serial number is known and whenever it changes.
//
// The reporter is told once per change: connected, lost, refused (the
// client's texts, never the password), the spool's file that cannot be opened
// or written, and the first record dropped since the spool was last empty
// because it reached SPOOL_MB. Nothing here waits on the network (CMqttClient).
//
// The thread that owns it runs a Qt event loop; the source and the reporter
// outlive it.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>

#include "platform/reportline.h"
#include "publish/mqttclient.h"
#include "publish/mqttpayload.h"
#include "publish/mqttsettings.h"
#include "publish/recordspool.h"
#include "recording/recordstream.h"
#include "station/station.h"

// What the measurement holds now.
struct LiveReading {
    bool bCommunicating = false;
    int nSerial = 0;            // above 0 once a valid frame named it
    double dValue = 0.0;        // in the unit the instrument sends
    bool bPascals = false;      // the value is in Pa, else hPa
    bool bValueError = false;
    bool bCalibrationError = false;
};

class CLivePublisher : public QObject, public IRecordStream {
    Q_OBJECT
public:
    using Source = std::function<LiveReading()>;
    using Reporter = std::function<void(const QString&, ReportPriority)>;

    // Records on their way at once, unacknowledged.
    static constexpr int kMaxInFlight = 8;

    // `name` names the spool file (CRecordSpool::DefaultPath) and, with the
    // machine's name, the client id.
    CLivePublisher(const MqttSettings& settings, const QString& name, Source source, Reporter report,
                   QObject* parent = nullptr);
    ~CLivePublisher() override;

    // Opens the spool and starts connecting.
    void Start();
    // "offline" for the instrument, then a clean disconnect.
    void Stop();

    void OnRefresh();
    void RecordTick() override;
    // The station whose values the messages carry; null: none (as with
    // everything off). It outlives the publisher.
    void SetStation(const CStation* station) { m_station = station; }
    void PublishAlert(const StationAlert& alert);

    static QString SpoolFailedText(const QString& path);
    static QString SpoolFullText(int nMb);

    bool IsConnected() const { return m_client.IsConnected(); }
    const CRecordSpool& Spool() const { return m_spool; }

private:
    struct InFlight {
        int nMid;
        bool bAcked;
    };

    void Connect();
    void OnStatus(bool bConnected, const QString& text);
    void OnConnected();
    void OnPublished(int nMid);
    void OnMessage(const QString& topic, const QByteArray& payload);
    void PublishState();
    void PublishAvailability();
    void PublishDiscovery(bool bPressure);
    QStringList WantedDiscovery() const;
    void Enqueue(const QString& topic, const QByteArray& payload);
    void SendPendingAlerts();
    void Pump();
    void Report(const QString& text, ReportPriority priority);
    QByteArray Payload(const LiveReading& reading, const QDateTime& time) const;
    // The last refresh's reading and time; its JSON is made when it is sent.
    void KeepState(const LiveReading& reading);
    const QByteArray& State();
    QString DiscoveryStatusTopic() const;

    MqttSettings m_settings;
    QString m_clientId;
    Source m_source;
    Reporter m_report;
    CMqttClient m_client;
    QString m_spoolPath;
    CRecordSpool m_spool;
    bool m_bSpoolOpen = false;
    bool m_bRunning = false;
    int m_nSerial = 0;                  // the last serial number a valid frame named
    bool m_bCommunicating = false;
    LiveReading m_stateReading;         // the last refresh, sent again on connecting
    QDateTime m_stateTime;
    QByteArray m_state;                 // its JSON; empty until it is sent
    bool m_bStatePending = false;       // m_state waits for the event loop's next pass
    int m_nAvailabilitySent = -1;       // what the broker has: -1 nothing, 0 offline, 1 online
    std::deque<InFlight> m_inFlight;    // the spool's oldest records, in its order
    QString m_lastReport;
    bool m_bSpoolWriteFailed = false;
    const CStation* m_station = nullptr;
    QStringList m_stationDiscovery;     // the station's configs this run gave the broker
    struct PendingAlert {
        QDateTime time;
        StationAlert alert;
    };
    std::deque<PendingAlert> m_pendingAlerts;   // before the first serial number
    static constexpr size_t kMaxPendingAlerts = 16;
};
