#include "busclient.h"

#include <atomic>

const QString CBusClient::kService = QStringLiteral("pl.km302.KM302");
const QString CBusClient::kPath = QStringLiteral("/pl/km302/KM302");
const QString CBusClient::kInterface = QStringLiteral("pl.km302.KM302.Dde");

namespace {
std::atomic<int> g_count{0};
}

CBusClient::CBusClient()
    : m_name(QStringLiteral("km302-bench-client-%1").arg(++g_count)),
      m_connection(QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), m_name))
{
}

CBusClient::~CBusClient()
{
    m_connection = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(m_name);
}

QDBusMessage CBusClient::Call(const QString& method, const QString& topic, const QString& item, int timeoutMs)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message << topic << item;
    return m_connection.call(message, QDBus::Block, timeoutMs);
}
