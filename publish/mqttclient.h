#pragma once
// CMqttClient: one connection to an MQTT broker through libmosquitto, driven
// by the Qt event loop of the thread that owns it; nothing it does waits on
// the network.
//
// libmosquitto's socket is watched by two QSocketNotifiers (readable: read
// what came; writable, only while libmosquitto has something to send: send
// it) and a one-second QTimer runs its housekeeping (keep-alive pings, QoS
// retries), so frames, logs and the window go on however slow the broker is.
// The one call that can block is mosquitto_connect_async: it resolves the
// host name with getaddrinfo before it returns. That call alone runs on a
// short-lived thread of its own; the connection is handed back to this
// thread by a queued call and only then touched here again. Connecting by
// the name (not by an address looked up beforehand) keeps the TLS check of
// the name in the broker's certificate. A broker that accepts the TCP
// connection and then stays silent is given up after ConnectTimeoutMs.
//
// Start keeps the connection up until Stop or the destructor: every lost or
// refused connection is tried again after 1 s, doubling up to 60 s, reset by
// a connection that succeeds. StatusChanged says what happened in Polish,
// once per change (a broker that keeps refusing gives one text, not one per
// try); the texts never hold the password. The last will (the availability
// topic, "offline", retained) is sent by the broker when the connection ends
// without a DISCONNECT: a killed program, a pulled cable, or the destructor,
// which closes the socket without saying goodbye. Stop says goodbye, so the
// caller publishes "offline" itself before it.
//
// Each try starts from a new libmosquitto object: messages not yet
// acknowledged are not carried over, so a caller that must not lose one
// (the record spool) removes it only on Published(mid).
//
// Slots connected to its signals may publish, but must not delete the
// client directly (deleteLater is fine).

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <unordered_set>
#include <vector>

#include "publish/mqttsettings.h"

struct mosquitto;
struct mosquitto_message;
class QSocketNotifier;

class CMqttClient : public QObject {
    Q_OBJECT
public:
    // What StatusChanged says; %1 host, %2 port.
    static QString ConnectedText(const QString& host, int nPort);
    static QString LostText(const QString& host, int nPort);
    static QString RefusedUserText();
    static QString RefusedText(const QString& host, int nPort);
    static QString CertificateText();
    static QString CaFileText(const QString& path);
    static QString NotFoundText(const QString& host);
    static QString NoAnswerText(const QString& host, int nPort);

    static constexpr int kFirstRetryMs = 1000;
    static constexpr int kLastRetryMs = 60000;
    static constexpr int kKeepAliveSeconds = 30;
    static constexpr const char* kSystemCaPath = "/etc/ssl/certs";

    explicit CMqttClient(QObject* parent = nullptr);
    ~CMqttClient() override;

    // Connects with `settings` as client `clientId` and keeps connecting.
    // willTopic: where the broker says "offline" when the connection breaks
    // (none when empty).
    void Start(const MqttSettings& settings, const QString& clientId, const QString& willTopic);
    // Disconnects cleanly (no last will) and stops trying.
    void Stop();
    bool IsConnected() const { return m_bConnected; }

    // The message id, or -1 when not connected or refused by libmosquitto.
    // A QoS 1 or 2 message is acknowledged by Published(mid); a QoS 0
    // message, which nothing acknowledges, is never reported (one state a
    // frame then costs the socket write and nothing more).
    int Publish(const QString& topic, const QByteArray& payload, int nQos, bool bRetain);
    // The subscription id, or -1 when not connected; Subscribed(mid) when
    // the broker granted it. Subscriptions end with the connection.
    int Subscribe(const QString& topic, int nQos);

    void SetConnectTimeoutMs(int nMs) { m_nConnectTimeoutMs = nMs; }
    // The wait before the next try after a failure now.
    int RetryDelayMs() const { return m_nRetryMs; }

signals:
    void StatusChanged(bool bConnected, const QString& text);
    void Published(int nMid);
    void Subscribed(int nMid);
    void MessageReceived(const QString& topic, const QByteArray& payload);

private:
    struct ConnectJob;
    struct Event {
        enum EKind { Connack, Disconnect, Publish, Subscribe, Message } eKind;
        int nCode = 0;
        QString topic;
        QByteArray payload;
    };

    void Connect();
    void OnConnectStarted(int nRc);
    void Service(int nWhat);
    void HandleEvents(int nLoopRc);
    void Fail(const QString& text);
    void Drop();
    void SetStatus(bool bConnected, const QString& text);
    void SyncWriteNotifier();

    static void OnConnectCb(mosquitto*, void* obj, int rc);
    static void OnDisconnectCb(mosquitto*, void* obj, int rc);
    static void OnPublishCb(mosquitto*, void* obj, int mid);
    static void OnSubscribeCb(mosquitto*, void* obj, int mid, int, const int*);
    static void OnMessageCb(mosquitto*, void* obj, const mosquitto_message* msg);

    MqttSettings m_settings;
    QString m_clientId;
    QString m_willTopic;
    bool m_bRunning = false;
    bool m_bConnected = false;
    mosquitto* m_mosq = nullptr;
    std::shared_ptr<ConnectJob> m_job;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QTimer m_miscTimer;
    QTimer m_connectTimer;
    QTimer m_retryTimer;
    int m_nConnectTimeoutMs = 10000;
    int m_nRetryMs = kFirstRetryMs;
    QString m_statusText;
    std::vector<Event> m_events;
    // QoS 0 messages still in libmosquitto's queue: their publish callback is not reported.
    std::unordered_set<int> m_unreportedMids;
};
