#include "tests/dde/busclient.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusReply>

namespace {

const QString kService = QStringLiteral("pl.km302.KM302");
const QString kPath = QStringLiteral("/pl/km302/KM302");
const QString kInterface = QStringLiteral("pl.km302.KM302.Dde");

QDBusConnection Connect(const QString& address, const QString& name)
{
    if (address.isEmpty())
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    return QDBusConnection::connectToBus(address, name);
}

}  // namespace

CBusClient::CBusClient(const QString& address)
    : m_strName([] {
          static int count = 0;
          return QStringLiteral("km302-test-client-%1").arg(++count);
      }()),
      m_connection(Connect(address, m_strName))
{
    m_connection.connect(QString(), QString(), kInterface, QStringLiteral("Advise"), this,
                         SLOT(OnAdvise(QString, QString, QString)));
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

void CBusClient::Sync()
{
    Call(QStringLiteral("Topics"));
    QCoreApplication::processEvents();
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

void CBusClient::OnPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                     const QStringList&)
{
    if (interface == kInterface)
        m_changedProperties.push_back(changed);
}
