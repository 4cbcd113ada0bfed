#include "publish/mqttclient.h"

#include <QFile>
#include <QMetaObject>
#include <QSocketNotifier>

#include <mosquitto.h>

#include "publish/mqttpayload.h"

#include <algorithm>
#include <mutex>
#include <thread>

namespace {

enum { kRead, kWrite, kMisc };

void InitLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

} // namespace

// The hand-over between the connecting thread and the client: the thread
// owns the libmosquitto object until it is done (bDone), the client from
// then on. A client that gives up first (bAbandoned) leaves it to the
// thread to destroy.
struct CMqttClient::ConnectJob {
    std::mutex mutex;
    bool bAbandoned = false;
    bool bDone = false;
};

QString CMqttClient::ConnectedText(const QString& host, int nPort)
{
    return QStringLiteral("Połączono z serwerem MQTT %1:%2").arg(host).arg(nPort);
}

QString CMqttClient::LostText(const QString& host, int nPort)
{
    return QStringLiteral("Utracono połączenie z serwerem MQTT %1:%2").arg(host).arg(nPort);
}

QString CMqttClient::RefusedUserText()
{
    return QStringLiteral("Serwer MQTT odrzucił użytkownika lub hasło");
}

QString CMqttClient::RefusedText(const QString& host, int nPort)
{
    return QStringLiteral("Serwer MQTT %1:%2 odrzucił połączenie").arg(host).arg(nPort);
}

QString CMqttClient::CertificateText()
{
    return QStringLiteral("Certyfikat serwera MQTT nie jest zaufany");
}

QString CMqttClient::CaFileText(const QString& path)
{
    return QStringLiteral("Nie można odczytać pliku certyfikatów MQTT %1").arg(path);
}

QString CMqttClient::NotFoundText(const QString& host)
{
    return QStringLiteral("Nie znaleziono serwera MQTT %1").arg(host);
}

QString CMqttClient::NoAnswerText(const QString& host, int nPort)
{
    return QStringLiteral("Serwer MQTT %1:%2 nie odpowiada").arg(host).arg(nPort);
}

CMqttClient::CMqttClient(QObject* parent) : QObject(parent)
{
    InitLibrary();
    m_miscTimer.setInterval(1000);
    connect(&m_miscTimer, &QTimer::timeout, this, [this] { Service(kMisc); });
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        if (!m_bConnected)
            Fail(NoAnswerText(m_settings.strHost, m_settings.nPort));
    });
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &CMqttClient::Connect);
}

CMqttClient::~CMqttClient()
{
    m_bRunning = false;
    Drop();
}

void CMqttClient::Start(const MqttSettings& settings, const QString& clientId, const QString& willTopic)
{
    Stop();
    m_settings = settings;
    m_clientId = clientId;
    m_willTopic = willTopic;
    m_bRunning = true;
    m_nRetryMs = kFirstRetryMs;
    m_statusText.clear();
    Connect();
}

void CMqttClient::Stop()
{
    m_bRunning = false;
    m_retryTimer.stop();
    if (m_mosq && !m_job) {
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_write(m_mosq, 1);
    }
    Drop();
}

// Closes the connection without a DISCONNECT (the broker then sends the last
// will) and forgets the libmosquitto object.
void CMqttClient::Drop()
{
    m_bConnected = false;
    m_miscTimer.stop();
    m_connectTimer.stop();
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    m_events.clear();
    m_unreportedMids.clear();
    if (m_job) {
        std::lock_guard<std::mutex> lock(m_job->mutex);
        m_job->bAbandoned = true;
        if (!m_job->bDone)
            m_mosq = nullptr;
        m_job.reset();
    }
    if (m_mosq) {
        mosquitto_destroy(m_mosq);
        m_mosq = nullptr;
    }
}

void CMqttClient::Connect()
{
    Drop();
    if (!m_bRunning)
        return;
    m_mosq = mosquitto_new(m_clientId.isEmpty() ? nullptr : m_clientId.toUtf8().constData(), true, this);
    if (!m_mosq) {
        Fail(NoAnswerText(m_settings.strHost, m_settings.nPort));
        return;
    }
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_mosq, &CMqttClient::OnConnectCb);
    mosquitto_disconnect_callback_set(m_mosq, &CMqttClient::OnDisconnectCb);
    mosquitto_publish_callback_set(m_mosq, &CMqttClient::OnPublishCb);
    mosquitto_subscribe_callback_set(m_mosq, &CMqttClient::OnSubscribeCb);
    mosquitto_message_callback_set(m_mosq, &CMqttClient::OnMessageCb);
    if (!m_settings.strUser.isEmpty())
        mosquitto_username_pw_set(m_mosq, m_settings.strUser.toUtf8().constData(),
                                  m_settings.strPassword.isEmpty() ? nullptr : m_settings.strPassword.toUtf8().constData());
    if (!m_willTopic.isEmpty())
        mosquitto_will_set(m_mosq, m_willTopic.toUtf8().constData(), int(qstrlen(CMqttPayload::kOffline)),
                           CMqttPayload::kOffline, 1, true);
    if (m_settings.bTls) {
        // Verification is always on: the chain against the CA file or the
        // system's authorities, and the host name against the certificate.
        const QByteArray caFile = QFile::encodeName(m_settings.strCaFile);
        int rc = mosquitto_tls_set(m_mosq, caFile.isEmpty() ? nullptr : caFile.constData(),
                                   caFile.isEmpty() ? kSystemCaPath : nullptr, nullptr, nullptr, nullptr);
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_tls_opts_set(m_mosq, 1, nullptr, nullptr);
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_tls_insecure_set(m_mosq, false);
        if (rc != MOSQ_ERR_SUCCESS) {
            Fail(CaFileText(m_settings.strCaFile));
            return;
        }
    }

    auto job = std::make_shared<ConnectJob>();
    m_job = job;
    mosquitto* mosq = m_mosq;
    const QByteArray host = m_settings.strHost.toUtf8();
    const int nPort = m_settings.nPort;
    std::thread([job, mosq, host, nPort, this] {
        const int nRc = mosquitto_connect_async(mosq, host.constData(), nPort, kKeepAliveSeconds);
        std::lock_guard<std::mutex> lock(job->mutex);
        if (job->bAbandoned) {
            mosquitto_destroy(mosq);
            return;
        }
        job->bDone = true;
        // Posted while the client cannot go away (it takes the mutex to
        // abandon the job); a client deleted before the call runs drops it.
        QMetaObject::invokeMethod(
            this,
            [this, job, nRc] {
                if (m_job == job)
                    OnConnectStarted(nRc);
            },
            Qt::QueuedConnection);
    }).detach();
}

void CMqttClient::OnConnectStarted(int nRc)
{
    m_job.reset();
    switch (nRc) {
    case MOSQ_ERR_SUCCESS:
    case MOSQ_ERR_CONN_PENDING:
        break;
    case MOSQ_ERR_EAI:
    case MOSQ_ERR_LOOKUP:
        Fail(NotFoundText(m_settings.strHost));
        return;
    case MOSQ_ERR_TLS:
    case MOSQ_ERR_TLS_HANDSHAKE:
        Fail(CertificateText());
        return;
    default:
        Fail(NoAnswerText(m_settings.strHost, m_settings.nPort));
        return;
    }
    const int fd = mosquitto_socket(m_mosq);
    if (fd < 0) {
        Fail(NoAnswerText(m_settings.strHost, m_settings.nPort));
        return;
    }
    m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, [this] { Service(kRead); });
    m_writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] { Service(kWrite); });
    m_miscTimer.start();
    m_connectTimer.start(m_nConnectTimeoutMs);
    SyncWriteNotifier();
}

void CMqttClient::Service(int nWhat)
{
    if (!m_mosq || m_job)
        return;
    int nRc = MOSQ_ERR_SUCCESS;
    switch (nWhat) {
    case kRead: nRc = mosquitto_loop_read(m_mosq, 1); break;
    case kWrite: nRc = mosquitto_loop_write(m_mosq, 1); break;
    default: nRc = mosquitto_loop_misc(m_mosq); break;
    }
    HandleEvents(nRc);
}

void CMqttClient::HandleEvents(int nLoopRc)
{
    // Taken out first: a slot may publish, which can add events again.
    std::vector<Event> events;
    events.swap(m_events);
    const QString host = m_settings.strHost;
    const int nPort = m_settings.nPort;
    for (const Event& e : events) {
        switch (e.eKind) {
        case Event::Connack:
            if (e.nCode == 0) {
                m_bConnected = true;
                m_connectTimer.stop();
                m_nRetryMs = kFirstRetryMs;
                SetStatus(true, ConnectedText(host, nPort));
            } else {
                // 4: bad user name or password; 5: not authorised.
                Fail(e.nCode == 4 || e.nCode == 5 ? RefusedUserText() : RefusedText(host, nPort));
                return;
            }
            break;
        case Event::Disconnect:
            if (m_bConnected)
                Fail(LostText(host, nPort));
            else if (e.nCode == MOSQ_ERR_TLS || e.nCode == MOSQ_ERR_TLS_HANDSHAKE)
                Fail(CertificateText());
            else
                Fail(NoAnswerText(host, nPort));
            return;
        case Event::Publish: emit Published(e.nCode); break;
        case Event::Subscribe: emit Subscribed(e.nCode); break;
        case Event::Message: emit MessageReceived(e.topic, e.payload); break;
        }
        if (!m_mosq)
            return;
    }
    if (m_mosq && nLoopRc != MOSQ_ERR_SUCCESS && mosquitto_socket(m_mosq) < 0) {
        // Closed without a disconnect callback.
        if (m_bConnected)
            Fail(LostText(host, nPort));
        else
            Fail(nLoopRc == MOSQ_ERR_TLS ? CertificateText() : NoAnswerText(host, nPort));
        return;
    }
    SyncWriteNotifier();
}

void CMqttClient::Fail(const QString& text)
{
    Drop();
    SetStatus(false, text);
    if (!m_bRunning)
        return;
    m_retryTimer.start(m_nRetryMs);
    m_nRetryMs = qMin(m_nRetryMs * 2, kLastRetryMs);
}

void CMqttClient::SetStatus(bool bConnected, const QString& text)
{
    if (text == m_statusText)
        return;
    m_statusText = text;
    emit StatusChanged(bConnected, text);
}

void CMqttClient::SyncWriteNotifier()
{
    if (m_writeNotifier && m_mosq)
        m_writeNotifier->setEnabled(mosquitto_want_write(m_mosq));
    // What libmosquitto reported inside a call (a connection lost while
    // writing) is said from the event loop, not from inside the call.
    if (!m_events.empty())
        QMetaObject::invokeMethod(this, [this] { Service(kMisc); }, Qt::QueuedConnection);
}

int CMqttClient::Publish(const QString& topic, const QByteArray& payload, int nQos, bool bRetain)
{
    if (!m_bConnected || !m_mosq)
        return -1;
    int nMid = -1;
    const int nRc = mosquitto_publish(m_mosq, &nMid, topic.toUtf8().constData(), int(payload.size()),
                                      payload.constData(), nQos, bRetain);
    if (nRc == MOSQ_ERR_SUCCESS && nQos == 0) {
        // Written at once (nearly always): libmosquitto has just reported it; else it will.
        const auto written = std::find_if(m_events.begin(), m_events.end(), [nMid](const Event& e) {
            return e.eKind == Event::Publish && e.nCode == nMid;
        });
        if (written != m_events.end())
            m_events.erase(written);
        else
            m_unreportedMids.insert(nMid);
    }
    SyncWriteNotifier();
    return nRc == MOSQ_ERR_SUCCESS ? nMid : -1;
}

int CMqttClient::Subscribe(const QString& topic, int nQos)
{
    if (!m_bConnected || !m_mosq)
        return -1;
    int nMid = -1;
    const int nRc = mosquitto_subscribe(m_mosq, &nMid, topic.toUtf8().constData(), nQos);
    SyncWriteNotifier();
    return nRc == MOSQ_ERR_SUCCESS ? nMid : -1;
}

// libmosquitto calls these from inside the loop calls above, on this thread;
// what they report is handled once the call has returned.
void CMqttClient::OnConnectCb(mosquitto*, void* obj, int rc)
{
    static_cast<CMqttClient*>(obj)->m_events.push_back({Event::Connack, rc, {}, {}});
}

void CMqttClient::OnDisconnectCb(mosquitto*, void* obj, int rc)
{
    static_cast<CMqttClient*>(obj)->m_events.push_back({Event::Disconnect, rc, {}, {}});
}

void CMqttClient::OnPublishCb(mosquitto*, void* obj, int mid)
{
    CMqttClient* self = static_cast<CMqttClient*>(obj);
    if (self->m_unreportedMids.erase(mid) == 0)
        self->m_events.push_back({Event::Publish, mid, {}, {}});
}

void CMqttClient::OnSubscribeCb(mosquitto*, void* obj, int mid, int, const int*)
{
    static_cast<CMqttClient*>(obj)->m_events.push_back({Event::Subscribe, mid, {}, {}});
}

void CMqttClient::OnMessageCb(mosquitto*, void* obj, const mosquitto_message* msg)
{
    static_cast<CMqttClient*>(obj)->m_events.push_back(
        {Event::Message, msg->mid, QString::fromUtf8(msg->topic),
         QByteArray(static_cast<const char*>(msg->payload), msg->payloadlen)});
}
