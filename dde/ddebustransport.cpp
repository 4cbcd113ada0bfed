#include "dde/ddebustransport.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QVariantMap>

#include <algorithm>
#include <atomic>

#include "dde/ddeadaptor.h"
#include "dde/ddenames.h"

const char* const CDdeBusTransport::kObjectPath = "/pl/km302/KM302";
const char* const CDdeBusTransport::kInterface = "pl.km302.KM302.Dde";
const char* const CDdeBusTransport::kErrorNotServed = "pl.km302.KM302.Error.NotServed";

namespace {

// Connection names are per process: every transport and every attempt gets
// its own, so no attempt finds the remains of an earlier one.
std::uint32_t NextInstanceId()
{
    static std::atomic<std::uint32_t> last{0};
    std::uint32_t id = ++last;
    while (id == 0)
        id = ++last;
    return id;
}

// The session bus as the environment names it now, not as it was named when
// the process first asked.
QDBusConnection ConnectToSessionBus(const QString& name)
{
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty())
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    return QDBusConnection::connectToBus(address, name);
}

}  // namespace

CDdeBusTransport::CDdeBusTransport()
    : m_pAdaptor(new CDdeAdaptor(*this)), m_connection(QString())
{
}

CDdeBusTransport::~CDdeBusTransport()
{
    if (m_idInst != 0)
        Uninitialize();
}

std::uint32_t CDdeBusTransport::Initialize(IDdeCallback& callback)
{
    if (m_idInst != 0)
        return 0;
    const std::uint32_t id = NextInstanceId();
    const QString name = QStringLiteral("km302-dde-%1").arg(id);
    QDBusConnection connection = ConnectToSessionBus(name);
    if (!connection.isConnected()) {
        connection = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(name);
        return 0;
    }
    m_connection = connection;
    m_strConnectionName = name;
    m_pCallback = &callback;
    m_idInst = id;
    m_clientWatcher = std::make_unique<QDBusServiceWatcher>();
    m_clientWatcher->setConnection(m_connection);
    m_clientWatcher->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(m_clientWatcher.get(), &QDBusServiceWatcher::serviceUnregistered, this,
            &CDdeBusTransport::DropClient);
    return m_idInst;
}

bool CDdeBusTransport::NameService(const HSZ& service, unsigned command)
{
    if (m_idInst == 0)
        return false;
    if (command == DNS_UNREGISTER) {
        DropAllLinks();
        for (const QString& name : std::exchange(m_names, {}))
            m_connection.interface()->unregisterService(name);
        m_connection.unregisterObject(QString::fromLatin1(kObjectPath));
        m_strService.clear();
        m_published.clear();
        m_unpublished.clear();
        return true;
    }
    if (command != DNS_REGISTER || service.isEmpty() || m_names.contains(service))
        return false;
    const bool first = m_names.isEmpty();
    // The object first, so that whoever sees the name appear finds it.
    if (first && !m_connection.registerObject(QString::fromLatin1(kObjectPath), this,
                                              QDBusConnection::ExportAdaptors))
        return false;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        m_connection.interface()->registerService(service, QDBusConnectionInterface::QueueService,
                                                  QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() == QDBusConnectionInterface::ServiceNotRegistered) {
        if (first)
            m_connection.unregisterObject(QString::fromLatin1(kObjectPath));
        return false;
    }
    m_names << service;
    if (!first)
        return true;
    m_strService = service;
    // What the properties say now, so that PropertiesChanged reports changes only.
    for (const QString& property : CDdeAdaptor::ItemProperties())
        m_published.emplace_back(property, ItemText(property));
    return true;
}

bool CDdeBusTransport::OwnsName(const HSZ& service)
{
    if (m_idInst == 0 || !m_names.contains(service))
        return false;
    const QDBusReply<QString> owner = m_connection.interface()->serviceOwner(service);
    return owner.isValid() && owner.value() == m_connection.baseService();
}

bool CDdeBusTransport::PostAdvise(const HSZ& topic, const HSZ& item)
{
    if (m_strService.isEmpty())
        return false;
    if (m_bAnswering) {
        m_pendingAdvises.emplace_back(topic, item);
        return true;
    }
    PublishItem(item);
    if (!HasLink(topic, item))
        return true;
    const DdeReply reply = Transact(XTYP_ADVREQ, topic, item);
    if (!reply.result)
        return false;
    emit m_pAdaptor->Advise(topic, item, reply.text);
    return true;
}

bool CDdeBusTransport::Uninitialize()
{
    if (m_idInst == 0)
        return false;
    if (!m_strService.isEmpty())
        NameService(m_strService, DNS_UNREGISTER);
    m_pendingAdvises.clear();
    // Every reference to the connection goes before it is closed.
    m_clientWatcher.reset();
    m_connection = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(m_strConnectionName);
    m_strConnectionName.clear();
    m_pCallback = nullptr;
    m_idInst = 0;
    return true;
}

DdeReply CDdeBusTransport::Transact(unsigned type, const HSZ& hsz1, const HSZ& hsz2)
{
    if (!m_pCallback || m_strService.isEmpty())
        return {};
    const bool answering = std::exchange(m_bAnswering, true);
    DdeReply reply = m_pCallback->DdeCallback(type, CF_TEXT, hsz1, hsz2);
    m_bAnswering = answering;
    return reply;
}

QStringList CDdeBusTransport::Topics()
{
    QStringList topics;
    for (const HSZPAIR& pair : Transact(XTYP_WILDCONNECT, HSZ(), HSZ()).pairs)
        topics << pair.hszTopic;
    return topics;
}

bool CDdeBusTransport::Connect(const QString& topic)
{
    return Transact(XTYP_CONNECT, topic, m_strService).result;
}

QString CDdeBusTransport::Request(const QString& topic, const QString& item)
{
    const DdeReply reply = Transact(XTYP_REQUEST, topic, item);
    if (!reply.result && calledFromDBus()) {
        // The client's names are not echoed: they may be megabytes long.
        sendErrorReply(QString::fromLatin1(kErrorNotServed),
                       QStringLiteral("This topic and item are not served."));
    }
    return reply.text;
}

bool CDdeBusTransport::AdviseStart(const QString& topic, const QString& item)
{
    if (!calledFromDBus())
        return false;
    const QString client = message().service();
    const bool added = AddLink(client, topic, item);
    const bool accepted = Transact(XTYP_ADVSTART, topic, item).result;
    if (!accepted && added)
        RemoveLink(client, topic, item);
    if (accepted && added)
        WatchClient(client);
    // The reply goes first, so that the immediate advise follows it.
    setDelayedReply(true);
    connection().send(message().createReply(accepted));
    FlushAdvises();
    return accepted;
}

bool CDdeBusTransport::AdviseStop(const QString& topic, const QString& item)
{
    if (!calledFromDBus())
        return false;
    const QString client = message().service();
    const bool removed = RemoveLink(client, topic, item);
    Transact(XTYP_ADVSTOP, topic, item);
    return removed;
}

QString CDdeBusTransport::Topic()
{
    const QStringList topics = Topics();
    return topics.isEmpty() ? QString() : topics.first();
}

QString CDdeBusTransport::ItemText(const QString& item)
{
    return Transact(XTYP_REQUEST, Topic(), item).text;
}

bool CDdeBusTransport::AddLink(const QString& client, const QString& topic, const QString& item)
{
    Link link{client, DdeNameKey(topic), DdeNameKey(item)};
    const bool known = std::any_of(m_links.begin(), m_links.end(), [&](const Link& l) {
        return l.client == link.client && l.topicKey == link.topicKey && l.itemKey == link.itemKey;
    });
    if (known)
        return false;
    m_links.push_back(std::move(link));
    return true;
}

bool CDdeBusTransport::RemoveLink(const QString& client, const QString& topic, const QString& item)
{
    const QString topicKey = DdeNameKey(topic);
    const QString itemKey = DdeNameKey(item);
    const auto end = std::remove_if(m_links.begin(), m_links.end(), [&](const Link& l) {
        return l.client == client && l.topicKey == topicKey && l.itemKey == itemKey;
    });
    const bool removed = end != m_links.end();
    m_links.erase(end, m_links.end());
    if (removed && !IsClientLinked(client) && m_clientWatcher)
        m_clientWatcher->removeWatchedService(client);
    return removed;
}

bool CDdeBusTransport::HasLink(const QString& topic, const QString& item) const
{
    const QString topicKey = DdeNameKey(topic);
    const QString itemKey = DdeNameKey(item);
    return std::any_of(m_links.begin(), m_links.end(), [&](const Link& l) {
        return l.topicKey == topicKey && l.itemKey == itemKey;
    });
}

bool CDdeBusTransport::IsClientLinked(const QString& client) const
{
    return std::any_of(m_links.begin(), m_links.end(),
                       [&](const Link& l) { return l.client == client; });
}

void CDdeBusTransport::WatchClient(const QString& client)
{
    if (!m_clientWatcher || m_clientWatcher->watchedServices().contains(client))
        return;
    m_clientWatcher->addWatchedService(client);
    // A client that left before the watch was in place is never reported;
    // the bus answers this only after it has taken the watch, so any client
    // gone by then is seen to be gone here.
    const std::uint32_t instance = m_idInst;
    auto* pending = new QDBusPendingCallWatcher(
        m_connection.interface()->asyncCall(QStringLiteral("NameHasOwner"), client), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, pending, instance, client] {
                const QDBusPendingReply<bool> reply = *pending;
                if (instance == m_idInst && reply.isValid() && !reply.value())
                    DropClient(client);
                pending->deleteLater();
            });
}

void CDdeBusTransport::DropClient(const QString& client)
{
    m_links.erase(std::remove_if(m_links.begin(), m_links.end(),
                                 [&](const Link& l) { return l.client == client; }),
                  m_links.end());
    if (m_clientWatcher)
        m_clientWatcher->removeWatchedService(client);
}

void CDdeBusTransport::DropAllLinks()
{
    m_links.clear();
    if (m_clientWatcher)
        m_clientWatcher->setWatchedServices({});
}

void CDdeBusTransport::PublishItem(const HSZ& item)
{
    const auto it = std::find_if(m_published.begin(), m_published.end(), [&](const auto& p) {
        return DdeCmpStringHandles(p.first, item) == 0;
    });
    if (it == m_published.end())
        return;
    const QString text = ItemText(it->first);
    if (text == it->second)
        return;
    it->second = text;
    m_unpublished.insert(it->first, text);
}

void CDdeBusTransport::PublishChanges()
{
    if (m_unpublished.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kInterface) << std::exchange(m_unpublished, {}) << QStringList();
    if (!m_strService.isEmpty())
        m_connection.send(signal);
}

void CDdeBusTransport::Alert(const QString& kind, bool active, const QString& text)
{
    if (!m_strService.isEmpty())
        emit m_pAdaptor->Alert(kind, active, text);
}

void CDdeBusTransport::FlushAdvises()
{
    const auto pending = std::exchange(m_pendingAdvises, {});
    for (const auto& [topic, item] : pending)
        PostAdvise(topic, item);
    PublishChanges();
}
