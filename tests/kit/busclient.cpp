#include "tests/kit/busclient.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QEventLoop>
#include <QTimer>

#include <atomic>

const QString CBusClient::kService = QStringLiteral("pl.km302.KM302");
const QString CBusClient::kPath = QStringLiteral("/pl/km302/KM302");
const QString CBusClient::kInterface = QStringLiteral("pl.km302.KM302.Dde");

namespace {

constexpr int kAnswerTimeoutMs = 3000;

QDBusConnection Connect(const QString& address, const QString& name)
{
    if (address.isEmpty())
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    return QDBusConnection::connectToBus(address, name);
}

}  // namespace

CBusClient::CBusClient(const QString& address, Signals listen)
    : m_strName([] {
          static std::atomic<int> count{0};
          return QStringLiteral("km302-kit-client-%1").arg(++count);
      }()),
      m_connection(Connect(address, m_strName))
{
    if (listen == Signals::Ignored)
        return;
    // Any sender: the service comes and goes with the instrument.
    m_connection.connect(QString(), QString(), kInterface, QStringLiteral("Advise"), this,
                         SLOT(OnAdvise(QString, QString, QString)));
    m_connection.connect(QString(), QString(), kInterface, QStringLiteral("Alert"), this,
                         SLOT(OnAlert(QString, bool, QString)));
    m_connection.connect(QString(), kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                         QStringLiteral("PropertiesChanged"), this,
                         SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList)));
}

CBusClient::~CBusClient()
{
    Disconnect();
}

QDBusMessage CBusClient::Call(const QString& method, const QVariantList& args)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message.setArguments(args);
    return Send(message);
}

QDBusMessage CBusClient::Send(const QDBusMessage& message)
{
    return m_connection.call(message, QDBus::BlockWithGui, 20000);
}

QDBusMessage CBusClient::GetProperty(const QString& name)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message << kInterface << name;
    return Send(message);
}

QDBusMessage CBusClient::Ask(const QString& method, const QString& topic, const QString& item, int timeoutMs)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message << topic << item;
    return m_connection.call(message, QDBus::Block, timeoutMs);
}

std::optional<QString> CBusClient::Request(const QString& topic, const QString& item)
{
    const QDBusMessage reply = Ask(QStringLiteral("Request"), topic, item, kAnswerTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return std::nullopt;
    return reply.arguments().constFirst().toString();
}

std::optional<bool> CBusClient::AdviseStart(const QString& topic, const QString& item)
{
    const QDBusMessage reply = Ask(QStringLiteral("AdviseStart"), topic, item, kAnswerTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return std::nullopt;
    return reply.arguments().constFirst().toBool();
}

QString CBusClient::Topic(int serialNumber)
{
    return QStringLiteral("Ciśnienie#%1").arg(serialNumber);
}

bool CBusClient::OwnName(const QString& name)
{
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        m_connection.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                                  QDBusConnectionInterface::DontAllowReplacement);
    return reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
}

bool CBusClient::ReleaseName(const QString& name)
{
    return m_connection.interface()->unregisterService(name).value();
}

QString CBusClient::NameOwner(const QString& name)
{
    const QDBusReply<QString> reply = m_connection.interface()->serviceOwner(name);
    return reply.isValid() ? reply.value() : QString();
}

bool CBusClient::ServicePresent()
{
    if (!IsConnected())
        return false;
    const QDBusReply<bool> reply = m_connection.interface()->isServiceRegistered(kService);
    return reply.isValid() && reply.value();
}

void CBusClient::Sync()
{
    Call(QStringLiteral("Topics"));
    QCoreApplication::processEvents();
}

int CBusClient::CountAdvises(int ms)
{
    const std::size_t before = m_advises.size();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return int(m_advises.size() - before);
}

void CBusClient::Disconnect()
{
    if (m_strName.isEmpty())
        return;
    m_connection = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(m_strName);
    m_strName.clear();
}

void CBusClient::OnAdvise(const QString& topic, const QString& item, const QString& text)
{
    m_advises.push_back({topic, item, text});
}

void CBusClient::OnAlert(const QString& kind, bool active, const QString& text)
{
    m_alerts.push_back({kind, active, text});
}

void CBusClient::OnPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                     const QStringList&)
{
    if (interface == kInterface)
        m_changedProperties.push_back(changed);
}
